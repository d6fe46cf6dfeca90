// CTavOeEngine: the backup run (DoBackup), identities, message files and settings items.
#include <vector>

#include "core/OeIdentities.h"
#include "core/OeTexts.h"
#include "core/TavJobOeHelper.h"
#include "core/TavOeEngine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/SysError.h"
#include "tavrep/FormatAdaptor.h"
#include "platform/TextFormat.h"

void CTavOeEngine::DoBackup() {
    m_cancel.store(0);
    m_account = TavOeBackupAccount{};
    m_atLineEnd = true;
    m_identitiesDone.clear();
    FireOnStart();
    Log(BuildStartBackupLog());

    PrepareBackup();
    // A folder of its own for each run: two runs never share their temporary files.
    m_tempDir = plat::MakeTempDirectory(plat::Format(oetext::TEMP_DIR_PREFIX, plat::NowSeconds()));
    if (m_tempDir.empty()) {
        FailRun(plat::Format(oetext::LOG_TEMP_DIR, plat::TempDirectory().c_str()));
        ClearBackup();
        return;
    }
    m_tempDir += '/';

    TavNodeRec root;
    if (!m_baseline->LoadRoot(root, OE_TAG_ROOT)) {
        TavNodeRec* added = CTavRepository::CreateNode();
        Utf8ToUtf16Field(oetext::ROOT_NODE_NAME, added->name, NODE_NAME_CHARS);
        added->moduleId = OE_TAG_ROOT;
        added->attributes = TAV_ATTR_DIRECTORY;
        added->flags = NODE_DIRECTORY | NODE_TOUCHED;
        const uint32_t id = m_baseline->AddNode(*added, 1);
        CTavRepository::DisposeNode(added);
        if (id == TAV_NONE || !m_baseline->LoadNode(root, id)) {
            FailRun(oetext::LOG_STORE_FAILED);
            ClearBackup();
            return;
        }
    }

    for (int index = 0; !Stopped(); ++index) {
        const XMLNode identity = m_jobHelper->GetIdentityNode(index);
        if (!identity) break;
        BackupIdentity(root, identity.GetAttribute(oetext::JOB_UID));
    }

    if (!m_runFailed && m_cancel.load() == 0) UpdateCustomData();
    if (m_runFailed) {
        // FailRun has logged why; the caller rolls the run back.
    } else if (m_cancel.load() != 0) {
        Log(oetext::LOG_CANCELLED);
        FireOnCancelled();
    } else {
        DeleteLeftNodes();
        Log(BuildFinishBackupLog());
        FireOnFinish();
    }
    ClearBackup();
}

