// The job tree's check states written into the job's Outlook Express exclusions.
#include "OeJobProviders.h"
#include "core/OeTexts.h"

namespace {
// An item the tree shows partly checked is written child by child, so its children must be
// listed, and listed before the job changes: a child takes its first state from the job.
void ListPartlyChecked(CTlcDataProvider& item) {
    item.EnsureChildren();
    for (CTlcDataProvider* child : item.Children())
        if (child->CheckState() == TLC_PARTLY) ListPartlyChecked(*child);
}

const std::vector<CTlcDataProvider*>& ListedChildren(CTlcDataProvider& item) { return item.Children(); }
}  // namespace

void COeJobRoot::Save() {
    ListPartlyChecked(*this);
    const int rootState = CheckState();
    for (CTlcDataProvider* child : ListedChildren(*this)) {
        auto* identity = dynamic_cast<COeJobIdentity*>(child);
        if (identity == nullptr) continue;
        const std::string& id = identity->Identifier();
        const int state = rootState == TLC_UNCHECKED ? TLC_UNCHECKED : identity->CheckState();
        if (state == TLC_UNCHECKED) {
            m_helper->RemoveIdentity(id);
            m_helper->AddIdentity(id);
            m_helper->AddExcludedItem(id, OE_JOB_IDENTITY, oetext::KEY_IDENTITY);
        } else if (state == TLC_CHECKED) {
            m_helper->RemoveIdentity(id);
            m_helper->AddIdentity(id);
        } else {
            if (m_helper->SearchExcludedItem(id, oetext::KEY_IDENTITY, OE_SEARCH_EXACT) == 1)
                m_helper->RemoveExcludedItem(id, oetext::KEY_IDENTITY);
            m_helper->AddIdentity(id);
            for (CTlcDataProvider* item : ListedChildren(*identity)) {
                if (auto* settings = dynamic_cast<COeJobItem*>(item)) {
                    if (settings->CheckState() == TLC_UNCHECKED)
                        m_helper->AddExcludedItem(id, OE_JOB_ITEM, settings->Key());
                    else if (settings->CheckState() == TLC_CHECKED)
                        m_helper->RemoveExcludedItem(id, settings->Key());
                } else if (dynamic_cast<COeJobFolder*>(item) != nullptr) {
                    SaveFolder(*item);
                }
            }
        }
    }
}

void COeJobRoot::SaveFolder(CTlcDataProvider& item) {
    auto& folder = static_cast<COeJobFolder&>(item);
    const std::string& id = folder.Identifier();
    switch (folder.CheckState()) {
        case TLC_UNCHECKED:
            m_helper->RemoveExcludedItem(id, folder.Key());
            m_helper->AddExcludedItem(id, OE_JOB_FOLDER, folder.Key(), folder.DbxName());
            break;
        case TLC_CHECKED:
            m_helper->RemoveExcludedItem(id, folder.Key());
            break;
        default:
            if (m_helper->SearchExcludedMessage(id, folder.DbxName()))
                m_helper->RemoveExcludedItem(id, folder.Key());
            for (CTlcDataProvider* child : ListedChildren(folder))
                if (dynamic_cast<COeJobFolder*>(child) != nullptr) SaveFolder(*child);
            break;
    }
}
