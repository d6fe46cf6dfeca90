// CTavModFactory: the module hub (finding, binding and looking up the backup modules).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tavengine/TavEngineExport.h"

class CTavEngine;
class CTavJobHelper;
class CTavRepository;
class CTavRepBaselineDetails;
class CTlcDataProvider;
class CTreeListCtrl;
class XMLNode;
struct TavNodeRec;

// The procedures a descriptor may name; every one is an extern "C" export of the module.
// Arguments that the design passes as 32-bit pointers are pointer-sized integers here.
extern "C" {
typedef const char* (*TavGetModInfoProc)();
typedef CTavEngine* (*TavCreateEngineProc)();
typedef CTlcDataProvider* (*TavCreateJobRootProc)(CTreeListCtrl* control, const XMLNode* node,
                                                  CTavJobHelper* job);
typedef CTlcDataProvider* (*TavCreateRepRootProc)(CTreeListCtrl* control, const TavNodeRec* node,
                                                  CTavRepository* repository,
                                                  CTavRepBaselineDetails* baseline);
typedef int32_t (*TavDataExchangeProc)(CTlcDataProvider* provider, const XMLNode* node,
                                       int32_t direction);
// (command procedure name, root provider, current provider, window)
typedef int32_t (*TavUpdateCmdUIProc)(intptr_t, intptr_t, intptr_t, intptr_t);
// (current provider, window, 0, 0)
typedef int32_t (*TavCommandProc)(intptr_t, intptr_t, intptr_t, intptr_t);
// (root provider, target provider, window, path)
typedef int32_t (*TavDropFilesProc)(intptr_t, intptr_t, intptr_t, intptr_t);
// Receives one position that a module's data holds: (context, image id, offset).
typedef void (*TavPositionSink)(void* context, uint32_t image, uint32_t offset);
// Optional ("data-positions-proc"): lists through `sink` the block positions that one node
// of the module holds inside its stored data, beyond its content and extra chains (which
// every reader follows itself). 1 when the node's data was read, 0 when it cannot be read.
typedef int32_t (*TavDataPositionsProc)(CTavRepository* repository, const TavNodeRec* node,
                                        TavPositionSink sink, void* context);
}

// The name of the fixed export every module has.
constexpr const char* TAV_GET_MOD_INFO = "GetTavModInfo";

// One command of a module.
struct TAVENGINE_API TavModCmdUI {
    uint32_t commandId = 0;    // what programs use as a menu command; 0 for a separator
    uint32_t moduleCmdId = 0;  // the descriptor's "id" (0: separator)
    std::string title;
    std::string procName;
    TavCommandProc proc = nullptr;  // null for a separator or an export that is missing
    bool IsSeparator() const { return moduleCmdId == 0; }
};

// The commands of "job-control" or "rep-control".
struct TAVENGINE_API TavModControl {
    bool present = false;
    std::string updateProcName;
    TavUpdateCmdUIProc updateProc = nullptr;
    std::string dropProcName;
    TavDropFilesProc dropProc = nullptr;
    std::vector<TavModCmdUI> commands;
};

// One module as its descriptor describes it.
struct TAVENGINE_API TavModDesc {
    std::string name;  // as jobs name it in the attribute "module"
    std::string title;
    std::string version;
    std::string rootIdText;
    uint32_t rootId = 0;  // four letters, the first in the most significant byte
    std::string hubVersion;
    std::string path;  // the module file
    // Procedures the descriptor names that the module does not export (the view's
    // procedures of a build without windows); programs that need one check here.
    std::vector<std::string> missingProcs;

    std::string createEngineName, createJobRootName, createRepRootName, dataExchangeName,
        dataPositionsName;
    TavDataPositionsProc dataPositions = nullptr;
    TavCreateEngineProc createEngine = nullptr;
    TavCreateJobRootProc createJobRoot = nullptr;
    TavCreateRepRootProc createRepRoot = nullptr;
    TavDataExchangeProc dataExchange = nullptr;
    TavModControl jobControl;
    TavModControl repControl;
};

