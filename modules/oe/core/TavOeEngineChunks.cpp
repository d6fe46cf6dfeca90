// CTavOeEngine: storing a message-store file as chunks (new files and changed files).
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/DbxChunkRecord.h"
#include "core/OeTexts.h"
#include "core/TavOeEngine.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "platform/TextFormat.h"
#include "tavrep/TavDisposed.h"

namespace {

using ContentPtr = TavDisposedPtr<CTavRepContent>;

std::unique_ptr<plat::CFile> OpenSource(const std::string& path, uint32_t& error) {
    error = 0;
    return plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                             &error, plat::FileHint::Sequential);
}

}  // namespace

// Sizes are taken whole (a store file may pass 4 GiB), and a file that grew while it was
// read never reports more than 100.
uint32_t CTavOeEngine::ChunkPercent(uint64_t done, uint64_t size) {
    if (size < 100) return 100;
    const uint64_t percent = (done + size / 200) / (size / 100);
    return percent > 100 ? 100 : uint32_t(percent);
}

void CTavOeEngine::LogOpenError(const std::string& fullPath, uint32_t error) {
    if (error == plat::ERR_SHARING_VIOLATION) {
        Log(oetext::LOG_SHARING);
    } else if (error == plat::ERR_FILE_NOT_FOUND || error == plat::ERR_PATH_NOT_FOUND) {
        Log(oetext::LOG_NOT_FOUND);
    } else {
        Log(oetext::LOG_CANNOT_OPEN);
        Log(plat::Format(oetext::LOG_REASON, plat::ErrorText(error).c_str()));
    }
    ItemError(fullPath, plat::ErrorText(error));
}

uint32_t CTavOeEngine::DoBackupMsg(const std::string& fullPath, const std::string& identifier,
                                   uint32_t parentId, const TavFindData& findData) {
    uint32_t error = 0;
    std::unique_ptr<plat::CFile> source = OpenSource(fullPath, error);
    if (!source) {
        LogOpenError(fullPath, error);
        return TAV_NONE;
    }
    const std::string tablePath = TempFilePath(oetext::CHUNK_TABLE_FILE, identifier, findData.name);
    uint32_t fingerprint[4] = {};
    const ChunkResult result =
        StoreChunks(*source, fullPath, findData.Size(), tablePath, nullptr, fingerprint);
    source.reset();
    if (result != ChunkResult::Stored) {
        plat::RemoveFile(tablePath);
        return TAV_NONE;
    }
    TavNodeRec parent;
    uint32_t id = TAV_NONE;
    if (m_baseline->LoadNode(parent, parentId))
        id = AddChildNode(parent, OE_TAG_MESSAGE, findData, nullptr, OE_CHUNK_SIZE);
    if (id == TAV_NONE) {
        plat::RemoveFile(tablePath);
        FailRun(oetext::LOG_STORE_FAILED);
        return TAV_NONE;
    }
    TavOeActualNode actual;
    actual.sourcePath = fullPath;
    actual.name = findData.name;
    actual.identifier = identifier;
    actual.tag = OE_TAG_MESSAGE;
    actual.nodeId = id;
    actual.tempPath = tablePath;
    std::memcpy(actual.fingerprint, fingerprint, sizeof actual.fingerprint);
    CreateActualNode(MakeNodeKey(identifier, OE_TAG_MESSAGE, findData.name), std::move(actual));
    return id;
}

uint32_t CTavOeEngine::DoUpdateMsg(const std::string& fullPath, const std::string& identifier,
                                   TavNodeRec& node, const TavFindData& findData) {
    uint32_t error = 0;
    std::unique_ptr<plat::CFile> source = OpenSource(fullPath, error);
    if (!source) {
        // The node keeps its earlier content; the file was still not backed up, which the
        // run's error count tells.
        LogOpenError(fullPath, error);
        return TAV_NONE;
    }
    // The earlier table lets unchanged chunks keep their stored blocks. Without it (it
    // cannot be read or written) every chunk is stored again, which is never wrong.
    const std::string oldPath = TempFilePath(oetext::OLD_TABLE_FILE, identifier, findData.name);
    std::unique_ptr<plat::CFile> previous;
    if (WritePreviousTable(node, oldPath))
        previous = plat::CFile::Open(oldPath, plat::FileAccess::Read,
                                     plat::FileDisposition::OpenExisting);
    const std::string tablePath = TempFilePath(oetext::CHUNK_TABLE_FILE, identifier, findData.name);
    uint32_t fingerprint[4] = {};
    const ChunkResult result =
        StoreChunks(*source, fullPath, findData.Size(), tablePath, previous.get(), fingerprint);
    previous.reset();
    plat::RemoveFile(oldPath);
    source.reset();
    if (result != ChunkResult::Stored) {
        plat::RemoveFile(tablePath);
        return TAV_NONE;
    }
    // The node keeps its content until UpdateCustomData stores the new table.
    if (!m_repository->UpdateNode(m_baseline, node, &findData, nullptr, {0, 0}, nullptr)) {
        plat::RemoveFile(tablePath);
        FailRun(oetext::LOG_STORE_FAILED);
        return TAV_NONE;
    }
    TavOeActualNode actual;
    actual.sourcePath = fullPath;
    actual.name = findData.name;
    actual.identifier = identifier;
    actual.tag = OE_TAG_MESSAGE;
    actual.nodeId = node.nodeId;
    actual.tempPath = tablePath;
    std::memcpy(actual.fingerprint, fingerprint, sizeof actual.fingerprint);
    CreateActualNode(MakeNodeKey(identifier, OE_TAG_MESSAGE, findData.name), std::move(actual));
    return node.nodeId;
}

