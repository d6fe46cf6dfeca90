// A small module for the hub tests: a descriptor, an engine that records what it was given,
// and command procedures that answer fixed values.
#include <string>

#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"

namespace {

constexpr const char* DESCRIPTOR =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>\t"
    "<module name='fake' title='Fake Module' version='1.0' root-id='fkrt'>\t\t"
    "<create-engine-proc name='CreateEngineFake'/>\t\t"
    "<create-jobroot-proc name='CreateFakeJobRoot'/>\t\t"
    "<data-exchange-proc name='NotExported'/>\t\t"
    "<job-control>\t\t\t<update-cmdui-proc name='FakeUpdateCmdUI'/>\t\t\t"
    "<command-ui-proc id='1' title='First' name='OnFirst'/>\t\t\t"
    "<command-ui-proc id='0'/>\t\t\t"
    "<command-ui-proc id='2' title='Second' name='OnSecond'/>\t\t\t"
    "<event-dropfiles-proc name='OnFakeDrop'/>\t\t</job-control>\t\t"
    "<rep-control>\t\t\t<command-ui-proc id='1' title='First' name='OnFirst'/>\t\t</rep-control>\t"
    "</module></tavmodule>";

// Backs up nothing: it reads its backup node and reports through the observer. A node with
// fail='yes' makes the run fail.
class CFakeEngine : public CTavEngine {
public:
    int32_t Backup(const std::string& jobXml, CTavRepository*, CTavRepBaselineDetails*) override {
        SetEngineState(TAV_ENGINE_RUNNING);
        CTavJobHelper job;
        if (!job.LoadXml(jobXml)) {
            SetEngineState(TAV_ENGINE_FAILED);
            return 0;
        }
        XMLNode node = job.GetBackupNode("fake");
        FireOnStart();
        FireOnProgress("Backup File", node.GetAttribute("item"), 50);
        FireOnLogNotify("Fake backup of \"" + node.GetAttribute("item") + "\"\r\n");
        if (node.GetAttribute("fail") == "yes") {
            SetEngineState(TAV_ENGINE_FAILED);
            return 0;
        }
        SetEngineState(TAV_ENGINE_FINISHED);
        FireOnFinish();
        return 1;
    }
    int32_t Restore(const std::string&, CTavRepository*) override { return 0; }
    void CancelOperation() override {}
};

int g_rootProvider;

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* GetTavModInfo() { return DESCRIPTOR; }

__attribute__((visibility("default"))) CTavEngine* CreateEngineFake() { return new CFakeEngine; }

__attribute__((visibility("default"))) CTlcDataProvider* CreateFakeJobRoot(CTreeListCtrl*,
                                                                           const XMLNode* node,
                                                                           CTavJobHelper*) {
    return node != nullptr ? reinterpret_cast<CTlcDataProvider*>(&g_rootProvider) : nullptr;
}

__attribute__((visibility("default"))) int32_t FakeUpdateCmdUI(intptr_t, intptr_t, intptr_t,
                                                               intptr_t) {
    return 1;
}

__attribute__((visibility("default"))) int32_t OnFirst(intptr_t, intptr_t, intptr_t, intptr_t) {
    return 11;
}

__attribute__((visibility("default"))) int32_t OnSecond(intptr_t, intptr_t, intptr_t, intptr_t) {
    return 22;
}

__attribute__((visibility("default"))) int32_t OnFakeDrop(intptr_t, intptr_t, intptr_t, intptr_t) {
    return 1;
}
}
