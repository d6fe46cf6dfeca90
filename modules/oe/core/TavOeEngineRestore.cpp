// CTavOeEngine: the restore run (PreRestoreProcess with the identity mapping, Restore, the
// in-place walk and the node-list walk) and its log texts.
#include <exception>
#include <memory>
#include <set>

#include "core/OeIdentities.h"
#include "core/OeTexts.h"
#include "core/TavOeEngine.h"
#include "platform/FileSystem.h"
#include "tavengine/TavWords.h"
#include "tavrep/FormatAdaptor.h"
#include "platform/TextFormat.h"
#include "tavrep/TavDisposed.h"

OeUidMap CTavOeEngine::MapUid;

namespace {

OeMapIdentityPrompt& InstalledPrompt() {
    static OeMapIdentityPrompt prompt;
    return prompt;
}

using BaselinePtr = TavDisposedPtr<CTavRepBaselineDetails>;

// The baseline of a restore; null when it does not load (a repository exception included).
BaselinePtr LoadRestoreBaseline(CTavRepository* repository, uint32_t number) {
    try {
        return BaselinePtr(repository->LoadBaseline(number));
    } catch (CTavException* e) {
        e->Delete();
    } catch (const std::exception&) {
    }
    return nullptr;
}

std::string NodeName(const TavNodeRec& node) {
    return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
}

}  // namespace

void CTavOeEngine::SetMapIdentityPrompt(OeMapIdentityPrompt prompt) {
    InstalledPrompt() = std::move(prompt);
}

// --- PreRestoreProcess ---

int32_t CTavOeEngine::PreRestoreProcess(const std::string& requestXml, CTavRepository* repository) {
    m_mappingConfirmed = false;
    m_confirmedMap.clear();
    // Nothing thrown below may reach the program: anything unexpected abandons the restore.
    int32_t result = 0;
    try {
        result = DoPreRestore(requestXml, repository);
    } catch (...) {
        StartLine();
        LogThrown(oetext::LOG_REASON);
        result = 0;
    }
    m_baseline = nullptr;
    m_repository = nullptr;
    m_excludedIds.clear();
    if (result == 0) {
        m_mappingConfirmed = false;
        m_confirmedMap.clear();
    }
    return result;
}

int32_t CTavOeEngine::DoPreRestore(const std::string& requestXml, CTavRepository* repository) {
    OeRestoreRequest request;
    if (repository == nullptr || !ParseOeRestoreRequest(requestXml, request)) return 0;
    // Items written into a location belong to no identity of this machine.
    if (request.listsNodes || !request.location.empty()) return 1;

    std::vector<OeIdentity> backedUp;
    std::set<std::string, COeCaseLess> stored;  // every identity node, excluded ones too
    {
        BaselinePtr baseline = LoadRestoreBaseline(repository, request.baseline);
        if (!baseline) return 0;
        m_repository = repository;
        m_baseline = baseline.get();
        m_excludedIds = request.excluded;
        m_baseline->ReIndex();
        TavNodeRec root;
        if (m_baseline->LoadRoot(root, OE_TAG_ROOT)) {
            backedUp = BackedUpIdentities(root);
            m_excludedIds.clear();
            for (const OeIdentity& identity : BackedUpIdentities(root))
                stored.insert(identity.identifier);
        }
        m_baseline = nullptr;
        m_repository = nullptr;
        m_excludedIds.clear();
    }
    if (backedUp.empty()) return 1;

    COeIdentityMapping mapping(std::move(backedUp), COeIdentities::EnumIdentities(), MapUid);
    // The request's own entries answer in advance (tavctl restore --map).
    for (const auto& [from, to] : request.identityMap) {
        if (mapping.FindRow(from) < 0) {
            if (stored.count(from) != 0) continue;  // an identity the request leaves out
            Log(plat::Format(oetext::LOG_MAP_UNKNOWN_SOURCE, from.c_str()));
            return 0;
        }
        if (!mapping.SetTargetById(from, to)) {
            Log(plat::Format(oetext::LOG_MAP_UNKNOWN_TARGET, to.c_str()));
            return 0;
        }
    }

    const OeMapIdentityPrompt& prompt = InstalledPrompt();
    if (prompt) {
        int answer = 0;
        try {
            answer = prompt(mapping);
        } catch (...) {
            StartLine();
            LogThrown(oetext::LOG_REASON);
            answer = 0;
        }
        if (answer == 0) return 0;
    }
    if (!mapping.IsConfirmed() && !mapping.Confirm(MapUid)) {
        StartLine();
        Log(plat::Format(oetext::LOG_REASON, oetext::MAP_INCOMPLETE));
        for (const std::string& row : mapping.UnassignedRows())
            Log(plat::Format(oetext::LOG_MAP_UNASSIGNED, row.c_str()));
        return 0;
    }
    m_confirmedMap = mapping.Result();
    m_mappingConfirmed = true;
    return 1;
}

