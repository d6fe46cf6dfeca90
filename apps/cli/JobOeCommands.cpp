// tavctl job oe JOB add|remove|exclude|include ...: editing the Outlook Express part of a
// job (its "oe" node) with the job model's own rules.
#include <memory>
#include <optional>
#include <ostream>

#include "CommandGroups.h"
#include "JobCliText.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "OeCliIdentity.h"
#include "OeCliText.h"
#include "core/DbxFileInput.h"
#include "core/DbxFolderList.h"
#include "core/OeRecords.h"
#include "core/OeStrings.h"
#include "core/OeTexts.h"
#include "core/TavJobOeHelper.h"
#include "core/TavOeEngine.h"
#include "tavengine/TavJobHelper.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

// The message group is folder 1 of a store's folder list; folder keys start below it.
constexpr uint32_t MESSAGE_GROUP_ID = 1;
constexpr uint32_t MAX_FOLDER_DEPTH = 256;

struct ItemWord {
    const char* word;
    const char* key;
    uint32_t tag;
};
constexpr ItemWord ITEM_WORDS[] = {
    {"messages", ".Messages.", OE_TAG_MESSAGE},
    {"preference", ".Preference.", OE_TAG_ITEM},
    {"rules", ".Rules.", OE_TAG_ITEM},
    {"block-senders", ".Blocksenders.", OE_TAG_ITEM},
    {"blocksenders", ".Blocksenders.", OE_TAG_ITEM},
    {"signatures", ".Signatures.", OE_TAG_ITEM},
};

// What an exclude or include names: a key of the job model, its tag and, for a folder, its
// ".dbx" file; `label` says it in messages.
struct OeTarget {
    std::string key;
    uint32_t tag = 0;
    std::optional<std::string> dbxName;
    std::string label;
};

class CChangeFlag : public CTavJobObserver {
public:
    void OnTavJobChanged(CTavJobHelper*, int32_t) override { changed = true; }
    bool changed = false;
};

// The job opened for editing its "oe" node; saved at the end when it changed.
class COeJobEdit {
public:
    COeJobEdit(CCliContext& ctx, std::string command) : m_ctx(ctx), m_command(std::move(command)) {}

    bool Open(const std::string& path) {
        if (!LoadJobFile(path, m_job, m_ctx)) return false;
        m_job.SetObserver(&m_flag);
        XMLNode node = m_job.GetBackupNode(oecli::OE_MODULE);
        if (node.IsEmpty()) node = m_job.AddBackupNode(oecli::OE_TITLE, oecli::OE_MODULE);
        m_flag.changed = false;  // a missing node alone is no change worth saving
        m_helper = std::make_unique<CTavJobOeHelper>(node, &m_job);
        return true;
    }
    int Finish() {
        m_helper.reset();
        m_job.SetObserver(nullptr);
        if (!m_flag.changed) {
            m_ctx.out << jobtext::MSG_UNCHANGED << '\n';
            return m_code;
        }
        return SaveJobFile(m_job, m_ctx) ? m_code : EXIT_PROBLEMS;
    }
    void Problem(const std::string& subject, const std::string& problem) {
        Fail(m_ctx, m_command + ": " + Printable(subject), problem);
        m_code = EXIT_PROBLEMS;
    }
    void Say(const std::string& line) { m_ctx.out << line << '\n'; }
    CTavJobOeHelper& Helper() { return *m_helper; }

    // The identity of the job that `text` names (its identifier, or the name of an identity
    // of this machine); false after reporting it.
    bool JobIdentity(const std::vector<OeIdentity>& machine, const std::string& text,
                     OeIdentity& out) {
        XMLNode element;
        std::string identifier = text;
        OeIdentity known;
        std::string problem;
        if (!m_helper->GetIdentityNode(identifier, element) &&
            ResolveMachineIdentity(machine, text, known, problem))
            identifier = known.identifier;
        if (!m_helper->GetIdentityNode(identifier, element)) {
            Problem(text, oecli::ERR_NOT_IN_JOB);
            return false;
        }
        out.identifier = element.GetAttribute(oetext::JOB_UID);
        CTavOeEngine::GetIdenName(out.identifier, out.displayName);
        return true;
    }

private:
    CCliContext& m_ctx;
    std::string m_command;
    CTavJobHelper m_job;
    CChangeFlag m_flag;
    std::unique_ptr<CTavJobOeHelper> m_helper;
    int m_code = EXIT_OK;
};

