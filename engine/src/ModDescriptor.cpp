// Reading a module descriptor ("tavmodule") into a TavModDesc.
#include "EngineTexts.h"
#include "TextUtil.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavWords.h"
#include "tavengine/XMLNode.h"

namespace {

std::string ProcName(const XMLNode& parent, const std::string& element) {
    return parent.GetChild(element).GetAttribute("name");
}

void ReadControl(const XMLNode& element, TavModControl& control) {
    control = TavModControl();
    if (!element) return;
    control.present = true;
    control.updateProcName = ProcName(element, "update-cmdui-proc");
    control.dropProcName = ProcName(element, "event-dropfiles-proc");
    for (XMLNode entry = element.GetChild("command-ui-proc"); entry;
         entry = entry.GetNextSibling("command-ui-proc")) {
        TavModCmdUI command;
        command.moduleCmdId = TavXml2Dword(entry.GetAttribute("id"), 0);
        command.title = entry.GetAttribute("title");
        command.procName = entry.GetAttribute("name");
        control.commands.push_back(std::move(command));
    }
}

}  // namespace

bool ParseTavModDescriptor(const std::string& text, TavModDesc& out, std::string& error) {
    std::string reason;
    XMLNode root = XMLNode::Parse(text, "tavmodule", &reason);
    if (!root) {
        error = plat::Format(engtext::HUB_BAD_DESCRIPTOR, reason.c_str());
        return false;
    }
    XMLNode module = root.GetChild("module");
    if (!module) {
        error = engtext::HUB_NO_MODULE;
        return false;
    }
    TavModDesc desc;
    desc.hubVersion = root.GetAttribute("hubversion");
    desc.name = module.GetAttribute("name");
    desc.title = module.GetAttribute("title");
    desc.version = module.GetAttribute("version");
    desc.rootIdText = module.GetAttribute("root-id");
    if (desc.name.empty()) {
        error = engtext::HUB_NO_NAME;
        return false;
    }
    if (desc.rootIdText.size() != 4) {
        error = plat::Format(engtext::HUB_BAD_ROOT_ID, desc.rootIdText.c_str());
        return false;
    }
    for (char c : desc.rootIdText) desc.rootId = (desc.rootId << 8) | uint8_t(c);
    desc.createEngineName = ProcName(module, "create-engine-proc");
    desc.createJobRootName = ProcName(module, "create-jobroot-proc");
    desc.createRepRootName = ProcName(module, "create-reproot-proc");
    desc.dataExchangeName = ProcName(module, "data-exchange-proc");
    desc.dataPositionsName = ProcName(module, "data-positions-proc");
    ReadControl(module.GetChild("job-control"), desc.jobControl);
    ReadControl(module.GetChild("rep-control"), desc.repControl);
    out = std::move(desc);
    return true;
}
