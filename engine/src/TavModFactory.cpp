// CTavModFactory: finding, loading, binding and looking up modules.
#include "tavengine/TavModFactory.h"

#include <algorithm>
#include <cstdio>

#include "EngineTexts.h"
#include "TextUtil.h"
#include "platform/DynLib.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace {

constexpr const char* MODULE_PATH_VARIABLE = "TAVORA_MODULE_PATH";
constexpr const char* INSTALLED_MODULES = "../lib/tavora/modules";
constexpr const char* BUILD_TREE_MODULES = "../lib/modules";
constexpr const char* MODULE_SUFFIX = ".so";
// A module's view library: its procedures that need windows, beside the module.
constexpr const char* VIEW_SUFFIX = "_ui.so";
// Command identifiers stay within a thousand of the base (the programs' menu range).
constexpr uint32_t MAX_COMMANDS = 999;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// A loaded module: its library and its descriptor with the bound procedures.
struct CTavModFactory::CModule {
    plat::CDynLib views;  // released after the module's library (declared first)
    plat::CDynLib library;
    TavModDesc desc;
};

CTavModFactory::CTavModFactory(uint32_t commandBase)
    : m_commandBase(commandBase), m_nextCommand(commandBase + 1) {}

CTavModFactory::~CTavModFactory() { ReleaseModules(); }

std::vector<std::string> CTavModFactory::ModuleFolders() {
    std::vector<std::string> folders;
    if (auto variable = plat::GetEnv(MODULE_PATH_VARIABLE); variable && !variable->empty()) {
        size_t start = 0;
        while (start <= variable->size()) {
            size_t end = variable->find(':', start);
            if (end == std::string::npos) end = variable->size();
            if (end > start) folders.push_back(variable->substr(start, end - start));
            start = end + 1;
        }
        return folders;
    }
    const std::string programFolder = plat::DirName(plat::ExecutablePath());
    const std::string installed = plat::JoinPath(programFolder, INSTALLED_MODULES);
    if (plat::IsDirectory(installed)) {
        folders.push_back(installed);
    } else {
        folders.push_back(plat::JoinPath(programFolder, BUILD_TREE_MODULES));
    }
    return folders;
}

void CTavModFactory::Report(const std::string& message) {
    m_messages.push_back(message);
    std::fputs(message.c_str(), stderr);
}

int CTavModFactory::Reconnoiter() { return Reconnoiter(ModuleFolders()); }

int CTavModFactory::Reconnoiter(const std::vector<std::string>& folders) {
    ReleaseModules();
    m_messages.clear();
    for (const std::string& folder : folders) {
        std::vector<TavFindData> entries;
        if (!plat::ListDirectory(folder, entries)) continue;
        std::vector<std::string> names;
        for (const TavFindData& entry : entries)
            if (entry.kind != TavFileKind::Directory && EndsWith(entry.name, MODULE_SUFFIX) &&
                !EndsWith(entry.name, VIEW_SUFFIX))
                names.push_back(entry.name);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) LoadModule(plat::JoinPath(folder, name));
    }
    return GetModCount();
}

bool CTavModFactory::LoadModule(const std::string& path) {
    auto module = std::make_unique<CModule>();
    if (!module->library.Load(path)) {
        const std::string why =
            plat::Format(engtext::HUB_LOAD_FAILED, module->library.Error().c_str());
        Report(plat::Format(engtext::HUB_SKIPPED, path.c_str(), why.c_str()));
        return false;
    }
    auto info = reinterpret_cast<TavGetModInfoProc>(module->library.Symbol(TAV_GET_MOD_INFO));
    if (info == nullptr) {
        Report(plat::Format(engtext::HUB_SKIPPED, path.c_str(), engtext::HUB_NO_INFO));
        return false;
    }
    const char* text = info();
    if (text == nullptr) {
        Report(plat::Format(engtext::HUB_SKIPPED, path.c_str(), engtext::HUB_NULL_INFO));
        return false;
    }
    std::string error;
    if (!ParseTavModDescriptor(text, module->desc, error)) {
        Report(plat::Format(engtext::HUB_SKIPPED, path.c_str(), error.c_str()));
        return false;
    }
    if (const TavModDesc* other = GetModDesc(module->desc.name)) {
        const std::string why =
            plat::Format(engtext::HUB_DUPLICATE, other->name.c_str(), other->path.c_str());
        Report(plat::Format(engtext::HUB_SKIPPED, path.c_str(), why.c_str()));
        return false;
    }
    TavModDesc& desc = module->desc;
    desc.path = path;
    if (m_views) {
        const std::string viewPath = path.substr(0, path.size() - std::string(MODULE_SUFFIX).size()) + VIEW_SUFFIX;
        if (plat::PathExists(viewPath) && !module->views.Load(viewPath))
            Report(plat::Format(engtext::HUB_WARNING, desc.name.c_str(), module->views.Error().c_str()));
    }
    // Binds one named procedure. A missing create-engine procedure is reported (backups
    // and restores need it); other missing ones are only recorded, since programs without
    // windows never call the view's procedures.
    auto bind = [&](const std::string& name) -> void* {
        if (name.empty()) return nullptr;
        void* proc = module->library.Symbol(name);
        if (proc == nullptr && module->views.Loaded()) proc = module->views.Symbol(name);
        if (proc == nullptr) {
            desc.missingProcs.push_back(name);
            if (name == desc.createEngineName) {
                const std::string why = plat::Format(engtext::HUB_MISSING_PROC, name.c_str());
                Report(plat::Format(engtext::HUB_WARNING, desc.name.c_str(), why.c_str()));
            }
        }
        return proc;
    };
    desc.createEngine = reinterpret_cast<TavCreateEngineProc>(bind(desc.createEngineName));
    desc.createJobRoot = reinterpret_cast<TavCreateJobRootProc>(bind(desc.createJobRootName));
    desc.createRepRoot = reinterpret_cast<TavCreateRepRootProc>(bind(desc.createRepRootName));
    desc.dataExchange = reinterpret_cast<TavDataExchangeProc>(bind(desc.dataExchangeName));
    desc.dataPositions = reinterpret_cast<TavDataPositionsProc>(bind(desc.dataPositionsName));
    for (TavModControl* control : {&desc.jobControl, &desc.repControl}) {
        control->updateProc = reinterpret_cast<TavUpdateCmdUIProc>(bind(control->updateProcName));
        control->dropProc = reinterpret_cast<TavDropFilesProc>(bind(control->dropProcName));
        for (TavModCmdUI& command : control->commands) {
            if (command.IsSeparator()) continue;
            command.proc = reinterpret_cast<TavCommandProc>(bind(command.procName));
        }
    }
    // The view library may need procedures of the module itself (installing its dialogs).
    if (module->views.Loaded()) {
        using AttachViews = void (*)(void* (*)(void*, const char*), void*);
        if (auto attach = reinterpret_cast<AttachViews>(module->views.Symbol("TavAttachViews")))
            attach([](void* library, const char* name) {
                return static_cast<plat::CDynLib*>(library)->Symbol(name);
            }, &module->library);
    }
    m_modules.push_back(std::move(module));
    BindControl(*m_modules.back(), m_modules.back()->desc.jobControl);
    BindControl(*m_modules.back(), m_modules.back()->desc.repControl);
    return true;
}