// A folder of the identity's live folder list named by its path below the message group
// ("Inbox/Projects", letter case ignored).
bool FindFolder(const std::string& identifier, const std::string& path, OeTarget& out,
                std::string& problem) {
    std::string store;
    std::string list;
    if (!CTavOeEngine::GetOeDir(identifier, store) ||
        (list = CTavOeEngine::FindFoldersFile(store)).empty()) {
        problem = oecli::ERR_NO_FOLDER_LIST;
        return false;
    }
    DbxFileInput input(list);
    const DbxFolderList folders = ReadDbxFolders(input);
    if (!input.IsOpen() || (folders.folders.empty() && !folders.error.empty())) {
        problem = oecli::ERR_NO_FOLDER_LIST;
        return false;
    }
    std::string wanted = path;
    while (!wanted.empty() && wanted.front() == '/') wanted.erase(0, 1);
    while (!wanted.empty() && wanted.back() == '/') wanted.pop_back();
    for (const DbxFolderEntry& folder : folders.folders) {
        // The names from the message group down to this folder.
        std::vector<std::string> names;
        const DbxFolderEntry* at = &folder;
        bool reachesGroup = false;
        for (uint32_t depth = 0; at != nullptr && depth < MAX_FOLDER_DEPTH; ++depth) {
            if (at->id == MESSAGE_GROUP_ID) {
                reachesGroup = true;
                break;
            }
            if (!at->name) break;
            names.insert(names.begin(), *at->name);
            const uint32_t parent = at->parentId;
            at = nullptr;
            for (const DbxFolderEntry& other : folders.folders)
                if (other.id == parent) at = &other;
        }
        if (!reachesGroup || names.empty()) continue;
        std::string joined;
        std::string key = oetext::KEY_MESSAGES;
        for (const std::string& name : names) {
            joined += (joined.empty() ? "" : "/") + name;
            key += name + ".";
        }
        if (!OeEqualsNoCase(joined, wanted)) continue;
        out.key = key;
        out.tag = OE_TAG_MESSAGE;
        out.dbxName = folder.fileName;
        out.label = "folder " + Printable(joined);
        return true;
    }
    problem = plat::Format(oecli::ERR_NO_FOLDER, Printable(path).c_str());
    return false;
}

void AddIdentities(COeJobEdit& edit, const std::vector<OeIdentity>& machine,
                   const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        OeIdentity identity;
        std::string problem;
        if (!ResolveMachineIdentity(machine, text, identity, problem)) {
            edit.Problem(text, problem);
            continue;
        }
        const bool added = edit.Helper().AddIdentity(identity.identifier) != 0;
        edit.Say(plat::Format(added ? oecli::MSG_ADDED : oecli::MSG_ALREADY_ADDED,
                        IdentityLabel(identity).c_str()));
    }
}

void RemoveIdentities(COeJobEdit& edit, const std::vector<OeIdentity>& machine,
                      const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        OeIdentity identity;
        if (!edit.JobIdentity(machine, text, identity)) continue;
        edit.Helper().RemoveIdentity(identity.identifier);
        edit.Say(plat::Format(oecli::MSG_REMOVED, IdentityLabel(identity).c_str()));
    }
}

