// The Outlook Express module's view procedures (oemodule_ui.so): the repository tree's
// providers, the command-state rules, "View Dbx Contents" and the identity mapping dialog.
#include <QApplication>
#include <memory>

#include "DbxBrowserDlg.h"
#include "MapIdentityDlg.h"
#include "OeRepProviders.h"
#include "core/DbxChunkInput.h"
#include "core/DbxException.h"
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

TAV_OE_UI_EXPORT int32_t UpdateCmdUI(intptr_t command, intptr_t, intptr_t provider, intptr_t) {
    const char* name = reinterpret_cast<const char*>(command);
    const auto* item = reinterpret_cast<const CTlcDataProvider*>(provider);
    if (name == nullptr || item == nullptr) return 0;
    const std::string which = name;
    if (which == "OnViewDbxContents") return OeCanViewDbx(item) ? 1 : 0;
    if (which == "Extract") return OeCanExtract(item) ? 1 : 0;
    return 0;
}

TAV_OE_UI_EXPORT int32_t OnConditions(intptr_t, intptr_t, intptr_t, intptr_t) { return 2; }

TAV_OE_UI_EXPORT int32_t OnViewDbxContents(intptr_t provider, intptr_t window, intptr_t, intptr_t) {
    auto* item = reinterpret_cast<CTlcDataProvider*>(provider);
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
