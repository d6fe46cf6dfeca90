// The Files and Folders job-editing commands over the job tree's providers.
#include "platform/TextFormat.h"
#include "FilesCommands.h"

#include <QString>

#include "FilesJobProviders.h"
#include "FilesSelectionSave.h"
#include "FilesUiTexts.h"
#include "FilterDialogs.h"
#include "core/FilesSelection.h"
#include "core/FilesTexts.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavrep/TavTypes.h"
#include "tavengine/XMLNode.h"
#include "tavui/Prompt.h"
#include "tavui/TreeListCtrl.h"
#include "tavui/TypeGroups.h"

namespace filescmd {

namespace {

CTavFilesRoot* RootOf(CTlcDataProvider* provider) {
    return provider != nullptr ? dynamic_cast<CTavFilesRoot*>(provider->TopMostParent()) : nullptr;
}

// Shows the items' check states, type faces and the list again.
void Refresh(CTavFilesRoot& root) {
    if (CTreeListCtrl* control = root.Control()) {
        control->RefreshStates();
        control->RefreshList();
    }
}

// The filter flags of every listed item, after filters were added or removed.
void RefreshFilterFlags(CTavFilesRoot& root, CTlcDataProvider& item) {
    for (CTlcDataProvider* child : item.Children()) {
        if (auto* files = dynamic_cast<CTlcDataFiles*>(child))
            files->SetFilterFlag(!root.Selection().SearchInFilters(files->FullPath()).IsEmpty());
        RefreshFilterFlags(root, *child);
    }
}

// The add-path rule for one picked or dropped path: 1 when added.
int AddPath(CTavFilesRoot& root, QWidget* window, const std::string& path) {
    TavFindData data;
    if (!plat::GetFindData(path, data)) {
        const std::string why = plat::ErrorText(plat::GetLastError());
        tavui::SharedPrompt().Message(window, plat::Format(filesui::PATH_NOT_FOUND, path.c_str(), why.c_str()),
                                      tavui::PromptIcon::Warning);
        return 0;
    }
    // The whole path is the source's stored name: one that does not fit is refused now, not
    // at every backup (and never cut to fit).
    if (path.size() > NODE_NAME_MAX_UTF8) {
        tavui::SharedPrompt().Message(window, plat::Format(filesui::PATH_TOO_LONG, path.c_str()),
                                      tavui::PromptIcon::Warning);
        return 0;
    }
    // The sources are listed before one is added, so that listing them later finds it once.
    if (!root.ChildrenListed()) {
        if (root.Control() != nullptr)
            root.Control()->ListChildren(&root);
        else
            root.EnsureChildren();
    }
    const TavAddPathResult result =
        AddSelectionPath(root.Selection(), path, data.kind == TavFileKind::Directory);
    if (result.outcome == TavAddPathOutcome::AlreadyCovered)
        tavui::SharedPrompt().Message(window, result.warning, tavui::PromptIcon::Warning);
    if (result.outcome != TavAddPathOutcome::Added) return 0;
    for (const std::string& removed : result.removedSources) {
        for (CTlcDataProvider* child : root.Children()) {
            const std::string* childPath = FilesProviderPath(child);
            if (childPath == nullptr || *childPath != removed) continue;
            if (root.Control() != nullptr)
                root.Control()->DeleteItem(child);
            else
                root.ReleaseChild(child);
            break;
        }
    }
    root.AddFilePathToTreeList(path);
    root.RecomputeFromChildren();
    Refresh(root);
    return 1;
}

bool SameName(const std::string& a, const char* b) {
    return QString::fromStdString(a).compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

int32_t UpdateCmdUI(const std::string& command, CTlcDataProvider* root, CTlcDataProvider* current) {
    if (current == nullptr || RootOf(current) == nullptr) return 0;
    if (SameName(command, "OnAddFile") || SameName(command, "OnAddFolder")) return 1;
    if (SameName(command, "OnRemoveItem"))
        return current->Parent() != nullptr && current->Parent() == RootOf(current) ? 1 : 0;
    if (SameName(command, "OnFileFiltering") || SameName(command, "OnSelection"))
        return current->ProviderID() == FILES_ITEM_ID ? 1 : 0;
    return 0;
}

int32_t DataExchange(CTlcDataProvider* provider, const XMLNode* node, int32_t direction) {
    auto* root = dynamic_cast<CTavFilesRoot*>(provider);
    if (root == nullptr || root->Control() == nullptr || root->TreeItem() == nullptr) return 0;
    if (direction != 0) {
        StoreCheckStates(*root);
        return 1;
    }
    if (node == nullptr || node->IsEmpty()) return 0;
    root->Reload(*node, root->Job());
    return 1;
}

int32_t OnAddFile(CTlcDataProvider* current, QWidget* window) {
    CTavFilesRoot* root = RootOf(current);
    if (root == nullptr) return FILES_CMD_NOT_HANDLED;
    tavui::FileDialogSpec spec;
    spec.title = filesui::ADD_FILE_TITLE;
    spec.filter = filesui::ADD_FILE_FILTER;
    const std::vector<std::string> paths = tavui::SharedPrompt().OpenFiles(window, spec);
    if (paths.empty()) return FILES_CMD_NOT_HANDLED;
    bool refused = false;
    for (const std::string& path : paths) refused = !AddPath(*root, window, path) || refused;
    return refused ? FILES_CMD_NOT_HANDLED : FILES_CMD_DONE;
}

int32_t OnAddFolder(CTlcDataProvider* current, QWidget* window) {
    CTavFilesRoot* root = RootOf(current);
    if (root == nullptr) return FILES_CMD_NOT_HANDLED;
    const auto folder = tavui::SharedPrompt().FolderDialog(window, filesui::ADD_FOLDER_TITLE, "");
    if (!folder) return FILES_CMD_NOT_HANDLED;
    return AddPath(*root, window, *folder) ? FILES_CMD_DONE : FILES_CMD_NOT_HANDLED;
}

int32_t OnRemoveItem(CTlcDataProvider* current) {
    CTavFilesRoot* root = RootOf(current);
    auto* item = dynamic_cast<CTlcDataFiles*>(current);
    if (root == nullptr || item == nullptr || item->Parent() != root) return FILES_CMD_NOT_HANDLED;
    RemoveSelectionSource(root->Selection(), item->FullPath());
    // The next source is selected, else the previous one, else the root.
    const auto& sources = root->Children();
    CTlcDataProvider* next = root;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (sources[i] != item) continue;
        if (i + 1 < sources.size())
            next = sources[i + 1];
        else if (i > 0)
            next = sources[i - 1];
        break;
    }
    if (root->Control() != nullptr)
        root->Control()->DeleteItem(item);
    else
        root->ReleaseChild(item);
    root->RecomputeFromChildren();
    root->SetCheckStateRaw(root->ConfirmTreeItemState(root->CheckState()));
    if (root->Control() != nullptr) root->Control()->SelectProvider(next);
    Refresh(*root);
    return FILES_CMD_DONE;
}

int32_t OnFileFiltering(CTlcDataProvider* current, QWidget* window) {
    CTavFilesRoot* root = RootOf(current);
    auto* item = dynamic_cast<CTlcDataFiles*>(current);
    if (root == nullptr || item == nullptr) return FILES_CMD_NOT_HANDLED;
    CFileFilteringDlg dialog(root->Selection(), item->FullPath(), tavui::SharedPrompt(), window);
    tavui::ExecDialog(dialog);
    if (dialog.Changed()) {
        if (root->Selection().IsDirty()) root->Selection().Sort();
        RefreshFilterFlags(*root, *root);
        Refresh(*root);
    }
    return FILES_CMD_DONE;
}

int32_t OnSelection(CTlcDataProvider* current, QWidget* window) {
    CTavFilesRoot* root = RootOf(current);
    auto* folder = dynamic_cast<CTlcDataFiles*>(current);
    if (root == nullptr || folder == nullptr || folder->Kind() != TLC_KIND_FOLDER) return FILES_CMD_NOT_HANDLED;
    if (root->Control() != nullptr)
        root->Control()->ListChildren(folder);
    else
        folder->EnsureChildren();
    tavui::CTypeGroupModel model;
    for (const CTlcDataProvider* child : folder->Children())
        if (const auto* row = dynamic_cast<const CTlcDataFiles*>(child))
            model.AddRow(row->TypeText(), row->CheckState(), row->Icon());
    CSelectFilterDlg dialog(model, folder->Name(), window);
    if (tavui::ExecDialog(dialog) != QDialog::Accepted) return FILES_CMD_DONE;
    // A type whose rows stay mixed is left as it is.
    const std::vector<CTlcDataProvider*> rows = folder->Children();
    for (CTlcDataProvider* child : rows) {
        const auto* row = dynamic_cast<const CTlcDataFiles*>(child);
        if (row == nullptr) continue;
        const int state = model.StateFor(row->TypeText());
        if (state != 0 && state != child->CheckState()) child->ChangeCheckState(state);
    }
    Refresh(*root);
    return FILES_CMD_DONE;
}

int32_t OnEventFilesDrop(CTlcDataProvider* provider, QWidget* window, const std::string& path) {
    auto* root = dynamic_cast<CTavFilesRoot*>(provider);
    if (root == nullptr || path.empty()) return 0;
    return AddPath(*root, window, path);
}

}  // namespace filescmd