void ExcludeOrInclude(COeJobEdit& edit, const std::vector<OeIdentity>& machine, bool exclude,
                      const std::vector<std::string>& texts,
                      const std::vector<std::string>& folders) {
    OeIdentity identity;
    if (!edit.JobIdentity(machine, texts.front(), identity)) return;
    std::vector<OeTarget> targets;
    for (size_t i = 1; i < texts.size(); ++i) {
        const ItemWord* found = nullptr;
        for (const ItemWord& item : ITEM_WORDS)
            if (OeEqualsNoCase(item.word, texts[i])) found = &item;
        if (found == nullptr) {
            edit.Problem(texts[i], plat::Format(oecli::ERR_BAD_ITEM, Printable(texts[i]).c_str()));
            continue;
        }
        targets.push_back({found->key, found->tag, std::nullopt, found->word});
    }
    for (const std::string& path : folders) {
        OeTarget folder;
        std::string problem;
        if (FindFolder(identity.identifier, path, folder, problem))
            targets.push_back(folder);
        else
            edit.Problem(path, problem);
    }
    if (texts.size() == 1 && folders.empty())
        targets.push_back(
            {oetext::KEY_IDENTITY, OE_TAG_IDENTITY, std::nullopt, oecli::WHOLE_IDENTITY});

    CTavJobOeHelper& helper = edit.Helper();
    const std::string label = IdentityLabel(identity);
    for (const OeTarget& target : targets) {
        const char* what = target.label.c_str();
        if (exclude) {
            if (helper.SearchExcludedItem(identity.identifier, target.key, OE_SEARCH_EXACT)) {
                edit.Say(plat::Format(oecli::MSG_ALREADY_EXCLUDED, what, label.c_str()));
                continue;
            }
            // A folder's exclusion stands for the folders below it too.
            if (target.tag == OE_TAG_MESSAGE && target.dbxName)
                helper.RemoveExcludedItem(identity.identifier, target.key);
            helper.AddExcludedItem(identity.identifier, target.tag, target.key, target.dbxName);
            edit.Say(plat::Format(oecli::MSG_EXCLUDED, what, label.c_str()));
        } else if (helper.RemoveExcludedItem(identity.identifier, target.key)) {
            edit.Say(plat::Format(oecli::MSG_INCLUDED, what, label.c_str()));
        } else {
            edit.Say(plat::Format(oecli::MSG_NOT_EXCLUDED, what, label.c_str()));
        }
    }
}

int RunJobOe(const CCliArgs& args, CCliContext& ctx) {
    const std::string& action = args.positionals[1];
    const std::vector<std::string> texts(args.positionals.begin() + 2, args.positionals.end());
    const std::vector<std::string> folders = args.Values("folder");
    const bool add = action == oecli::ACTION_ADD;
    const bool remove = action == oecli::ACTION_REMOVE;
    const bool exclude = action == oecli::ACTION_EXCLUDE;
    const bool include = action == oecli::ACTION_INCLUDE;
    if (!add && !remove && !exclude && !include)
        return Fail(ctx, "job oe", plat::Format(oecli::ERR_BAD_ACTION, Printable(action).c_str()),
                    EXIT_USAGE);
    if (texts.empty())
        return Fail(ctx, "job oe", plat::Format(oecli::ERR_NEEDS_IDENTITY, action.c_str()), EXIT_USAGE);
    if ((add || remove) && !folders.empty())
        return Fail(ctx, "job oe", oecli::ERR_FOLDER_OPTION, EXIT_USAGE);

    COeJobEdit edit(ctx, "job oe " + action);
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    const std::vector<OeIdentity> machine = COeIdentities::EnumIdentities();
    if (add) AddIdentities(edit, machine, texts);
    if (remove) RemoveIdentities(edit, machine, texts);
    if (exclude || include) ExcludeOrInclude(edit, machine, exclude, texts, folders);
    return edit.Finish();
}

}  // namespace

void RegisterJobOeCommands(CCommandTable& table) {
    table.Add(
        {{"job", "oe"},
         "JOB add|remove IDENTITY... | JOB exclude|include IDENTITY [ITEM...] [--folder PATH]...",
         "choose the Outlook Express identities of a job and what they leave out",
         "Edits the Outlook Express part of the job (its \"oe\" node). IDENTITY is an\n"
         "identifier such as {5C1D0A3E-...} or the name of an identity of this machine\n"
         "(see 'tavctl oe identities').\n"
         "  add IDENTITY...       back up these identities (they must exist here)\n"
         "  remove IDENTITY...    stop backing them up, with their exclusions\n"
         "  exclude IDENTITY [ITEM...] [--folder PATH]...\n"
         "                        leave parts of an identity of the job out: ITEM is\n"
         "                        messages, preference, rules, block-senders or\n"
         "                        signatures; PATH a mail folder below the message group\n"
         "                        (\"Inbox/Projects\", read from the identity's folder list),\n"
         "                        which takes the folders below it along. Without ITEM\n"
         "                        and --folder the whole identity is left out.\n"
         "  include IDENTITY [ITEM...] [--folder PATH]...\n"
         "                        take exclusions back (with those below them); without\n"
         "                        ITEM and --folder, every exclusion of the identity.\n"
         "Names of items and folders ignore letter case.",
         {{"folder", 'F', true, "PATH", "a mail folder to exclude or include (repeatable)"}},
         3,
         SIZE_MAX,
         RunJobOe});
}

}  // namespace tavctl
