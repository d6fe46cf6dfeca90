// CTavEngine: base class of the module engines, their shared helpers and the run's repository.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tavengine/TavEngineExport.h"

class CTavEngineObserver;
class CTavJobHelper;
class CTavRepository;
class CTavRepBaselineDetails;
struct TavNodeRec;
struct TavFindData;

// Engine states (GetEngineState).
constexpr uint32_t TAV_ENGINE_RUNNING = 0;
constexpr uint32_t TAV_ENGINE_FINISHED = 1;
constexpr uint32_t TAV_ENGINE_CANCELLED = 2;
constexpr uint32_t TAV_ENGINE_FAILED = 3;

// The work of a backup run: files (with links) and their bytes.
struct TavRunWork {
    uint64_t files = 0;
    uint64_t bytes = 0;
};

// Engines are made by a module's create-engine procedure and released with Dispose (which
// runs the module's own destructor). One engine runs one operation at a time, on the
// caller's thread; only CancelOperation may be called from elsewhere.
class TAVENGINE_API CTavEngine {
public:
    CTavEngine();
    virtual ~CTavEngine();
    CTavEngine(const CTavEngine&) = delete;
    CTavEngine& operator=(const CTavEngine&) = delete;
    virtual void Dispose();

    // Backs up the engine's module part of the job (XML text with root "tavjob") into the
    // open repository (inside its transaction) and the working baseline. Non-zero when the
    // run finished; the state tells finished, cancelled or failed.
    virtual int32_t Backup(const std::string& jobXml, CTavRepository* repository,
                           CTavRepBaselineDetails* baseline) = 0;
    // Restores what the request (XML text with root "tav-restore") names.
    virtual int32_t Restore(const std::string& requestXml, CTavRepository* repository) = 0;
    virtual void CancelOperation() = 0;
    // Hooks around a restore; the base answers 1.
    virtual int32_t PreRestoreProcess(const std::string& requestXml, CTavRepository* repository);
    virtual int32_t PostRestoreProcess(const std::string& requestXml, CTavRepository* repository);
    // Asked by CheckSum between chunks: 0 stops the check. The base answers 1.
    virtual int32_t ContinueChecksum();

    uint32_t GetEngineState() const { return m_state; }
    // Exceptions that reached this engine's boundary (thrown by the module's own code, the
    // repository or an observer) and were turned into logged errors of the run.
    uint32_t GetThrownCount() const { return m_thrown; }
    // Attaches the observer that hears this engine (null detaches); not owned.
    void SubscribeNotify(CTavEngineObserver* observer) { m_observer = observer; }
    CTavEngineObserver* GetObserver() const { return m_observer; }

    // The work of the running backup, for a progress display whose time left is right from
    // the start. An engine that can (the Files and Folders engine) works out what it will
    // store before it stores anything; HasWorkTotal is false for an engine that does not.
    // Read them in the observer's progress call: "done" includes the part of the current
    // file stored so far.
    bool HasWorkTotal() const { return m_hasWorkTotal; }
    // True while the engine counts; GetWorkTotal then gives what it has counted so far.
    bool IsCountingWork() const { return m_countingWork; }
    const TavRunWork& GetWorkTotal() const { return m_workTotal; }
    const TavRunWork& GetWorkDone() const { return m_workDone; }

    // --- helpers shared by the engines ---

    // Non-zero when the item on disk must be stored again (backup word) or the existing file
    // overwritten (restore word, marker 0x20000000). Backup: a full run (type 0x1000) reports
    // every item changed; otherwise the size (0x0001), the written time (0x0004), the archive
    // attribute (unless 0x0100) and the kind (folder, link or file) are compared with the
    // node. Restore: the sizes differ (0x0001) or the existing file is older (0x0004).
    static int CheckUpToDate(const TavNodeRec& node, const TavFindData& found, uint32_t word);
    // Whether a new item is added under the word's new-file mode: 0x10 always, 0x20 never,
    // 0x30 (and 0, which the condition dialog shows as 0x30) when `allSelected` is 1.
    static int CheckShouldBeAdded(const std::string& fullPath, int allSelected, uint32_t word);
    // Non-zero when `name` matches one of the ";"-separated wildcard patterns ("*" any run of
    // characters, "?" one character, letter case ignored, "*.*" matches every name).
    static int FileMatchFilters(std::string_view name, std::string_view patterns);
    // Splits an absolute path into its folder (with a trailing '/') and a pattern: "*.*" for
    // a folder (an existing directory, or a path ending with '/'), else the file's name.
    // Duplicate '/' and "." parts are dropped. 0 for a path that is not valid: empty, not
    // absolute, holding a NUL or a ".." part, or longer than 4095 bytes.
    static int NormalizePath(const std::string& path, std::string& folder, std::string& pattern);
    // Makes the folder into which an item is restored the current directory, creating it and
    // its parents when missing: `itemPath` itself when `base` is empty, else `itemPath` placed
    // below `base` (an absolute item path loses its leading '/'). 0 on failure, and for an
    // item path with a ".." part, which could leave the base.
    static int SetDirectory(const std::string& base, const std::string& itemPath);
    // Makes an existing folder the current directory without creating anything; ".." is
    // allowed (the walks' way back up). For paths the engine made itself, not stored names.
    static int EnterDirectory(const std::string& path);
    // Non-zero when the fingerprint of the file read chunk by chunk (the MD5 state after all
    // complete 64-byte blocks) equals `fingerprint`; 0 when it differs, when the file cannot
    // be read, or when ContinueChecksum asks to stop.
    int CheckSum(const std::string& path, uint32_t chunkSize, const uint32_t fingerprint[4]);

