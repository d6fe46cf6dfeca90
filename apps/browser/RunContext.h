// What the main window hands its Restore and Extract dialogs.
#pragma once
#include <functional>
#include <string>

class CTavModFactory;
class CTavRepository;
class CTavRepErrorCallback;
class CTreeListCtrl;
namespace tavui { class IPrompt; }

struct BrowserRunContext {
    CTavModFactory* hub = nullptr;
    CTavRepository* repository = nullptr;
    tavui::IPrompt* prompt = nullptr;
    CTreeListCtrl* tree = nullptr;
    // The repository's callback once the dialog closes (the main window's).
    CTavRepErrorCallback* mainCallback = nullptr;
    // Opens the "Restoration Summary" window with the run's log.
    std::function<void(const std::string& caption, const std::string& log)> showSummary;
};