std::vector<OeIdentity> CTavOeEngine::BackedUpIdentities(const TavNodeRec& root) {
    std::vector<OeIdentity> out;
    for (const TavNodeRec& node : RestoreChildren(root)) {
        if (node.moduleId != OE_TAG_IDENTITY) continue;
        OeIdentity identity;
        identity.identifier = NodeName(node);
        // An identity whose record does not read back is still restored: it is listed with
        // an empty display name.
        if (node.extra.offset != 0) {
            try {
                CTavRepContent* record = m_repository->GetContent(node.extra);
                if (record != nullptr) {
                    if (const auto decoded =
                            DecodeIdentityRecord(record->data.data(), record->data.size()))
                        identity.displayName = decoded->displayName;
                    record->Dispose();
                }
            } catch (CTavException* e) {
                e->Delete();
            }
        }
        out.push_back(std::move(identity));
    }
    return out;
}

OeUidMap CTavOeEngine::UnconfirmedMapping(const TavNodeRec& root) {
    COeIdentityMapping mapping(BackedUpIdentities(root), COeIdentities::EnumIdentities(), MapUid);
    for (const auto& [from, to] : m_request.identityMap) mapping.SetTargetById(from, to);
    return mapping.Result();
}

// --- Restore ---

int32_t CTavOeEngine::Restore(const std::string& requestXml, CTavRepository* repository) {
    SetEngineState(TAV_ENGINE_RUNNING);
    if (repository == nullptr || !ParseOeRestoreRequest(requestXml, m_request)) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    BaselinePtr baseline = LoadRestoreBaseline(repository, m_request.baseline);
    if (!baseline) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    m_repository = repository;
    m_baseline = baseline.get();
    m_command = SetTavCmd(m_request.command, TAV_CMD_RESTORE);
    m_baseline->ReIndex();
    m_cancel.store(0);
    m_runFailed = false;
    m_atLineEnd = true;
    FireOnStart();
    Log(BuildStartRestoreLog());
    m_restoreAccount = TavOeRestoreAccount{};
    m_excludedIds = m_request.excluded;
    m_targetDir = m_request.location;
    if (!m_targetDir.empty() && m_targetDir.back() != '/') m_targetDir += '/';

    int result = 0;
    try {
        if (m_request.listsNodes) {
            for (uint32_t id : m_request.nodes) {
                TavNodeRec node;
                if (!m_baseline->LoadNode(node, id)) continue;
                result = DoRestoreNode(node);
                if (result == 0 || m_cancel.load() != 0) break;
            }
        } else if (!m_targetDir.empty()) {
            result = DoRestoreTo();
        } else {
            result = DoRestore();
        }
    } catch (...) {
        StartLine();
        LogThrown(oetext::LOG_REASON);
        result = 0;
    }

    baseline.reset();
    m_baseline = nullptr;
    const bool cancelled = m_cancel.load() != 0;
    if (cancelled) {
        SetEngineState(TAV_ENGINE_CANCELLED);
        Log(oetext::LOG_RESTORE_CANCELLED);
        FireOnCancelled();
    } else {
        SetEngineState(TAV_ENGINE_FINISHED);
        Log(BuildFinishRestoreLog());
        FireOnFinish();
    }
    if (result == 0) SetEngineState(TAV_ENGINE_FAILED);
    // A mapping serves the restore it was confirmed for.
    m_mappingConfirmed = false;
    m_confirmedMap.clear();
    m_excludedIds.clear();
    m_repository = nullptr;
    return (result != 0 && !cancelled) ? 1 : 0;
}

