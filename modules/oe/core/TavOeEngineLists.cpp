// CTavOeEngine: the existing and actual lists, the folder map and the module data written
// at the end of a run.
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "core/DbxException.h"
#include "core/DbxFileInput.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/OeTexts.h"
#include "core/TavJobOeHelper.h"
#include "core/TavOeEngine.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavrep/FormatAdaptor.h"
#include "platform/TextFormat.h"

namespace {

std::string NodeName(const TavNodeRec& node) {
    return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
}

// Calls `visit` for each child of `parent` that is not deleted. A damaged table whose
// sibling chain loops ends after as many steps as the table has records.
void ForEachChild(CTavRepBaselineDetails& table, const TavNodeRec& parent,
                  const std::function<bool(TavNodeRec&)>& visit) {
    uint32_t id = parent.firstChildId;
    for (int32_t steps = 0; id != TAV_NONE && steps <= table.count; ++steps) {
        TavNodeRec child;
        if (!table.LoadNode(child, id)) return;
        id = child.nextSiblingId;
        if (child.flags & NODE_DELETED) continue;
        if (!visit(child)) return;
    }
}

// Each node is looked at once at most, so that a damaged table whose links run in a
// circle cannot keep a deep search going; nor does a deep search go deeper than any tree
// of the module (three levels) by far.
constexpr int MAX_SEEK_DEPTH = 32;

bool SeekIn(CTavRepBaselineDetails& table, const TavNodeRec& parent, uint32_t tag,
            const std::string& name, bool deep, TavNodeRec& found, std::set<uint32_t>& seen,
            int depth) {
    bool hit = false;
    ForEachChild(table, parent, [&](TavNodeRec& child) {
        if (!seen.insert(child.nodeId).second) return true;
        if (child.moduleId == tag && OeEqualsNoCase(NodeName(child), name)) {
            found = child;
            hit = true;
        } else if (deep && child.moduleId != tag && depth < MAX_SEEK_DEPTH) {
            hit = SeekIn(table, child, tag, name, deep, found, seen, depth + 1);
        }
        return !hit;
    });
    return hit;
}

}  // namespace

void CTavOeEngine::PrepareExistingList() {
    TavNodeRec root;
    if (!m_baseline->LoadRoot(root, OE_TAG_ROOT)) return;
    ForEachChild(*m_baseline, root, [&](TavNodeRec& identity) {
        if (identity.moduleId != OE_TAG_IDENTITY) return true;
        const std::string identifier = NodeName(identity);
        CreateExistingNode(identifier, OE_TAG_IDENTITY, identifier, identity.nodeId);
        ForEachChild(*m_baseline, identity, [&](TavNodeRec& child) {
            if (child.moduleId == OE_TAG_ITEM) {
                CreateExistingNode(identifier, OE_TAG_ITEM, NodeName(child), child.nodeId);
            } else if (child.moduleId == OE_TAG_MESSAGE) {
                CreateExistingNode(identifier, OE_TAG_MESSAGE, NodeName(child), child.nodeId);
                ForEachChild(*m_baseline, child, [&](TavNodeRec& file) {
                    if (file.moduleId == OE_TAG_MESSAGE)
                        CreateExistingNode(identifier, OE_TAG_MESSAGE, NodeName(file),
                                           file.nodeId);
                    return true;
                });
            }
            return true;
        });
        return true;
    });
}

bool CTavOeEngine::SeekBaselineNode(const TavNodeRec& parent, uint32_t tag,
                                    const std::string& name, bool deep, TavNodeRec& found) {
    std::set<uint32_t> seen{parent.nodeId};
    return SeekIn(*m_baseline, parent, tag, name, deep, found, seen, 0);
}

void CTavOeEngine::RemoveFromExistList(const std::string& identifier, uint32_t tag,
                                       const std::string& name) {
    m_existing.erase(MakeNodeKey(identifier, tag, name));
}

