// What the STATUS page and Backup Now need to know of runs in other programs: whether the
// command host is backing up or restoring the job's repository, and the state and progress
// of its backup while it runs. The command host's client answers these; without one, no run
// of another program is seen.
#pragma once
#include <cstdint>
#include <string>

// Told of a followed run, on the window's thread.
class IHostRunSink {
public:
    virtual ~IHostRunSink() = default;
    // The host's run state: 1 prepared, 2 started, 3 finished, 4 cancelled.
    virtual void OnHostRunState(uint32_t state) = 0;
    // The host's progress: its title, its item (a path as a rule) and the percent.
    virtual void OnHostProgress(const std::string& title, const std::string& item, uint32_t percent) = 0;
};

class IHostRunSource {
public:
    virtual ~IHostRunSource() = default;
    // Whether a command host is restoring from, or backing up into, the repository whose image
    // path text (CTavJobHelper::GetImagePathText) is given: its window title would be
    // "TavCmdHost Restore: %s" or "TavCmdHost Backup: %s".
    virtual bool IsRestoring(const std::string& imagePathText) = 0;
    virtual bool IsBackingUp(const std::string& imagePathText) = 0;
    // Follows the host's backup of that repository: `sink` hears its state and progress until
    // the run ends, Unfollow is called or another run is followed. False when none runs.
    virtual bool Follow(const std::string& imagePathText, IHostRunSink& sink) = 0;
    virtual void Unfollow() = 0;
};