CTavOeEngine::ChunkResult CTavOeEngine::StoreChunks(plat::CFile& source,
                                                    const std::string& fullPath, uint64_t size,
                                                    const std::string& tablePath,
                                                    plat::CFile* previous,
                                                    uint32_t fingerprint[4]) {
    std::unique_ptr<plat::CFile> table = plat::CFile::Open(
        tablePath, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
    if (!table) {
        Log(plat::Format(oetext::LOG_TABLE_FILE, tablePath.c_str()));
        ItemError(fullPath, oetext::WHY_TABLE_FILE);
        return ChunkResult::Failed;
    }
    std::vector<uint8_t> buffer(OE_CHUNK_SIZE);
    CMD5Checksum running;
    uint64_t done = 0;
    uint32_t chunks = 0;
    bool havePrevious = previous != nullptr;
    // The node records the size of the listing: the table must cover exactly that many
    // bytes. A file that grows is not read on past it; one that shrank is not stored.
    while (!Stopped() && done <= size) {
        const int64_t n = source.ReadFull(buffer.data(), buffer.size());
        if (n < 0) {
            // A table cut at a read error would pass a shortened file off as the whole.
            const std::string why = plat::ErrorText(plat::GetLastError());
            Log(oetext::LOG_READ_ERROR);
            Log(plat::Format(oetext::LOG_REASON, why.c_str()));
            ItemError(fullPath, plat::Format(oetext::WHY_READ_ERROR, why.c_str()));
            return ChunkResult::Failed;
        }
        if (n == 0) break;
        DbxChunkRecord record;
        CMD5Checksum::Hash(buffer.data(), size_t(n), record.digest);
        bool reused = false;
        if (havePrevious) {
            uint8_t raw[DBX_CHUNK_RECORD_SIZE];
            if (previous->ReadFull(raw, sizeof raw) == int64_t(sizeof raw)) {
                const DbxChunkRecord old = DecodeChunkRecord(raw);
                if (old.position.offset != 0 &&
                    std::memcmp(old.digest, record.digest, sizeof record.digest) == 0) {
                    record.position = old.position;
                    reused = true;
                }
            } else {
                havePrevious = false;
            }
        }
        if (!reused) {
            record.position = m_repository->AddContent(buffer.data(), uint32_t(n), {0, 0});
            if (record.position.offset == 0) {
                // This file is not stored (a full disk, as a rule); the run goes on with the
                // next one and the runner decides whether what was stored is committed.
                const uint32_t error = plat::GetLastError();
                const std::string why =
                    plat::Format(error == plat::ERR_DISK_FULL ? oetext::WHY_DISK_FULL : oetext::WHY_WRITE_ERROR,
                             plat::ErrorText(error).c_str());
                Log(plat::Format(oetext::LOG_CHUNK_NOT_STORED, fullPath.c_str(), why.c_str()));
                ItemError(fullPath, why);
                return ChunkResult::Failed;
            }
        }
        uint8_t raw[DBX_CHUNK_RECORD_SIZE];
        EncodeChunkRecord(record, raw);
        if (!table->Write(raw, sizeof raw)) {
            Log(plat::Format(oetext::LOG_TABLE_FILE, tablePath.c_str()));
            ItemError(fullPath, oetext::WHY_TABLE_FILE);
            return ChunkResult::Failed;
        }
        running.Update(buffer.data(), size_t(n));
        done += uint64_t(n);
        ++chunks;
        FireOnProgress(oetext::PROGRESS_BACKUP, fullPath, ChunkPercent(done, size));
        // Only the last chunk of a file is short: a file that grows behind a short read
        // would otherwise place later bytes at the wrong chunk positions.
        if (size_t(n) < buffer.size()) break;
    }
    if (Stopped()) return ChunkResult::Stopped;
    if (done != size) {
        Log(plat::Format(oetext::LOG_CHANGED, fullPath.c_str()));
        ItemError(fullPath, oetext::WHY_CHANGED);
        return ChunkResult::Failed;
    }
    if (chunks == 0) return ChunkResult::Empty;
    running.GetHash(fingerprint);
    return ChunkResult::Stored;
}

bool CTavOeEngine::WritePreviousTable(const TavNodeRec& node, const std::string& path) {
    std::unique_ptr<plat::CFile> out =
        plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
    if (!out) return false;
    // A sound table holds one record per chunk of the stored file: nothing beyond that is
    // read, and a chain that comes back to a block it passed ends there.
    const uint64_t limit = (node.Size() / OE_CHUNK_SIZE + 1) * DBX_CHUNK_RECORD_SIZE;
    uint64_t written = 0;
    std::set<std::pair<uint32_t, uint32_t>> seen;
    TavPosition position = node.content;
    while (position.offset != 0 && written < limit &&
           seen.insert({position.image, position.offset}).second) {
        ContentPtr content;
        try {
            content.reset(m_repository->GetContent(position));
        } catch (CTavException* e) {
            // A damaged or missing earlier image: the chunks are stored anew.
            e->Delete();
            break;
        }
        if (!content) break;
        const uint64_t n = std::min<uint64_t>(content->data.size(), limit - written);
        if (!out->Write(content->data.data(), size_t(n))) return false;
        written += n;
        position = content->Next();
    }
    return true;
}