void CTavOeEngine::CreateExistingNode(const std::string& identifier, uint32_t tag,
                                      const std::string& name, uint32_t nodeId) {
    TavOeExistingNode entry;
    entry.nodeId = nodeId;
    entry.tag = tag;
    entry.identifier = identifier;
    entry.name = name;
    // Two stored nodes under one key (names that differ only in letter case) are both
    // listed: the second goes under its id, so that it is deleted if not met.
    const std::string key = MakeNodeKey(identifier, tag, name);
    if (!m_existing.emplace(key, entry).second)
        m_existing.emplace(key + plat::Format("#%08X", nodeId), entry);
}

void CTavOeEngine::CreateActualNode(const std::string& key, TavOeActualNode node) {
    auto found = m_actual.find(key);
    if (found != m_actual.end()) {
        // Met twice in one run: the newer entry wins, the older one's table goes.
        if (!found->second.tempPath.empty() && found->second.tempPath != node.tempPath)
            plat::RemoveFile(found->second.tempPath);
        found->second = std::move(node);
        return;
    }
    m_actual.emplace(key, std::move(node));
}

void CTavOeEngine::AddFoldersStructureInfo(const std::string& identifier,
                                           const std::string& dbxName, const std::string& title) {
    OeFolderRecord record;
    record.version = 1;
    record.folderId = 0;
    record.messages = 0;
    record.unread = 0;
    record.active = 1;
    record.name = title;
    record.parentId = 1;
    m_folders[MakeNodeKey(identifier, OE_TAG_MESSAGE, dbxName)] = record;
}

uint32_t CTavOeEngine::AddChildNode(TavNodeRec& parent, uint32_t tag, const TavFindData& findData,
                                    const char* sourcePath, uint32_t chunkSize) {
    const uint32_t id = m_repository->AddNode(m_baseline, parent.nodeId, tag, &findData,
                                              sourcePath, chunkSize, {0, 0}, nullptr);
    if (id != TAV_NONE) m_baseline->LoadNode(parent, parent.nodeId);
    return id;
}

std::string CTavOeEngine::FindFoldersFile(const std::string& storeDirectory) {
    const std::string exact = storeDirectory + oetext::FOLDERS_FILE;
    if (plat::PathExists(exact)) return exact;
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(storeDirectory, entries)) return {};
    for (const TavFindData& entry : entries)
        if (entry.kind == TavFileKind::Regular && OeEqualsNoCase(entry.name, oetext::FOLDERS_FILE))
            return storeDirectory + entry.name;
    return {};
}

void CTavOeEngine::PrepareMsgFolders(const std::string& identifier,
                                     const std::string& storeDirectory) {
    const std::string foldersPath = FindFoldersFile(storeDirectory);
    if (!foldersPath.empty()) {
        DbxFileInput input(foldersPath);
        if (!input.IsOpen()) {
            Log(plat::Format(oetext::LOG_FOLDERS_UNOPENED, foldersPath.c_str()));
            ItemError(foldersPath, plat::ErrorText(input.OpenError()));
        } else {
            std::set<uint32_t> excludedFolders;
            try {
                DbxHeader header(input);
                if (header.FolderRoot() != 0 && header.FolderCount() != 0) {
                    DbxIndexTree tree(input, header.FolderRoot(), header.FolderCount());
                    for (uint32_t offset : tree.Values()) {
                        DbxFolderRecord record(input, offset);
                        if (!record.Has(DBX_FOLDER_FILE_NAME)) continue;
                        const std::string dbxName = record.Utf8Text(DBX_FOLDER_FILE_NAME);
                        // A left-out folder takes every folder below it along.
                        if (m_jobHelper->SearchExcludedMessage(identifier, dbxName) ||
                            excludedFolders.count(record.Integer(DBX_FOLDER_PARENT_ID))) {
                            excludedFolders.insert(record.Integer(DBX_FOLDER_ID));
                            continue;
                        }
                        if (!record.Has(DBX_FOLDER_NAME)) continue;
                        OeFolderRecord folder;
                        folder.folderId = record.Integer(DBX_FOLDER_ID);
                        folder.messages = record.Integer(DBX_FOLDER_MESSAGES);
                        folder.unread = record.Integer(DBX_FOLDER_UNREAD);
                        folder.active = record.Integer(DBX_FOLDER_FLAGS) & 1;
                        folder.name = record.Utf8Text(DBX_FOLDER_NAME);
                        folder.parentId = record.Integer(DBX_FOLDER_PARENT_ID);
                        m_folders[MakeNodeKey(identifier, OE_TAG_MESSAGE, dbxName)] = folder;
                    }
                }
            } catch (const DbxException& e) {
                // The folders read so far are backed up; the damage is reported.
                Log(plat::Format(oetext::LOG_FOLDERS_DAMAGED, foldersPath.c_str(),
                             e.Describe().c_str()));
                ItemError(foldersPath, e.Describe());
            }
        }
    }
    AddFoldersStructureInfo(identifier, oetext::FOLDERS_FILE, oetext::FOLDERS_INFO_NAME);
}