// Hands out command identifiers (the module now sits at its final place in memory).
void CTavModFactory::BindControl(CModule& module, TavModControl& control) {
    bool reported = false;
    for (TavModCmdUI& command : control.commands) {
        if (command.IsSeparator()) continue;
        if (m_nextCommand - m_commandBase > MAX_COMMANDS) {
            if (!reported)
                Report(plat::Format(engtext::HUB_WARNING, module.desc.name.c_str(),
                                       engtext::HUB_TOO_MANY_COMMANDS));
            reported = true;
            continue;
        }
        command.commandId = m_nextCommand++;
        m_commands[command.commandId] = &command;
    }
}

void CTavModFactory::ReleaseModules() {
    m_commands.clear();
    m_providers.clear();
    m_nextCommand = m_commandBase + 1;
    // Released in the reverse order of loading.
    while (!m_modules.empty()) m_modules.pop_back();
}

const TavModDesc* CTavModFactory::GetModDescAt(int index) const {
    if (index < 0 || index >= GetModCount()) return nullptr;
    return &m_modules[size_t(index)]->desc;
}

const TavModDesc* CTavModFactory::GetModDesc(const std::string& name) const {
    for (const auto& module : m_modules)
        if (tavtext::EqualsNoCase(module->desc.name, name)) return &module->desc;
    return nullptr;
}

const TavModDesc* CTavModFactory::GetModDesc(uint32_t rootId) const {
    for (const auto& module : m_modules)
        if (module->desc.rootId == rootId) return &module->desc;
    return nullptr;
}

const TavModDesc* CTavModFactory::GetModDesc(const CTlcDataProvider* provider) const {
    auto it = m_providers.find(provider);
    return it == m_providers.end() ? nullptr : it->second;
}

const TavModCmdUI* CTavModFactory::GetModCommand(uint32_t commandId) const {
    auto it = m_commands.find(commandId);
    return it == m_commands.end() ? nullptr : it->second;
}

CTlcDataProvider* CTavModFactory::CreateJobRoot(const TavModDesc* module, CTreeListCtrl* control,
                                                const XMLNode* node, CTavJobHelper* job) {
    if (module == nullptr || module->createJobRoot == nullptr) return nullptr;
    CTlcDataProvider* provider = module->createJobRoot(control, node, job);
    if (provider != nullptr) m_providers[provider] = module;
    return provider;
}

CTlcDataProvider* CTavModFactory::CreateRepRoot(const TavModDesc* module, CTreeListCtrl* control,
                                                const TavNodeRec* node, CTavRepository* repository,
                                                CTavRepBaselineDetails* baseline) {
    if (module == nullptr || module->createRepRoot == nullptr) return nullptr;
    CTlcDataProvider* provider = module->createRepRoot(control, node, repository, baseline);
    if (provider != nullptr) m_providers[provider] = module;
    return provider;
}

void CTavModFactory::RegisterProvider(const CTlcDataProvider* provider, const TavModDesc* module) {
    if (provider != nullptr && module != nullptr) m_providers[provider] = module;
}

void CTavModFactory::UnregisterProvider(const CTlcDataProvider* provider) {
    m_providers.erase(provider);
}
