// COeSettingsImport: decoding, identifier rewriting and the scope check of a settings export.
#include "core/OeSettingsImport.h"

#include <memory>
#include <vector>

#include "core/OeStrings.h"
#include "core/OeTexts.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/RegFile.h"
#include "platform/RegText.h"
#include "platform/TextFormat.h"
#include "platform/Utf8.h"

namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_BOM = "\xFF\xFE";
// The key names below "Identities\<id>" that an identity's Outlook Express key has.
constexpr const char* OE_KEY_NAMES[] = {"Software", "Microsoft", "Outlook Express"};
constexpr size_t READ_CHUNK = 65536;

bool ReadSmallFile(const std::string& path, std::string& out, std::string& error) {
    std::unique_ptr<plat::CFile> file =
        plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) {
        error = oetext::REASON_READ;
        return false;
    }
    const int64_t size = file->Size();
    if (size < 0) {
        error = oetext::REASON_READ;
        return false;
    }
    if (uint64_t(size) > plat::REG_FILE_MAX_SIZE) {
        error = oetext::REASON_TOO_LARGE;
        return false;
    }
    out.clear();
    std::vector<char> buffer(READ_CHUNK);
    for (;;) {
        const int64_t n = file->Read(buffer.data(), buffer.size());
        if (n < 0) {
            error = oetext::REASON_READ;
            return false;
        }
        if (n == 0) break;
        out.append(buffer.data(), size_t(n));
        if (out.size() > plat::REG_FILE_MAX_SIZE) {
            error = oetext::REASON_TOO_LARGE;
            return false;
        }
    }
    return true;
}

}  // namespace

std::string COeSettingsImport::DecodeText(std::string_view bytes) {
    if (bytes.substr(0, UTF16LE_BOM.size()) == UTF16LE_BOM) {
        bytes.remove_prefix(UTF16LE_BOM.size());
        return plat::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                   false);
    }
    if (bytes.substr(0, UTF8_BOM.size()) == UTF8_BOM) bytes.remove_prefix(UTF8_BOM.size());
    return plat::Utf8OrCp1252ToUtf8(bytes);
}

std::string COeSettingsImport::ReplaceNoCase(std::string_view text, std::string_view from,
                                             std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        if (OeStartsWithNoCase(text.substr(at), from)) {
            out += to;
            at += from.size();
        } else {
            out += text[at++];
        }
    }
    return out;
}

std::string COeSettingsImport::CheckScope(std::string_view text, const std::string& identifier) {
    plat::RegFileDocument doc;
    std::string error;
    if (!plat::ParseRegFile(text, "settings", doc, error)) return error;
    for (const plat::RegFileSection& section : doc.sections) {
        bool inside = !section.remove && section.root == plat::HKEY_CURRENT_USER &&
                      section.names.size() >= 2 + std::size(OE_KEY_NAMES) &&
                      OeEqualsNoCase(section.names[0], oetext::IDENTITIES_KEY) &&
                      OeEqualsNoCase(section.names[1], identifier);
        for (size_t i = 0; inside && i < std::size(OE_KEY_NAMES); ++i)
            inside = OeEqualsNoCase(section.names[2 + i], OE_KEY_NAMES[i]);
        if (!inside) return plat::Format("line %u: %s", section.line, oetext::REASON_SCOPE);
    }
    return {};
}

bool COeSettingsImport::Prepare(const std::string& source, const std::string& output,
                                const std::string& identifier, const std::string& target,
                                std::string& error) {
    std::string bytes;
    if (!ReadSmallFile(source, bytes, error)) return false;
    std::string text = DecodeText(bytes);
    if (!OeEqualsNoCase(identifier, target)) text = ReplaceNoCase(text, identifier, target);
    error = CheckScope(text, target);
    if (!error.empty()) return false;

    std::unique_ptr<plat::CFile> out =
        plat::CFile::Open(output, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
    if (!out || !out->Write(text.data(), text.size())) {
        out.reset();
        plat::RemoveFile(output);
        error = oetext::REASON_WRITE;
        return false;
    }
    return true;
}
