// The Outlook Express module's view procedures (oemodule_ui.so): the job and repository
// trees' providers, the command-state rules, "View Dbx Contents" and the identity mapping
// dialog.
#include <QApplication>
#include <memory>

#include "DbxBrowserDlg.h"
#include "MapIdentityDlg.h"
#include "OeJobProviders.h"
#include "OeRepProviders.h"
#include "core/DbxChunkInput.h"
#include "core/DbxException.h"
#include "core/DbxFileInput.h"
#include "platform/FileSystem.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"
#include "tavui/Prompt.h"

#define TAV_OE_UI_EXPORT extern "C" __attribute__((visibility("default")))

class CTreeListCtrl;

TAV_OE_UI_EXPORT CTlcDataProvider* CreateOeRepRoot(CTreeListCtrl*, const TavNodeRec* node, CTavRepository* repository,
                                                   CTavRepBaselineDetails* baseline) {
    if (node == nullptr || node->moduleId != OE_TAG_ROOT) return nullptr;
    TavNodeRec* copy = CTavRepository::CreateNode();
    *copy = *node;
    return new COeRepRoot(copy, repository, baseline);
}

// The job tree's root over the module's backup node of `job`; it owns its job model.
TAV_OE_UI_EXPORT CTlcDataProvider* CreateOeJobRoot(CTreeListCtrl* control, const XMLNode* node, CTavJobHelper* job) {
    if (node == nullptr || node->IsEmpty()) return nullptr;
    return new COeJobRoot(control, std::make_unique<CTavJobOeHelper>(*node, job));
}

// Direction 0 takes the tree's states from the job again; any other writes them into it.
TAV_OE_UI_EXPORT int32_t DataExchange(CTlcDataProvider* provider, const XMLNode*, int32_t direction) {
    auto* root = dynamic_cast<COeJobRoot*>(provider);
    if (root == nullptr || root->TreeItem() == nullptr || root->Control() == nullptr) return 0;
    if (direction == 0)
        root->Load();
    else
        root->Save();
    return 1;
}

TAV_OE_UI_EXPORT int32_t UpdateCmdUI(intptr_t command, intptr_t, intptr_t provider, intptr_t) {
    const char* name = reinterpret_cast<const char*>(command);
    const auto* item = reinterpret_cast<const CTlcDataProvider*>(provider);
    if (name == nullptr || item == nullptr) return 0;
    const std::string which = name;
    if (which == "OnViewDbxContents") {
        const auto* folder = dynamic_cast<const COeJobFolder*>(item);
        return OeCanViewDbx(item) || (folder != nullptr && folder->FolderId() > OE_MESSAGES_FOLDER_ID) ? 1 : 0;
    }
    if (which == "Extract") return OeCanExtract(item) ? 1 : 0;
    return 0;
}

TAV_OE_UI_EXPORT int32_t OnConditions(intptr_t, intptr_t, intptr_t, intptr_t) { return 2; }

namespace {
// The viewer over a folder's live store file; 2 when it was not shown.
int32_t ViewLiveStore(const COeJobFolder& folder, QWidget* parent) {
    const std::string path = folder.StorePath();
    if (path.empty()) {
        tavui::SharedPrompt().Message(parent, "The folder \"" + folder.Name() + "\" has no message store file.",
                                      tavui::PromptIcon::Warning);
        return 2;
    }
    try {
        DbxFileInput input(path);
        if (!input.IsOpen()) {
            tavui::SharedPrompt().Message(parent, "Cannot open \"" + path + "\".", tavui::PromptIcon::Warning);
            return 2;
        }
        CDbxBrowserDlg dialog(input, QString::fromStdString(plat::BaseName(path)), tavui::SharedPrompt(), parent);
        return tavui::ExecDialog(dialog);
    } catch (DbxException& e) {
        tavui::SharedPrompt().Message(parent, path + ": " + e.Describe(), tavui::PromptIcon::Warning);
        return 2;
    }
}
}  // namespace

TAV_OE_UI_EXPORT int32_t OnViewDbxContents(intptr_t provider, intptr_t window, intptr_t, intptr_t) {
    auto* item = reinterpret_cast<CTlcDataProvider*>(provider);
    if (auto* folder = dynamic_cast<COeJobFolder*>(item)) {
        if (folder->FolderId() <= OE_MESSAGES_FOLDER_ID) return 2;
        return ViewLiveStore(*folder, reinterpret_cast<QWidget*>(window));
    }
    auto* group = dynamic_cast<COeRepGroup*>(item);
    if (group == nullptr || group->Record().folderId < 2 || group->GetNode() == nullptr) return 2;
    try {
        DbxChunkInput input(group->Repository(), *group->GetNode());
        const QString title =
            QString::fromStdString(Utf16FieldToUtf8(group->GetNode()->name, NODE_NAME_CHARS));
        CDbxBrowserDlg dialog(input, title, tavui::SharedPrompt(), reinterpret_cast<QWidget*>(window));
        return tavui::ExecDialog(dialog);
    } catch (DbxException& e) {
        tavui::SharedPrompt().Message(reinterpret_cast<QWidget*>(window), e.what(), tavui::PromptIcon::Warning);
        return 2;
    } catch (CTavException* e) {
        tavui::SharedPrompt().Message(reinterpret_cast<QWidget*>(window), e->Describe(), tavui::PromptIcon::Warning);
        e->Delete();
        return 2;
    }
}

// Called by the module hub after loading this library beside oemodule.so: installs the
// identity mapping dialog in the module's engine.
TAV_OE_UI_EXPORT void TavAttachViews(void* (*lookup)(void* context, const char* name), void* context) {
    using SetPrompt = void (*)(int (*)(COeIdentityMapping*));
    if (auto set = reinterpret_cast<SetPrompt>(lookup(context, "TavOeSetMapIdentityPrompt"))) set(&ShowMapIdentityDialog);
}
