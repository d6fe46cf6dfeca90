#!/usr/bin/env bash
# Mutation check: applies deliberate one-line faults to the repository library, the engines
# and the .dbx reader, one at a time, rebuilds what the tests of that part need, runs those
# tests and prints which test caught each fault (or NOT CAUGHT). Every source file is put
# back after its run, also when the script is interrupted.
#
# Usage: tests/mutate.sh [build-dir] [name-regex]
#   build-dir   a build folder of this tree (default build-mut; configured when missing)
#   name-regex  only the mutations whose name matches
#   MUT_TIMEOUT seconds a test program may run under a mutant (default 180); the build
#               folder's tests keep that time-out until it is configured again
# Run it on a tree without uncommitted changes to the mutated files. The table also lands
# in BUILD/mutations.txt.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath -m "${1:-$root/build-mut}")
only=${2:-.}
cd "$root"

# name ~~ file ~~ exact text (found once) ~~ replacement ~~ tests that run (ctest regex)
MUTATIONS=$(cat <<'TABLE'
gzip-crc-skipped ~~ rep/src/DeflateCodec.cpp ~~ if (libdeflate_crc32(0, out.data() + memberStart, memberSize) != GetLE32(in + pos)) ~~ if (false) ~~ ^rep_(Codecs|Image|FuzzRegression)Test
block-length-check-short ~~ rep/src/TavImage.cpp ~~ uint64_t(offset) + BLOCK_HEADER_SIZE + h.length > uint64_t(fileSize) ~~ uint64_t(offset) + h.length > uint64_t(fileSize) ~~ ^rep_(Image|FuzzRegression)Test
block-self-unchecked ~~ rep/src/TavImage.cpp ~~ throw fail(plat::ERR_INVALID_PARAMETER, "no block header there (its first word is not its offset)"); ~~ (void)0; ~~ ^rep_(Image|FuzzRegression|Repair)Test
block-header-wrong-offset ~~ rep/src/TavImage.cpp ~~ GetLE32(p + 8), GetLE32(p + 12), GetLE32(p + 16)}; ~~ GetLE32(p + 8), GetLE32(p + 16), GetLE32(p + 16)}; ~~ ^rep_(Image|Repository)Test
cipher-blocks-unchecked ~~ rep/src/BlockCoding.cpp ~~ if (len % CIPHER_BLOCK != 0) return ~~ if (false) return ~~ ^rep_(Codecs|Image|FuzzRegression)Test
compressed-prefix-off-by-one ~~ rep/src/BlockCoding.cpp ~~ if (len <= k) return ~~ if (len < k) return ~~ ^rep_(Codecs|Image|FuzzRegression)Test
rollback-no-truncate ~~ rep/src/Repository.cpp ~~ image->TruncateTo(image->sizeAtBegin); ~~ (void)0; ~~ ^rep_(Repository|RollbackAfterSave|FailingDisk)Test
rollback-keeps-new-image ~~ rep/src/Repository.cpp ~~ plat::RemoveFile(image->Path()); ~~ (void)0; ~~ ^rep_(Repository|RollbackAfterSave|FailingDisk)Test
rollback-entry-not-restored ~~ rep/src/Repository.cpp ~~ image->UpdateBlock(SECURITY_BLOCK_OFFSET, bytes, 8, 3 * 8); ~~ (void)bytes; ~~ ^rep_(Repository|RollbackAfterSave|FailingDisk)Test
commit-without-sync ~~ rep/src/Repository.cpp ~~ if (image != nullptr && image->InTrans() && !image->Sync()) return 0; ~~ if (false) return 0; ~~ ^rep_(Repository|RollbackAfterSave|FailingDisk)Test
forget-table-not-synced ~~ rep/src/RepositoryForget.cpp ~~ if (table == 0 || !image->Sync()) { ~~ if (table == 0) { ~~ ^(rep_FailingDiskTest|cli_ForgetCommandTest)
chain-fingerprint-not-handed-on ~~ rep/src/EncodeFingerprints.cpp ~~ job.hash = chain.state; ~~ (void)chain.state; ~~ ^rep_(EncodeChain|ReadAhead|Content)Test
pool-given-back-chunk-restarted ~~ rep/src/EncodeFingerprints.cpp ~~ job->hashed = job->raw.size() - left; ~~ job->hashed = 0; ~~ ^rep_(EncodeChain|ReadAhead|Content)Test
md5-pair-blocks-miscounted ~~ rep/src/MD5Checksum.cpp ~~ one.CountBytes(taken); ~~ one.CountBytes(taken + 1); ~~ ^rep_(MD5|EncodeChain)Test
md5-buffer-off-by-one ~~ rep/src/MD5Checksum.cpp ~~ const size_t room = BLOCK_SIZE - buffered; ~~ const size_t room = BLOCK_SIZE - buffered - 1; ~~ ^rep_(MD5|Content)Test
changed-source-shrink-missed ~~ rep/src/FileContent.cpp ~~ if (source->BytesRead() > size || (source->EndOfFile() && source->BytesRead() < size)) { ~~ if (source->BytesRead() > size) { ~~ ^rep_ChangedSourceTest
disk-full-wrong-text ~~ rep/src/FileContent.cpp ~~ "***** Not stored: disk full (" ~~ "***** Stored: disk full (" ~~ ^(rep_(Content|FailingDisk)Test|files_EngineBackupTest)
room-check-skipped ~~ rep/src/RepositoryContent.cpp ~~ if (*free < bytes) return false; ~~ if (false) return false; ~~ ^rep_(Content|FailingDisk)Test
image-limit-ignored ~~ rep/src/RepositoryContent.cpp ~~ if (size != 0xFFFFFFFF && uint64_t(size) + length < ImageLimit()) return image; ~~ if (size != 0xFFFFFFFF) return image; ~~ ^rep_(Repository|Content)Test
table-window-stale ~~ rep/src/BaselineDetails.cpp ~~ if (id % NODE_REC_SIZE == 0 && index >= m_windowFirst && index - m_windowFirst < m_windowCount) ~~ if (false) ~~ ^rep_WorkingTableTest
table-tail-unread ~~ rep/src/BaselineDetails.cpp ~~ if (const uint8_t* tail = TailRecord(id)) return tail; ~~ (void)0; ~~ ^rep_WorkingTableTest
repair-tail-not-cut ~~ rep/src/RepositoryRepair.cpp ~~ if (tail.keep != 0 && tail.size > tail.keep) { ~~ if (false) { ~~ ^rep_RepairTest
repair-set-aside-overwritten ~~ rep/src/RepositoryRepair.cpp ~~ for (int n = 2; plat::PathExists(to); ++n) ~~ for (int n = 2; false; ++n) ~~ ^rep_RepairTest
keep-last-off-by-one ~~ engine/src/KeepPolicy.cpp ~~ k < newestFirst.size() && k < policy.last; ~~ k < newestFirst.size() && k + 1 < policy.last; ~~ ^(engine_KeepPolicyTest|cli_ForgetCommandTest)
keep-within-edge ~~ engine/src/KeepPolicy.cpp ~~ + policy.withinSeconds >= newest) ~~ + policy.withinSeconds > newest) ~~ ^(engine_KeepPolicyTest|cli_ForgetCommandTest)
wildcard-trailing-star ~~ engine/src/Wildcard.cpp ~~ while (p < pattern.size() && pattern[p] == U'*') ++p; ~~ while (false) ++p; ~~ ^(engine_EngineHelpersTest|files_)
leftover-images-kept ~~ engine/src/RepForBackup.cpp ~~ if (!leftovers.empty()) NoteRemoved(repository->RemoveLeftovers(leftovers)); ~~ (void)leftovers; ~~ ^engine_RepForBackupTest
retention-wrong-unit ~~ engine/src/Retention.cpp ~~ "%.1f KiB" ~~ "%.1f KB" ~~ ^(engine_|cli_ForgetCommandTest)
files-cancel-wrong-text ~~ modules/files/core/FilesTexts.h ~~ "\r\nBackup Cancelled\r\n" ~~ "\r\nBackup Canceled\r\n" ~~ ^files_
files-short-chain-unreported ~~ modules/files/core/EngineFilesRestoreFile.cpp ~~ if (damage.empty() && written < size) damage ~~ if (false) damage ~~ ^files_
files-date-always-compared ~~ modules/files/core/EngineFilesBackup.cpp ~~ m_word = word; ~~ m_word = word | TAV_COND_DATE; ~~ ^files_
files-added-not-counted ~~ modules/files/core/EngineFilesPending.cpp ~~ ++m_counts.added; ~~ (void)0; ~~ ^files_
files-pending-never-stored ~~ modules/files/core/EngineFilesBackup.cpp ~~ StorePending(); ~~ (void)0; ~~ ^files_
files-link-length-unchecked ~~ modules/files/core/EngineFilesRestoreFile.cpp ~~ if (linkText->size() + content->data.size() > MAX_LINK_TEXT) { ~~ if (false) { ~~ ^files_
oe-added-not-counted ~~ modules/oe/core/TavOeEngineBackup.cpp ~~ if (result != TAV_NONE) ++m_account.added; ~~ if (result != TAV_NONE) {} ~~ ^oe_(TavOeEngine|OeRestore)
oe-cancel-wrong-text ~~ modules/oe/core/OeTexts.h ~~ "\r\nBackup Cancelled." ~~ "\r\nBackup cancelled." ~~ ^oe_(TavOeEngine|OeRestore)
oe-removed-store-kept ~~ modules/oe/core/TavOeEngineBackup.cpp ~~ if (m_repository->DeleteNode(m_baseline, entry.second.nodeId)) ++m_account.deleted; ~~ ++m_account.deleted; ~~ ^oe_(TavOeEngine|OeRestore)
oe-chunk-size-wrong ~~ modules/oe/core/TavOeEngineLists.cpp ~~ node.chunkSize = OE_CHUNK_SIZE; ~~ node.chunkSize = OE_CHUNK_SIZE / 2; ~~ ^oe_(TavOeEngine|OeRestore)
dbx-entries-fit-off ~~ modules/oe/core/DbxRecord.cpp ~~ if (uint64_t(entryCount) * 4 > bodyLength) ~~ if (uint64_t(entryCount) * 3 > bodyLength) ~~ ^(oe_|cli_Dbx)
dbx-entry-start-off-by-one ~~ modules/oe/core/DbxRecord.cpp ~~ const uint64_t start = uint64_t(dataStart) + (word >> 8); ~~ const uint64_t start = uint64_t(dataStart) + (word >> 8) + 1; ~~ ^(oe_|cli_Dbx)
dbx-node-loop-unguarded ~~ modules/oe/core/DbxIndexTree.cpp ~~ if (!m_visited.insert(offset).second) throw ~~ if (!m_visited.insert(offset).second && false) throw ~~ ^(oe_|cli_Dbx)
dbx-message-root-wrong-offset ~~ modules/oe/core/DbxHeader.h ~~ DBX_HEADER_MESSAGE_ROOT = 0xE4; ~~ DBX_HEADER_MESSAGE_ROOT = 0xE8; ~~ ^(oe_|cli_Dbx)
dbx-text-next-wrong-offset ~~ modules/oe/core/DbxMessageText.cpp ~~ constexpr uint32_t BLOCK_NEXT = 0x0C; ~~ constexpr uint32_t BLOCK_NEXT = 0x10; ~~ ^(oe_|cli_Dbx)
dbx-chunk-digest-wrong-offset ~~ modules/oe/core/DbxChunkRecord.cpp ~~ constexpr size_t REC_DIGEST = 8; ~~ constexpr size_t REC_DIGEST = 12; ~~ ^(oe_|cli_Dbx)
dbx-folder-root-wrong-offset ~~ modules/oe/core/DbxHeader.h ~~ DBX_HEADER_FOLDER_ROOT = 0xEC; ~~ DBX_HEADER_FOLDER_ROOT = 0xF0; ~~ ^(oe_|cli_Dbx)
dbx-row-sender-wrong-index ~~ modules/oe/core/DbxMessageRow.cpp ~~ row.from = TextOf(record, DBX_MESSAGE_SENDER_ADDRESS); ~~ row.from = TextOf(record, DBX_MESSAGE_RECEIVER_ADDRESS); ~~ ^(oe_|cli_Dbx)
dbx-eml-line-ends-kept ~~ modules/oe/core/EmlExport.cpp ~~ const std::string bytes = EmlLineEnds(text); ~~ const std::string bytes(text); ~~ ^(oe_|cli_Dbx)
dbx-viewer-header-click-ignored ~~ modules/oe/ui/DbxBrowserDlg.cpp ~~ connect(m_list->header(), &QHeaderView::sectionClicked, this, &CDbxBrowserDlg::ClickColumn); ~~ (void)0; ~~ ^oe_OeJobTreeTest
TABLE
)

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_BUILD_BENCH=OFF \
          ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null || exit 1
fi
# A mutant that makes a test hang fails it at this time-out (the build folder keeps it).
cmake -S . -B "$build" -DTAV_TEST_TIMEOUT="${MUT_TIMEOUT:-180}" >/dev/null || exit 1
echo "mutate: building the unchanged tree in $build" >&2
cmake --build "$build" -j "${JOBS:-2}" >/dev/null || { echo "mutate: the unchanged tree does not build" >&2; exit 1; }
targets=$(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_]*\): phony$/\1/p')

saved=""
restore() {
    if [ -n "$saved" ]; then
        cp "$saved" "$current"  # a fresh time stamp, so the next build compiles it again
        rm -f "$saved"
        saved=""
    fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

out="$build/mutations.txt"
: >"$out"
printf '%-32s %s\n' mutation "caught by" | tee -a "$out"
caught=0
total=0
while IFS= read -r line; do
    [ -z "$line" ] && continue
    name=$(awk -F' ~~ ' '{print $1}' <<<"$line")
    [[ "$name" =~ $only ]] || continue
    current=$(awk -F' ~~ ' '{print $2}' <<<"$line")
    tests=$(awk -F' ~~ ' '{print $5}' <<<"$line")
    total=$((total + 1))
    saved=$(mktemp)
    cp -p "$current" "$saved"
    if ! MUT_LINE="$line" python3 - "$current" <<'PY'
import os, sys
_, _, old, new, _ = os.environ["MUT_LINE"].split(" ~~ ")
text = open(sys.argv[1]).read()
if text.count(old) != 1:
    sys.exit(1)
open(sys.argv[1], "w").write(text.replace(old, new))
PY
    then
        rm -f "$saved"; saved=""
        printf '%-32s %s\n' "$name" "ANCHOR NOT FOUND ONCE in $current" | tee -a "$out"
        continue
    fi
    names=$(ctest --test-dir "$build" -N -R "$tests" | sed -n 's/^ *Test *#[0-9]*: //p')
    build_targets=$(comm -12 <(tr ' ' '\n' <<<"$names" | sort -u) <(sort -u <<<"$targets") | tr '\n' ' ')
    grep -q '^cli_' <<<"$names" && build_targets="$build_targets tavctl"
    if ! cmake --build "$build" -j "${JOBS:-2}" --target $build_targets >"$build/mutant-build.log" 2>&1; then
        result="DOES NOT BUILD"
    else
        log="$build/mutant-test.log"
        if ctest --test-dir "$build" -R "$tests" -j "${JOBS:-2}" --timeout "${MUT_TIMEOUT:-180}" >"$log" 2>&1; then
            result="NOT CAUGHT"
        else
            failed=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" | head -4 | tr '\n' ' ')
            result="${failed:-caught (see $log)}"
            caught=$((caught + 1))
        fi
    fi
    printf '%-32s %s\n' "$name" "$result" | tee -a "$out"
    restore
done <<<"$MUTATIONS"
# The last mutant's objects are rebuilt from the restored sources.
cmake --build "$build" -j "${JOBS:-2}" >/dev/null 2>&1
echo "caught $caught of $total" | tee -a "$out"
