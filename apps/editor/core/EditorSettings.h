// The editor's plain rules: the encoding word as three controls, the backup condition
// boxes, a new job's defaults from the settings store, and the recent-file list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CTavJobHelper;

namespace editor {

// The encoding word as the "Data Encryption", "Data Compression" and "Compression Level"
// controls show it. level: 0 "Default", 1 "Fastest" to 5 "Best".
struct EncodingChoice {
    bool encrypt = true;
    bool compress = true;
    int level = 0;       // index into CompressionLevelNames()
    bool zstd = false;   // the method: zstd instead of deflate
};
EncodingChoice DecodeEncoding(uint32_t word);
uint32_t EncodeEncoding(const EncodingChoice& choice);
// The level names in list order.
const std::vector<std::string>& CompressionLevelNames();
// The method names in list order ("Deflate", "Zstd").
const std::vector<std::string>& CompressionMethodNames();
// The split sizes the lists offer.
const std::vector<std::string>& SplitSizeChoices();

// The backup condition boxes over the low bits of a backup command word.
struct BackupConditions {
    bool ignoreNewFiles = false;
    bool alwaysAddNewFiles = false;  // else: only when every file of the folder was selected
    bool updateOnDate = false;
    bool updateOnSize = false;
    bool noArchiveCheck = false;
};
BackupConditions ReadConditions(uint32_t command);
// Clears the bits the boxes own and sets them from the boxes.
uint32_t ApplyConditions(uint32_t command, const BackupConditions& boxes);

// The default image settings of new jobs (HKEY_LOCAL_MACHINE "Software\Norvik\Tavora").
struct ImageDefaults {
    std::string location;
    std::string splitSize = "2.00 GB";
    uint32_t encoding = 31;
};
// Reads the three values, writing each missing one with its default. False when the key
// cannot be opened (`out` then holds the defaults with an empty location).
bool LoadImageDefaults(const std::string& documentsFolder, ImageDefaults& out);
bool SaveImageDefaults(const ImageDefaults& values);
// Gives a new job the default image description with the next "Image%03ld" name (the
// counter "Image" goes back to 0 after 999). False when the key cannot be opened: the job
// then keeps the engine library's defaults.
bool ApplyNewJobDefaults(CTavJobHelper& job, const std::string& documentsFolder);

// The most recently used job files, newest first, at most four, kept in the user's store.
class CRecentFiles {
public:
    static constexpr size_t MAX_FILES = 4;
    void Load();
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Files() const { return m_files; }

private:
    void Store() const;
    std::vector<std::string> m_files;
};

}  // namespace editor

namespace editor {
// The suite's programs that the editor starts, beside it.
constexpr const char* BROWSER_PROGRAM = "TvrBrowser";
constexpr const char* HOST_PROGRAM = "TavCmdHost";
// The browser's arguments for "TVR Browse" (restore false) and "Restore": the job's last
// image file, or "/OPENDLG" when the job has none.
std::vector<std::string> BrowserArguments(const std::string& lastImagePath, bool restore);
// The title of the browser window that shows an image: "TvrBrowser - %s".
std::string BrowserWindowTitle(const std::string& imagePath);
}  // namespace editor
