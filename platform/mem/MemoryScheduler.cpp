// Scheduled tasks kept in memory: the scheduler of tests, with the same rules and errors as
// the real ones.
#include <algorithm>

#include "platform/TaskScheduler.h"

namespace plat {

namespace {

class CMemoryScheduler : public ITaskScheduler {
public:
    std::string Backend() const override { return "memory"; }

    bool List(std::vector<ScheduledTask>& tasks) override {
        tasks = m_tasks;
        return true;
    }

    bool Create(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        if (Find(task.name) != m_tasks.end())
            return Failed("a scheduled task named " + task.name + " exists already");
        m_tasks.push_back(task);
        return true;
    }

    bool Update(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        auto it = Find(task.name);
        if (it == m_tasks.end()) return Failed("there is no scheduled task named " + task.name);
        *it = task;
        return true;
    }

    bool Delete(const std::string& name) override {
        auto it = Find(name);
        if (it == m_tasks.end()) return Failed("there is no scheduled task named " + name);
        m_tasks.erase(it);
        return true;
    }

private:
    std::vector<ScheduledTask>::iterator Find(const std::string& name) {
        return std::find_if(m_tasks.begin(), m_tasks.end(),
                            [&](const ScheduledTask& t) { return t.name == name; });
    }

    std::vector<ScheduledTask> m_tasks;
};

}  // namespace

std::unique_ptr<ITaskScheduler> MakeMemoryScheduler() { return std::make_unique<CMemoryScheduler>(); }

}  // namespace plat