void CTavOeEngine::BackupIdentity(TavNodeRec& root, const std::string& identifier) {
    std::string displayName;
    if (m_jobHelper->SearchExcludedItem(identifier, oetext::KEY_IDENTITY, OE_SEARCH_EXACT) ||
        !GetIdenName(identifier, displayName)) {
        Log(plat::Format(oetext::LOG_SKIP_IDENTITY, identifier.c_str()));
        return;
    }
    // A job that names an identity twice backs it up once.
    if (!m_identitiesDone.insert(identifier).second) return;
    Log(plat::Format(oetext::LOG_BACKUP_IDENTITY, identifier.c_str()));
    plat::CRegistry oeKey;
    if (!OpenOeKey(identifier, oeKey)) {
        Log(plat::Format(oetext::LOG_CANNOT_OPEN_IDENTITY, identifier.c_str()));
        // Nothing of it is stored: the run must not end as if it were.
        ItemError(plat::Format(oetext::ITEM_IDENTITY, identifier.c_str()), oetext::WHY_NO_OE_KEY);
        return;
    }
    Log(oetext::LOG_LINE_END);
    // The node's name is the identifier; a stored name is never cut.
    const std::string item = plat::Format(oetext::ITEM_IDENTITY, identifier.c_str());
    if (identifier.size() > NODE_NAME_MAX_UTF8) {
        Log(plat::Format(oetext::LOG_NAME_TOO_LONG, identifier.c_str()));
        ItemError(item, oetext::WHY_NAME_TOO_LONG);
        return;
    }
    TavNodeRec identityNode;
    if (!BackupIden(root, identifier, displayName, identityNode)) return;

    // Message files: those that "folders.dbx" lists, unless the whole message group is
    // left out.
    std::string storeDirectory;
    if (m_jobHelper->SearchExcludedItem(identifier, oetext::KEY_MESSAGES, OE_SEARCH_EXACT)) {
        // Nothing of the message group is stored; its nodes of earlier runs go.
    } else if (!GetOeDir(identifier, storeDirectory)) {
        // The message stores of the last run stay in the baseline; the run says they were
        // not read.
        Log(plat::Format(oetext::LOG_NO_STORE_FOLDER, identifier.c_str()));
        ItemError(item, oetext::WHY_NO_STORE_FOLDER);
        KeepMessageNodes(identifier);
    } else {
        std::vector<TavFindData> entries;
        if (!plat::ListDirectory(storeDirectory, entries)) {
            const std::string why = plat::ErrorText(plat::GetLastError());
            Log(plat::Format(oetext::LOG_CANNOT_LIST, storeDirectory.c_str()));
            ItemError(item, plat::Format(oetext::WHY_CANNOT_LIST, storeDirectory.c_str(), why.c_str()));
            KeepMessageNodes(identifier);
        } else {
            PrepareMsgFolders(identifier, storeDirectory);
        }
        for (const TavFindData& entry : entries) {
            if (Stopped()) break;
            if (entry.kind == TavFileKind::Directory ||
                !FileMatchFilters(entry.name, oetext::DBX_PATTERN))
                continue;
            BackupMsg(identityNode, identifier, storeDirectory, entry);
        }
    }

    // The settings items are exported even when the run was just cancelled, as the
    // identity's part of the run ends with them.
    const std::string oeKeyPath = oeKey.GetCurrentKey();
    for (const oetext::OeSettingsItem& item : oetext::SETTINGS_ITEMS) {
        if (m_runFailed) break;
        if (m_jobHelper->SearchExcludedItem(identifier, item.jobKey, OE_SEARCH_EXACT)) continue;
        const std::string exportFile =
            m_tempDir + OeFileNamePart(identifier, true) + item.filePart + oetext::EXPORT_EXTENSION;
        if (ExportReg(exportFile, oeKeyPath + item.subKey)) {
            BackupItem(identityNode, identifier, exportFile, item.name);
            plat::RemoveFile(exportFile);
            Log(item.backupLog);
        } else {
            Log(item.failureLog);
        }
    }
    oeKey.Close();
}

bool CTavOeEngine::BackupIden(TavNodeRec& root, const std::string& identifier,
                              const std::string& displayName, TavNodeRec& identityNode) {
    if (SeekBaselineNode(root, OE_TAG_IDENTITY, identifier, false, identityNode)) {
        RemoveFromExistList(identifier, OE_TAG_IDENTITY, identifier);
    } else {
        TavFindData findData;
        findData.attributes = TAV_ATTR_DIRECTORY;
        findData.kind = TavFileKind::Directory;
        findData.name = identifier;
        const uint32_t id = AddChildNode(root, OE_TAG_IDENTITY, findData, nullptr, 0);
        if (id == TAV_NONE || !m_baseline->LoadNode(identityNode, id)) {
            FailRun(oetext::LOG_STORE_FAILED);
            return false;
        }
    }
    TavOeActualNode actual;
    actual.tag = OE_TAG_IDENTITY;
    actual.nodeId = identityNode.nodeId;
    actual.name = displayName;
    actual.identifier = identifier;
    CreateActualNode(MakeNodeKey(identifier, OE_TAG_IDENTITY, identifier), std::move(actual));
    return true;
}