// Reads a descriptor text into `out` (names only; nothing is bound). False with a reason in
// `error` when it is not a descriptor: not XML, no "tavmodule" root, no "module" element, no
// name, or a root-id that is not four characters.
TAVENGINE_API bool ParseTavModDescriptor(const std::string& text, TavModDesc& out,
                                         std::string& error);

// Each program keeps one factory for its whole run: construct it, Reconnoiter once, and
// ReleaseModules (or destroy it) before exit, after every engine and provider of a module has
// been released. Descriptors stay valid until then.
class TAVENGINE_API CTavModFactory {
public:
    // `commandBase`: command identifiers are handed out from commandBase + 1 upwards (61000
    // in the job editor and the browser, 60000 in the command host).
    explicit CTavModFactory(uint32_t commandBase);
    ~CTavModFactory();
    CTavModFactory(const CTavModFactory&) = delete;
    CTavModFactory& operator=(const CTavModFactory&) = delete;

    // The folders searched: those of $TAVORA_MODULE_PATH (':'-separated) when it is set;
    // else lib/tavora/modules beside the installed programs (<program folder>/../lib/tavora/
    // modules) when it exists; else the build tree's lib/modules (<program folder>/../lib/
    // modules).
    static std::vector<std::string> ModuleFolders();

    // Loads every "*.so" of ModuleFolders() (in name order, folder by folder); a module that
    // cannot be loaded or whose descriptor does not parse is skipped with a message on
    // stderr. Modules loaded before are released first. Returns the number loaded.
    int Reconnoiter();
    int Reconnoiter(const std::vector<std::string>& folders);
    // Unloads every module.
    void ReleaseModules();
    // Programs with windows: each module's view procedures are also bound from the view
    // library beside it ("<module>_ui.so"), loaded with the module. Set before Reconnoiter.
    void EnableViews(bool enable) { m_views = enable; }

    int GetModCount() const { return int(m_modules.size()); }
    const TavModDesc* GetModDescAt(int index) const;
    // By module name (letter case ignored), by root id, or by a root provider made through
    // CreateJobRoot / CreateRepRoot (or registered); null when none matches.
    const TavModDesc* GetModDesc(const std::string& name) const;
    const TavModDesc* GetModDesc(uint32_t rootId) const;
    const TavModDesc* GetModDesc(const CTlcDataProvider* provider) const;
    // The command with that identifier; null when none.
    const TavModCmdUI* GetModCommand(uint32_t commandId) const;

    // Calls the module's provider factory and remembers which module made the provider.
    CTlcDataProvider* CreateJobRoot(const TavModDesc* module, CTreeListCtrl* control,
                                    const XMLNode* node, CTavJobHelper* job);
    CTlcDataProvider* CreateRepRoot(const TavModDesc* module, CTreeListCtrl* control,
                                    const TavNodeRec* node, CTavRepository* repository,
                                    CTavRepBaselineDetails* baseline);
    void RegisterProvider(const CTlcDataProvider* provider, const TavModDesc* module);
    void UnregisterProvider(const CTlcDataProvider* provider);

    // The messages of the last Reconnoiter (also written to stderr).
    const std::vector<std::string>& GetMessages() const { return m_messages; }

private:
    struct CModule;
    bool LoadModule(const std::string& path);
    void BindControl(CModule& module, TavModControl& control);
    void Report(const std::string& message);

    uint32_t m_commandBase;
    bool m_views = false;
    uint32_t m_nextCommand;
    std::vector<std::unique_ptr<CModule>> m_modules;
    std::map<uint32_t, const TavModCmdUI*> m_commands;
    std::map<const CTlcDataProvider*, const TavModDesc*> m_providers;
    std::vector<std::string> m_messages;
};