TavPosition CTavOeEngine::StoreChunkTable(const std::string& tablePath) {
    CMD5Checksum stored;
    const TavPosition first =
        m_repository->AddFileContent(tablePath.c_str(), OE_CHUNK_SIZE, this, &stored);
    if (first.offset == 0) return {0, 0};
    // AddFileContent ends a chain early when a write fails or the observer stops it; the
    // digest of what it stored tells whether the whole table went in.
    auto file =
        plat::CFile::Open(tablePath, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) return {0, 0};
    const int64_t size = file->Size();
    if (size < 0) return {0, 0};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file->ReadFull(bytes.data(), bytes.size()) != size) return {0, 0};
    uint8_t expected[16];
    uint8_t actual[16];
    CMD5Checksum::Hash(bytes.data(), bytes.size(), expected);
    stored.Final();
    stored.GetHash(actual);
    return std::memcmp(expected, actual, sizeof expected) == 0 ? first : TavPosition{0, 0};
}

void CTavOeEngine::UpdateCustomData() {
    for (const auto& [key, actual] : m_actual) {
        if (Stopped()) return;
        TavNodeRec node;
        if (!m_baseline->LoadNode(node, actual.nodeId)) continue;
        if (actual.tag == OE_TAG_MESSAGE) {
            if (!actual.tempPath.empty()) {
                const TavPosition table = StoreChunkTable(actual.tempPath);
                if (table.offset == 0) {
                    // Cancelled while storing, or the repository failed.
                    if (m_cancel.load() == 0) FailRun(oetext::LOG_STORE_FAILED);
                    return;
                }
                node.content = table;
                node.chunkSize = OE_CHUNK_SIZE;
                node.flags |= NODE_HAS_FINGERPRINT;
                std::memcpy(node.fingerprint, actual.fingerprint, sizeof node.fingerprint);
            }
            const auto folder = m_folders.find(key);
            if (folder != m_folders.end()) {
                const auto record = EncodeFolderRecord(folder->second);
                const TavPosition extra =
                    m_repository->AddContent(record.data(), uint32_t(record.size()), {0, 0});
                if (extra.offset == 0) {
                    FailRun(oetext::LOG_STORE_FAILED);
                    return;
                }
                node.extra = extra;
            }
        } else if (actual.tag == OE_TAG_IDENTITY) {
            OeIdentityRecord identity;
            identity.displayName = actual.name;
            const auto record = EncodeIdentityRecord(identity);
            const TavPosition extra =
                m_repository->AddContent(record.data(), uint32_t(record.size()), {0, 0});
            if (extra.offset == 0) {
                FailRun(oetext::LOG_STORE_FAILED);
                return;
            }
            node.extra = extra;
        }
        node.flags |= NODE_TOUCHED;
        if (m_baseline->UpdateNode(node) == TAV_NONE) {
            FailRun(oetext::LOG_STORE_FAILED);
            return;
        }
    }
}
