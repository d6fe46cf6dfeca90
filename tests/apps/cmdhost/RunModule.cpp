// A small backup module for the runner tests, built three times under different names
// (RUN_MODULE_NAME): its engine does what the attributes of its backup node ask.
//   file="PATH"     store that file as a node (so the run writes blocks)
//   progress="N"    report progress N times, stopping when cancelled
//   fail="yes"      end as failed after the work above
//   throw="yes"     throw a repository exception out of Backup
//   added="N" ...   counters of the closing log (added, updated, skipped, deleted, errors)
// The log names the module and the command word the engine read from the job text.
// Built with RUN_MODULE_NO_ENGINE, the module's create-engine procedure gives no engine.
#include <cstdio>
#include <string>

#include "platform/FileSystem.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"

namespace {

const std::string DESCRIPTOR =
    std::string("<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>\t"
                "<module name='") +
    RUN_MODULE_NAME + "' title='Run Test " + RUN_MODULE_NAME + "' version='1.0' root-id='" +
    RUN_MODULE_ROOT + "'>\t\t<create-engine-proc name='CreateEngineRunTest'/>\t</module></tavmodule>";

constexpr uint32_t MODULE_ITEM = 0x72756E69;  // "runi"

class CRunTestEngine : public CTavEngine {
public:
    int32_t Backup(const std::string& jobXml, CTavRepository* repository,
                   CTavRepBaselineDetails* baseline) override {
        SetEngineState(TAV_ENGINE_RUNNING);
        m_cancel = false;
        CTavJobHelper job;
        if (!job.LoadXml(jobXml)) {
            SetEngineState(TAV_ENGINE_FAILED);
            return 0;
        }
        const XMLNode node = job.GetBackupNode(RUN_MODULE_NAME);
        FireOnStart();
        char line[128];
        std::snprintf(line, sizeof(line), "Module %s, command #%08X\r\n", RUN_MODULE_NAME,
                      job.GetBackupCommand());
        FireOnLogNotify(line);

        const std::string file = node.GetAttribute("file");
        if (!file.empty()) {
            TavFindData data;
            if (!plat::GetFindData(file, data) ||
                repository->AddNode(baseline, 0, MODULE_ITEM, &data, file.c_str(), 0, {0, 0},
                                    nullptr) == 0xFFFFFFFF) {
                FireOnLogNotify("***** Cannot store " + file + "\r\n");
                SetEngineState(TAV_ENGINE_FAILED);
                return 0;
            }
        }
        if (node.GetAttribute("throw") == "yes")
            throw new CTavRepException(TAVEX_WRITE_NODES, 28, "RunTest::Backup");

        const int reports = std::stoi(node.GetAttribute("progress", "0"));
        for (int i = 1; i <= reports; ++i) {
            FireOnProgress("Backup File", "/run/test/item-" + std::to_string(i), uint32_t(i * 10));
            if (m_cancel) {
                SetEngineState(TAV_ENGINE_CANCELLED);
                FireOnLogNotify("\r\nBackup Cancelled\r\n");
                FireOnCancelled();
                return 0;
            }
        }
        if (node.GetAttribute("fail") == "yes") {
            FireOnLogNotify("***** Run test failure\r\n");
            SetEngineState(TAV_ENGINE_FAILED);
            return 0;
        }
        std::snprintf(line, sizeof(line),
                      "Finish Backup Run Test: now\r\n%s Files Added\r\n%s Files Updated\r\n"
                      "%s Files Skipped\r\n%s Files Deleted\r\n%s Items Error\r\n",
                      node.GetAttribute("added", "0").c_str(), node.GetAttribute("updated", "0").c_str(),
                      node.GetAttribute("skipped", "0").c_str(),
                      node.GetAttribute("deleted", "0").c_str(), node.GetAttribute("errors", "0").c_str());
        FireOnLogNotify(line);
        SetEngineState(TAV_ENGINE_FINISHED);
        FireOnFinish();
        return 1;
    }
    int32_t Restore(const std::string&, CTavRepository*) override { return 0; }
    void CancelOperation() override { m_cancel = true; }

private:
    bool m_cancel = false;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* GetTavModInfo() { return DESCRIPTOR.c_str(); }

__attribute__((visibility("default"))) CTavEngine* CreateEngineRunTest() {
#ifdef RUN_MODULE_NO_ENGINE
    return nullptr;
#else
    return new CRunTestEngine;
#endif
}
}
