// CTavJobHelper: the job document (".tvj", root "tavjob") and its observer CTavJobObserver.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "tavengine/TavEngineExport.h"
#include "tavengine/TavWords.h"
#include "tavengine/XMLNode.h"

class CTavJobHelper;

// Told of every change of a job (the job editor's modified flag follows it).
class TAVENGINE_API CTavJobObserver {
public:
    virtual ~CTavJobObserver();
    // `flag` is 1 for a change.
    virtual void OnTavJobChanged(CTavJobHelper* job, int32_t flag) = 0;
};

// The job document. The layout of the file is described in docs/job-format.md; elements and
// attributes that this release does not know are kept as they are and saved again.
// Not thread-safe. Release with Dispose (or delete).
class TAVENGINE_API CTavJobHelper {
public:
    // A new job: the default image description, command word and a fresh job id.
    CTavJobHelper();
    virtual ~CTavJobHelper();
    CTavJobHelper(const CTavJobHelper&) = delete;
    CTavJobHelper& operator=(const CTavJobHelper&) = delete;
    virtual void Dispose();

    // --- file ---
    // Loads a job file; 1, or 0 with GetErrorText() naming the file and the problem (the
    // job is then unchanged). Never crashes or hangs on arbitrary bytes.
    int Load(const std::string& path);
    // Takes a job from its XML text (as engines receive it); the path stays empty.
    int LoadXml(std::string_view text);
    // Writes the job (atomically: a temporary file renamed over the old one); an empty
    // `path` means the job's own path. 1, or 0 with GetErrorText().
    int Save(const std::string& path = {});
    // The job's file path, absolute; empty for a job that was never loaded or saved.
    const std::string& GetPath() const { return m_path; }
    const std::string& GetErrorText() const { return m_error; }
    // The whole document as XML text.
    std::string GetXmlString() const;
    XMLNode GetRoot() const { return m_root; }

    // --- observer ---
    void SetObserver(CTavJobObserver* observer) { m_observer = observer; }
    CTavJobObserver* GetObserver() const { return m_observer; }
    // Tells the observer (module helpers call this after changing their node).
    void NotifyChange(int32_t flag = 1);

    // --- identity ---
    // A 32-bit id that names the job's log folder and scheduled tasks; it is stored in the
    // file and so stays the same across saves. A file without one gets an id derived from
    // its path (the same on every load) that the next save writes.
    uint32_t GetJobID() const { return m_jobId; }

    // --- backup nodes (one per module, attribute "module") ---
    int GetBackupNodeCount() const;
    // The next backup node in document order, starting from iterator 0; empty at the end.
    XMLNode GetBackupNode(int& iterator) const;
    // The backup node of a module (module names ignore letter case); empty when none.
    XMLNode GetBackupNode(const std::string& moduleName) const;
    // Adds a backup node for a module (before `before` when given, else at the end) and
    // notifies; returns the module's existing node when it has one already.
    XMLNode AddBackupNode(const std::string& title, const std::string& moduleName,
                          uint32_t flags = 0, const XMLNode& before = XMLNode());

    // --- descriptions ---
    // An attribute of the job description: "title" (for a job without a title, the file
    // name of the job without its extension), or any other attribute kept there.
    std::string GetJobDesc(const std::string& attribute) const;
    void SetJobDesc(const std::string& attribute, const std::string& value);
    // An attribute of the image description: "name", "location", "splitsize" (the default
    // "2.00 GB" when absent), or "encoding" as its XML number text.
    std::string GetImageDesc(const std::string& attribute) const;
    void SetImageDesc(const std::string& name, const std::string& splitSize, uint32_t encoding,
                      const std::string& location);
    uint32_t GetImageEncoding() const;  // TAV_DEFAULT_ENCODING when absent or unreadable
    uint32_t GetBackupCommand() const;  // TAV_DEFAULT_BACKUP_COMMAND when absent or unreadable
    void SetBackupCommand(uint32_t command);
    std::string GetRepDescription() const;
    void SetRepDescription(const std::string& description);

    // --- image files ---
    // The image "name" with ".tvr" added unless it ends with it (letter case ignored).
    std::string GetImageFileName() const;
    // Whether `name` can be an image's file name in the job's image folder: not empty, no
    // '/', not "." or "..", no NUL. A job whose image name is not is refused by Load.
    static bool IsImageFileName(const std::string& name);
    // The path of the repository's first image: "location", a '/' when needed, the image file
    // name. Empty when the job has no location or no name.
    std::string GetImagePath() const;
    // The image path text by which the programs show a run and find each other's windows
    // ("TavCmdHost Backup: %s"): "location", a '/' when needed, and the image "name" as the
    // job spells it. Every program uses this one text, so that they always agree.
    std::string GetImagePathText() const;
    // The path of image part `part` ("0003", or a pattern such as "????"): the first image's
    // path with "." + part put before the extension; the first image's path for an empty part.
    std::string FormatImagePath(const std::string& part) const;
    // Finds the image file of the job's repository with the highest image number: its path
    // in `path` and its number as the result; 0xFFFFFFFF (and an empty path) when there is none.
    uint32_t FindLastImagePath(std::string& path) const;

    // Command word helpers (also free functions in TavWords.h).
    static uint32_t SetTavCmd(uint32_t word, uint32_t command) {
        return ::SetTavCmd(word, command);
    }
    static uint32_t SetBkType(uint32_t word, uint32_t type) { return ::SetBkType(word, type); }
    static std::string GetBackupTypeName(uint32_t word) { return ::GetBackupTypeName(word); }

private:
    XMLNode Section(const std::string& name) const;
    XMLNode MakeSection(const std::string& name);
    void AdoptDocument(const XMLNode& root, const std::string& path);

    XMLNode m_root;
    std::string m_path;
    std::string m_error;
    uint32_t m_jobId = 0;
    CTavJobObserver* m_observer = nullptr;
};