uint32_t CTavOeEngine::BackupMsg(TavNodeRec& identityNode, const std::string& identifier,
                                 const std::string& storeDirectory, const TavFindData& findData) {
    // Only the files of the folder list take part; others are not even logged.
    if (m_folders.find(MakeNodeKey(identifier, OE_TAG_MESSAGE, findData.name)) == m_folders.end())
        return TAV_NONE;

    TavNodeRec messageRoot;
    if (SeekBaselineNode(identityNode, OE_TAG_MESSAGE, oetext::MSGROOT_NODE_NAME, false,
                         messageRoot)) {
        RemoveFromExistList(identifier, OE_TAG_MESSAGE, oetext::MSGROOT_NODE_NAME);
    } else {
        TavFindData folder;
        folder.attributes = TAV_ATTR_DIRECTORY;
        folder.kind = TavFileKind::Directory;
        folder.name = oetext::MSGROOT_NODE_NAME;
        const uint32_t id = AddChildNode(identityNode, OE_TAG_MESSAGE, folder, nullptr, 0);
        if (id == TAV_NONE || !m_baseline->LoadNode(messageRoot, id)) {
            FailRun(oetext::LOG_STORE_FAILED);
            return TAV_NONE;
        }
        TavOeActualNode actual;
        actual.tag = OE_TAG_MESSAGE;
        actual.nodeId = id;
        actual.name = oetext::MSGROOT_NODE_NAME;
        actual.identifier = identifier;
        CreateActualNode(MakeNodeKey(identifier, OE_TAG_MESSAGE, oetext::MSGROOT_NODE_NAME),
                         std::move(actual));
    }

    const std::string fullPath = storeDirectory + findData.name;
    TavNodeRec node;
    uint32_t result = TAV_NONE;
    if (findData.kind != TavFileKind::Regular) {
        // A store file is read as the file it is: a link is not followed. Its earlier backup,
        // if any, stays in the baseline, and the run counts it as not backed up.
        if (SeekBaselineNode(messageRoot, OE_TAG_MESSAGE, findData.name, false, node))
            RemoveFromExistList(identifier, OE_TAG_MESSAGE, findData.name);
        Log(plat::Format(oetext::LOG_NOT_REGULAR, fullPath.c_str()));
        ItemError(fullPath, oetext::WHY_NOT_REGULAR);
        return TAV_NONE;
    }
    if (SeekBaselineNode(messageRoot, OE_TAG_MESSAGE, findData.name, false, node)) {
        RemoveFromExistList(identifier, OE_TAG_MESSAGE, findData.name);
        if (CheckUpToDate(node, findData, m_command)) {
            Log(plat::Format(oetext::LOG_UPDATE, fullPath.c_str()));
            FireOnProgress(oetext::PROGRESS_BACKUP, fullPath, 0);
            result = DoUpdateMsg(fullPath, identifier, node, findData);
            if (result != TAV_NONE) ++m_account.updated;
            EndItemLine(result != TAV_NONE);
        } else {
            ++m_account.skipped;
        }
    } else {
        Log(plat::Format(oetext::LOG_ADD, fullPath.c_str()));
        FireOnProgress(oetext::PROGRESS_BACKUP, fullPath, 0);
        result = DoBackupMsg(fullPath, identifier, messageRoot.nodeId, findData);
        if (result != TAV_NONE) ++m_account.added;
        EndItemLine(result != TAV_NONE);
    }
    return result;
}

void CTavOeEngine::BackupItem(TavNodeRec& identityNode, const std::string& identifier,
                              const std::string& exportFile, const std::string& itemName) {
    TavFindData findData;
    if (!plat::GetFindData(exportFile, findData)) return;
    findData.name = itemName;
    TavNodeRec node;
    if (SeekBaselineNode(identityNode, OE_TAG_ITEM, itemName, false, node)) {
        // A node whose content could not be stored must not stand in the baseline.
        if (!m_repository->UpdateNode(m_baseline, node, &findData, exportFile.c_str(), {0, 0},
                                      nullptr) ||
            node.content.offset == 0) {
            FailRun(oetext::LOG_STORE_FAILED);
            return;
        }
        RemoveFromExistList(identifier, OE_TAG_ITEM, itemName);
    } else if (AddChildNode(identityNode, OE_TAG_ITEM, findData, exportFile.c_str(), 0) ==
               TAV_NONE) {
        FailRun(oetext::LOG_STORE_FAILED);
    }
}

void CTavOeEngine::DeleteLeftNodes() {
    for (const auto& entry : m_existing) {
        if (m_repository->DeleteNode(m_baseline, entry.second.nodeId)) ++m_account.deleted;
    }
    m_existing.clear();
}