    // --- the repository of a backup run ---

    // Creates or attaches the repository that the job's image description names (or the
    // image file `path` when given). A missing repository is created and the run writes into
    // its first image; an existing one is attached and the run writes into a fresh image file
    // (so that a rollback removes only what the run wrote). While the result lives, other
    // backup runs on the same repository are kept out. Null on failure, with the reason in
    // GetRepError(). Release the result with DisposeRep.
    static CTavRepository* CreateRepForBackup(CTavJobHelper* job, const std::string& path = {});
    // Releases a repository from CreateRepForBackup (any open transaction is rolled back, and
    // a fresh image that no committed baseline uses is removed).
    static void DisposeRep(CTavRepository* repository);
    // Why the last CreateRepForBackup of this thread failed (empty after a success).
    static const std::string& GetRepError();
    // Run-log lines about what the last successful CreateRepForBackup of this thread cleaned
    // up before the run (leftovers of runs that did not finish, with their image and bytes).
    static const std::vector<std::string>& GetRepNotes();
    // The name of the lock that a backup run holds on the repository whose first image is
    // `firstImage` (an absolute path) for its whole life; repairs take it too.
    static std::string GetRunLockName(const std::string& firstImage);

protected:
    void SetEngineState(uint32_t state) { m_state = state; }
    // Inside a catch handler at the engine's boundary: the exception now handled, whatever its
    // kind, becomes one error of the run: counted (GetThrownCount) and logged with WriteLog
    // through `format`, which holds one "%s" for its text. Returns the text. Never throws.
    std::string LogThrown(const char* format);
    // Writes text to the run log; the base hands it to the observer. Engines that keep track
    // of their log's line ends override it.
    virtual void WriteLog(const std::string& text);
    // Notifications to the observer; what it throws stays on this side of the engine, as an
    // error of the run (counted, and told to the observer's log).
    void FireOnStart();
    void FireOnProgress(const std::string& title, const std::string& item, uint32_t percent);
    void FireOnLogNotify(const std::string& text);
    void FireOnFinish();
    void FireOnCancelled();
    void FireOnItemError(const std::string& item, const std::string& reason);
    // Counting starts (the total grows with SetWorkCounted), then ends with the total.
    void BeginWorkCount() {
        ClearWork();
        m_countingWork = true;
    }
    void SetWorkCounted(const TavRunWork& sofar) { m_workTotal = sofar; }
    void SetWorkTotal(const TavRunWork& total) {
        m_workTotal = total;
        m_hasWorkTotal = true;
        m_countingWork = false;
    }
    void SetWorkDone(const TavRunWork& done) { m_workDone = done; }
    void ClearWork() {
        m_workTotal = m_workDone = TavRunWork{};
        m_hasWorkTotal = m_countingWork = false;
    }

private:
    TavRunWork m_workTotal, m_workDone;
    bool m_hasWorkTotal = false;
    bool m_countingWork = false;
    // Calls the observer; what it throws is counted and, once, logged (see TavEngine.cpp).
    template <typename Call>
    void Notify(Call call);

    uint32_t m_state = TAV_ENGINE_RUNNING;
    CTavEngineObserver* m_observer = nullptr;
    uint32_t m_thrown = 0;
    bool m_inObserverFault = false;
};

// The default excluded paths: system folders that hold no user data (/proc, /sys, /dev,
// /run, /tmp, ...) and the user's cache and trash, each followed by ";".
TAVENGINE_API std::string GetDefaultExcludedPaths();
// The same into a buffer: with a null buffer, the length of the list; otherwise copies at
// most `length` - 1 bytes and a terminator and returns the number of bytes copied.
TAVENGINE_API uint32_t GetDefaultExcludedPaths(char* buffer, uint32_t length);
