// The Files and Folders module's view procedures (filesmodule_ui.so): the job tree's root
// provider, the data exchange between the tree and the job, and the job-editing commands.
#include "FilesCommands.h"
#include "FilesJobProviders.h"
#include "tavengine/XMLNode.h"

#define TAV_FILES_UI_EXPORT extern "C" __attribute__((visibility("default")))

class CTreeListCtrl;
class QWidget;

namespace {
CTlcDataProvider* Provider(intptr_t value) { return reinterpret_cast<CTlcDataProvider*>(value); }
QWidget* Window(intptr_t value) { return reinterpret_cast<QWidget*>(value); }
}  // namespace

TAV_FILES_UI_EXPORT CTlcDataProvider* CreateFilesJobRoot(CTreeListCtrl* control, const XMLNode* node,
                                                         CTavJobHelper* job) {
    if (node == nullptr || node->IsEmpty() || job == nullptr) return nullptr;
    try {
        return new CTavFilesRoot(control, *node, job);
    } catch (...) {
        return nullptr;
    }
}

TAV_FILES_UI_EXPORT int32_t DataExchange(CTlcDataProvider* provider, const XMLNode* node, int32_t direction) {
    return filescmd::DataExchange(provider, node, direction);
}

// (command procedure name, root provider, current provider, window)
TAV_FILES_UI_EXPORT int32_t UpdateCmdUI(intptr_t command, intptr_t root, intptr_t current, intptr_t) {
    const char* name = reinterpret_cast<const char*>(command);
    if (name == nullptr) return 0;
    return filescmd::UpdateCmdUI(name, Provider(root), Provider(current));
}

// (current provider, window, 0, 0)
TAV_FILES_UI_EXPORT int32_t OnAddFile(intptr_t current, intptr_t window, intptr_t, intptr_t) {
    return filescmd::OnAddFile(Provider(current), Window(window));
}
TAV_FILES_UI_EXPORT int32_t OnAddFolder(intptr_t current, intptr_t window, intptr_t, intptr_t) {
    return filescmd::OnAddFolder(Provider(current), Window(window));
}
TAV_FILES_UI_EXPORT int32_t OnRemoveItem(intptr_t current, intptr_t, intptr_t, intptr_t) {
    return filescmd::OnRemoveItem(Provider(current));
}
TAV_FILES_UI_EXPORT int32_t OnFileFiltering(intptr_t current, intptr_t window, intptr_t, intptr_t) {
    return filescmd::OnFileFiltering(Provider(current), Window(window));
}
TAV_FILES_UI_EXPORT int32_t OnSelection(intptr_t current, intptr_t window, intptr_t, intptr_t) {
    return filescmd::OnSelection(Provider(current), Window(window));
}

// (root provider, target provider, window, path)
TAV_FILES_UI_EXPORT int32_t OnEventFilesDrop(intptr_t root, intptr_t, intptr_t window, intptr_t path) {
    const char* text = reinterpret_cast<const char*>(path);
    if (text == nullptr) return 0;
    return filescmd::OnEventFilesDrop(Provider(root), Window(window), text);
}
