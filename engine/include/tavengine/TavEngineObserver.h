// CTavEngineObserver: what a program hears of a running engine, and the run log it writes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "tavengine/TavEngineExport.h"

class CTavEngine;
class CTavJobHelper;

// Programs derive from this class and subscribe it to each engine of a run. The program owns
// it and keeps it alive while it is subscribed.
//
// Run logs live in the folder "<job path>.<job id as %08X>.log/" beside the job. Each run
// writes one file named "<start time>.<command word>.log", both as eight upper-case
// hexadecimal digits (seconds since 1970, then the command word); a second run started in the
// same second with the same word gets "-2", "-3", ... before ".log".
class TAVENGINE_API CTavEngineObserver {
public:
    CTavEngineObserver();
    virtual ~CTavEngineObserver();
    CTavEngineObserver(const CTavEngineObserver&) = delete;
    CTavEngineObserver& operator=(const CTavEngineObserver&) = delete;

    // Called on the engine's thread. The base versions: progress, start and cancel do
    // nothing; finish writes the closing separator to the run log; log texts go to the log.
    virtual void OnTavEngineProgress(CTavEngine* engine, const std::string& title,
                                     const std::string& item, uint32_t percent);
    virtual void OnTavEngineStart(CTavEngine* engine);
    virtual void OnTavEngineFinish(CTavEngine* engine);
    virtual void OnTavEngineCancelled(CTavEngine* engine);
    virtual void OnTavEngineLogNotify(CTavEngine* engine, const std::string& text);
    // An item of the run could not be stored: `item` names it (a path, an identity) and
    // `reason` says why. The engine has logged it and counted it among its items in error;
    // this call lets a program list them. The base does nothing.
    virtual void OnTavEngineItemError(CTavEngine* engine, const std::string& item,
                                      const std::string& reason);
    // Destroys a heap-allocated observer.
    virtual void Dispose();

    // Starts the run log of the job: the job's command word and the current time name it.
    // 1, or 0 when the job has no path or the folder or file cannot be made.
    int TavInitLog(const CTavJobHelper& job);
    // The same with a given command word and start time.
    int TavInitLog(const CTavJobHelper& job, uint32_t command, uint32_t startSeconds);
    // Appends UTF-8 text to the run log; 1, or 0 without a log or when it cannot be written.
    int TavWriteLog(std::string_view text);
    // The run log's path; empty before TavInitLog.
    const std::string& GetLogPath() const { return m_logPath; }

    // The job's log folder (without a trailing '/'); empty for a job without a path.
    static std::string GetLogFolder(const CTavJobHelper& job);
    // Reads a log file name: the start time from characters 0-7 and the command word from
    // characters 9-16 (hexadecimal). False when either is not eight hexadecimal digits.
    static bool ParseLogFileName(std::string_view name, uint32_t& startSeconds, uint32_t& command);
    // "\r\n", 77 hyphens and "\r\n": the line that closes each engine's part of a log.
    static std::string LogSeparator();

protected:
    std::string m_logPath;
};