int CTavOeEngine::DoRestore() {
    TavNodeRec root;
    if (!m_baseline->LoadRoot(root, OE_TAG_ROOT)) return 0;
    const OeUidMap mapping = m_mappingConfirmed ? m_confirmedMap : UnconfirmedMapping(root);
    for (const TavNodeRec& identity : RestoreChildren(root)) {
        if (m_cancel.load() != 0) break;
        if (identity.moduleId != OE_TAG_IDENTITY) continue;
        const std::string identifier = NodeName(identity);
        StartLine();
        Log(plat::Format(oetext::LOG_OPEN_IDENTITY, identifier.c_str()));
        const auto mapped = mapping.find(identifier);
        const std::string target = mapped != mapping.end() ? mapped->second : identifier;
        const bool renamed = !OeEqualsNoCase(target, identifier);
        if (renamed) Log(plat::Format(oetext::LOG_RESTORE_TO_IDENTITY, target.c_str()));

        std::string directory;
        if (!GetOeDir(target, directory)) {
            Log(plat::Format(oetext::LOG_CANNOT_OPEN_IDENTITY_RESTORE, target.c_str()));
            ++m_restoreAccount.errors;
            continue;
        }
        // An identity that never started Outlook Express has no store folder yet.
        if (!plat::IsDirectory(directory) && !DryRun() && !plat::CreateDirectories(directory)) {
            Log(plat::Format(oetext::LOG_CANNOT_MAKE_FOLDER, directory.c_str()));
            ++m_restoreAccount.errors;
            continue;
        }
        for (const TavNodeRec& child : RestoreChildren(identity)) {
            if (m_cancel.load() != 0) break;
            if (child.moduleId == OE_TAG_ITEM) {
                RestoreItem(child, identifier, renamed ? &target : nullptr);
            } else if (child.moduleId == OE_TAG_MESSAGE) {
                RestoreMsgFolder(directory, child);
            }
        }
    }
    return 1;
}

int CTavOeEngine::DoRestoreTo() {
    TavNodeRec root;
    if (!m_baseline->LoadRoot(root, OE_TAG_ROOT) || !EnsureLocation()) return 0;
    for (const TavNodeRec& identity : RestoreChildren(root)) {
        if (m_cancel.load() != 0) break;
        if (identity.moduleId == OE_TAG_IDENTITY) RestoreIdentityTo(m_targetDir, identity);
    }
    return 1;
}

bool CTavOeEngine::EnsureLocation() {
    if (m_targetDir.empty()) {
        Log(oetext::LOG_NO_LOCATION);
        return false;
    }
    if (DryRun() || plat::IsDirectory(m_targetDir) || plat::CreateDirectories(m_targetDir)) return true;
    StartLine();
    Log(plat::Format(oetext::LOG_CANNOT_MAKE_FOLDER, m_targetDir.c_str()));
    ++m_restoreAccount.errors;
    return false;
}

int CTavOeEngine::DoRestoreNode(const TavNodeRec& node) {
    if (!EnsureLocation()) return 0;
    switch (node.moduleId) {
        case OE_TAG_MESSAGE:
            return (node.attributes & TAV_ATTR_DIRECTORY) ? RestoreMsgFolder(m_targetDir, node)
                                                          : RestoreMsg(m_targetDir, node);
        case OE_TAG_ITEM:
            return RestoreItemFile(m_targetDir, node);
        case OE_TAG_IDENTITY:
            return RestoreIdentityTo(m_targetDir, node);
        case OE_TAG_ROOT: {
            int result = 1;
            for (const TavNodeRec& identity : RestoreChildren(node)) {
                if (m_cancel.load() != 0) break;
                if (identity.moduleId == OE_TAG_IDENTITY &&
                    !RestoreIdentityTo(m_targetDir, identity))
                    result = 0;
            }
            return result;
        }
        default:
            return 0;
    }
}

std::vector<TavNodeRec> CTavOeEngine::RestoreChildren(const TavNodeRec& parent) {
    std::vector<TavNodeRec> out;
    std::set<uint32_t> seen;
    for (uint32_t id = parent.firstChildId; id != TAV_NONE && seen.insert(id).second;) {
        TavNodeRec node;
        if (!m_baseline->LoadNode(node, id)) break;
        if (!(node.flags & NODE_DELETED) && !IsExcluded(node.nodeId)) out.push_back(node);
        id = node.nextSiblingId;
    }
    return out;
}

// --- log ---

std::string CTavOeEngine::BuildStartRestoreLog() const {
    const std::string path = m_repository != nullptr ? m_repository->GetCurrentRepPath() : "";
    const std::string time = LocalTimeText();
    return plat::Format(oetext::LOG_START_RESTORE, path.c_str(), time.c_str());
}

std::string CTavOeEngine::BuildFinishRestoreLog() const {
    const std::string time = LocalTimeText();
    return plat::Format(oetext::LOG_FINISH_RESTORE, time.c_str(), long(m_restoreAccount.succeeded),
                    long(m_restoreAccount.overwritten), long(m_restoreAccount.upToDate),
                    long(m_restoreAccount.errors));
}

bool CTavOeEngine::DryRun() const { return (m_command & TAV_RS_DRY_RUN) != 0; }

void CTavOeEngine::StartLine() {
    if (!m_atLineEnd) Log(oetext::LOG_LINE_END);
}
