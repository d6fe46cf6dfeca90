#include "core/EmlExport.h"

#include <memory>
#include <new>

#include "core/DbxException.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "core/DbxViewerText.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"

namespace {

// Temporary names beside a replaced file: ".NAME.tav~N".
constexpr const char* TEMP_PREFIX = ".";
constexpr const char* TEMP_SUFFIX = ".tav~";
constexpr int TEMP_ATTEMPTS = 100;

std::string Problem(const std::string& path, const char* what) { return path + ": " + what; }

// Creates `path` exclusively and writes `bytes` into it; the file is removed again when
// the write fails. Returns null on success, else the problem. A file that is to replace
// another is synced first, so that the rename never puts an empty file in the old one's
// place.
const char* WriteNew(const std::string& path, const std::string& bytes, bool sync) {
    uint32_t code = 0;
    std::unique_ptr<plat::CFile> file = plat::CFile::Open(path, plat::FileAccess::ReadWrite,
                                                          plat::FileDisposition::CreateNew, &code);
    if (!file)
        return code == plat::ERR_FILE_EXISTS || code == plat::ERR_ALREADY_EXISTS
                   ? dbxviewer::ERR_FILE_EXISTS
                   : dbxviewer::ERR_CANNOT_CREATE;
    if (!file->Write(bytes.data(), bytes.size()) || (sync && !file->Sync())) {
        file.reset();
        plat::RemoveFile(path);
        return dbxviewer::ERR_CANNOT_WRITE;
    }
    return nullptr;
}

}  // namespace

std::string EmlLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

bool ReadDbxMessageText(DbxInput& input, uint32_t recordOffset, std::string& text,
                        std::string& error) {
    try {
        const DbxMessageRecord record(input, recordOffset);
        const uint32_t start = record.Integer(DBX_MESSAGE_TEXT);
        if (start == 0) {
            error = dbxviewer::ERR_NO_MESSAGE_TEXT;
            return false;
        }
        const DbxMessageText message(input, start);
        text = message.Str();
        return true;
    } catch (const DbxException& e) {
        error = e.Describe();
    } catch (const std::bad_alloc&) {
        error = DBX_ERR_MEMORY;
    }
    return false;
}

bool WriteEmlFile(const std::string& path, std::string_view text, EmlOverwrite overwrite,
                  std::string& error) {
    const std::string bytes = EmlLineEnds(text);
    if (overwrite == EmlOverwrite::Refuse || !plat::PathExists(path)) {
        const char* problem = WriteNew(path, bytes, false);
        if (problem) error = Problem(path, problem);
        return problem == nullptr;
    }
    const std::string dir = plat::DirName(path);
    const std::string name = plat::BaseName(path);
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        const std::string temp = plat::JoinPath(
            dir.empty() ? "." : dir, TEMP_PREFIX + name + TEMP_SUFFIX + std::to_string(attempt));
        const char* problem = WriteNew(temp, bytes, true);
        if (problem == dbxviewer::ERR_FILE_EXISTS) continue;  // a leftover: try the next name
        if (problem) {
            error = Problem(path, problem);
            return false;
        }
        if (!plat::RenameFile(temp, path)) {
            plat::RemoveFile(temp);
            error = Problem(path, dbxviewer::ERR_CANNOT_REPLACE);
            return false;
        }
        return true;
    }
    error = Problem(path, dbxviewer::ERR_CANNOT_CREATE);
    return false;
}

bool ExportDbxMessage(DbxInput& input, uint32_t recordOffset, const std::string& path,
                      EmlOverwrite overwrite, std::string& error) {
    std::string text;
    if (!ReadDbxMessageText(input, recordOffset, text, error)) return false;
    return WriteEmlFile(path, text, overwrite, error);
}
