#include "EditorSettings.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "platform/Registry.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"

namespace editor {

namespace {
constexpr const char* SETTINGS_KEY = "Software\\Norvik\\Tavora";
constexpr const char* RECENT_KEY =
    "Software\\Local AppWizard-Generated Applications\\Tavora\\Recent File List";

std::string ReadOrWrite(plat::CRegistry& key, const char* name, const std::string& fallback) {
    std::string value;
    if (key.ReadString(name, value)) return value;
    key.WriteString(name, fallback);
    return fallback;
}

uint32_t ReadOrWrite(plat::CRegistry& key, const char* name, uint32_t fallback) {
    uint32_t value = 0;
    if (key.ReadNumber(name, value)) return value;
    key.WriteNumber(name, fallback);
    return fallback;
}
}  // namespace

namespace {
// The zstd level behind each name of the level list ("Default" is zstd's own default, 3).
constexpr int32_t ZSTD_LEVELS[] = {-1, 1, 2, 5, 9, 19};
}  // namespace

EncodingChoice DecodeEncoding(uint32_t word) {
    EncodingChoice choice;
    choice.encrypt = ((word >> 4) & 0xF) == 1;
    const uint32_t low = word & TAV_ENC_LEVEL_MASK;
    choice.compress = low != 0;
    choice.level = low > 9 ? 0 : int((word >> 1) & 7) + 1;
    choice.zstd = EncodingUsesZstd(word);
    if (choice.zstd) {
        const int32_t level = EncodingZstdLevel(word);
        choice.level = 0;
        for (int i = 1; i < int(std::size(ZSTD_LEVELS)); ++i)
            if (ZSTD_LEVELS[i] == level) choice.level = i;
    }
    return choice;
}

uint32_t EncodeEncoding(const EncodingChoice& choice) {
    uint32_t word = choice.encrypt ? TAV_ENC_AES : 0;
    if (choice.compress) {
        const int level = std::clamp(choice.level, 0, 5);
        if (choice.zstd) return ZstdEncoding(ZSTD_LEVELS[level], choice.encrypt);
        word |= level == 0 ? TAV_ENC_DEFAULT_LEVEL : uint32_t(2 * level - 1);
    }
    return word;
}

const std::vector<std::string>& CompressionMethodNames() {
    static const std::vector<std::string> names = {"Deflate", "Zstd"};
    return names;
}

const std::vector<std::string>& CompressionLevelNames() {
    static const std::vector<std::string> names = {"Default", "Fastest", "Fast",
                                                   "Normal",  "Good",    "Best"};
    return names;
}

const std::vector<std::string>& SplitSizeChoices() {
    static const std::vector<std::string> sizes = {"2 GB", "1 GB", "700 MB", "650 MB", "1.44 MB"};
    return sizes;
}

BackupConditions ReadConditions(uint32_t command) {
    BackupConditions boxes;
    const uint32_t newFiles = command & TAV_COND_NEWFILE_MASK;
    boxes.ignoreNewFiles = newFiles == TAV_COND_NEWFILE_IGNORE;
    boxes.alwaysAddNewFiles = newFiles == TAV_COND_NEWFILE_ALWAYS;
    boxes.updateOnDate = (command & TAV_COND_DATE) != 0;
    boxes.updateOnSize = (command & TAV_COND_SIZE) != 0;
    boxes.noArchiveCheck = (command & TAV_COND_NO_ARCHIVE) != 0;
    return boxes;
}

uint32_t ApplyConditions(uint32_t command, const BackupConditions& boxes) {
    command &= ~TAV_COND_EDITABLE;
    if (boxes.ignoreNewFiles)
        command |= TAV_COND_NEWFILE_IGNORE;
    else
        command |= boxes.alwaysAddNewFiles ? TAV_COND_NEWFILE_ALWAYS : TAV_COND_NEWFILE_ALLSELECTED;
    if (boxes.updateOnDate) command |= TAV_COND_DATE;
    if (boxes.updateOnSize) command |= TAV_COND_SIZE;
    if (boxes.noArchiveCheck) command |= TAV_COND_NO_ARCHIVE;
    return command;
}

bool LoadImageDefaults(const std::string& documentsFolder, ImageDefaults& out) {
    out = ImageDefaults();
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_LOCAL_MACHINE, SETTINGS_KEY, true)) return false;
    out.location = ReadOrWrite(key, "ImageLocation", documentsFolder);
    out.encoding = ReadOrWrite(key, "Encoding", TAV_DEFAULT_ENCODING);
    out.splitSize = ReadOrWrite(key, "ImageSplitSize", std::string("2.00 GB"));
    return true;
}

bool SaveImageDefaults(const ImageDefaults& values) {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_LOCAL_MACHINE, SETTINGS_KEY, true)) return false;
    return key.WriteString("ImageLocation", values.location) &&
           key.WriteString("ImageSplitSize", values.splitSize) &&
           key.WriteNumber("Encoding", values.encoding);
}

bool ApplyNewJobDefaults(CTavJobHelper& job, const std::string& documentsFolder) {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_LOCAL_MACHINE, SETTINGS_KEY, true)) return false;
    uint32_t counter = ReadOrWrite(key, "Image", 0u);
    const std::string location = ReadOrWrite(key, "ImageLocation", documentsFolder);
    const uint32_t encoding = ReadOrWrite(key, "Encoding", TAV_DEFAULT_ENCODING);
    const std::string splitSize = ReadOrWrite(key, "ImageSplitSize", std::string("2.00 GB"));
    char name[32];
    std::snprintf(name, sizeof(name), "Image%03lu", static_cast<unsigned long>(counter % 1000));
    job.SetImageDesc(name, splitSize, encoding, location);
    counter = counter >= 999 ? 0 : counter + 1;
    key.WriteNumber("Image", counter);
    return true;
}

void CRecentFiles::Load() {
    m_files.clear();
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, RECENT_KEY, false)) return;
    for (size_t i = 1; i <= MAX_FILES; ++i) {
        std::string path;
        if (key.ReadString("File" + std::to_string(i), path) && !path.empty() &&
            std::find(m_files.begin(), m_files.end(), path) == m_files.end())
            m_files.push_back(path);
    }
}

void CRecentFiles::Add(const std::string& path) {
    if (path.empty()) return;
    Remove(path);
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > MAX_FILES) m_files.resize(MAX_FILES);
    Store();
}

void CRecentFiles::Remove(const std::string& path) {
    const auto it = std::find(m_files.begin(), m_files.end(), path);
    if (it == m_files.end()) return;
    m_files.erase(it);
    Store();
}

void CRecentFiles::Store() const {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, RECENT_KEY, true)) return;
    for (size_t i = 0; i < MAX_FILES; ++i) {
        const std::string name = "File" + std::to_string(i + 1);
        if (i < m_files.size())
            key.WriteString(name, m_files[i]);
        else
            key.DeleteValue(name);
    }
}

}  // namespace editor

namespace editor {
std::vector<std::string> BrowserArguments(const std::string& lastImagePath, bool restore) {
    if (lastImagePath.empty()) return {"/OPENDLG"};
    if (restore) return {"/RESTOREDLG", lastImagePath};
    return {lastImagePath};
}

std::string BrowserWindowTitle(const std::string& imagePath) { return "TvrBrowser - " + imagePath; }
}  // namespace editor
