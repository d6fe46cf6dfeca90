// Export of one message of a message store to an ".eml" file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class DbxInput;

// The text with CR LF line ends: a lone LF becomes CR LF, a CR LF stays as it is (never
// doubled), and a CR that no LF follows is kept as it stands, so that no byte of the
// stored message is lost. Other bytes (NULs and 8-bit bytes included) are copied.
std::string EmlLineEnds(std::string_view text);

// Reads the text of the message whose record lies at `recordOffset`: false with `error`
// set when the record cannot be read, has no text position (index 0x04) or its text
// cannot be read. Never throws a DbxException.
bool ReadDbxMessageText(DbxInput& input, uint32_t recordOffset, std::string& text,
                        std::string& error);

// How an existing file is treated.
enum class EmlOverwrite {
    Refuse,   // fail with "the file exists already"
    Replace,  // replace it once the new file is completely written
};

// Writes `text` (converted by EmlLineEnds) to `path`. A new file is created exclusively,
// so two exports never write into one file; a replaced file is first written beside its
// target and then renamed over it, so a failed export leaves the old file as it was. A
// failed write removes what it wrote. False with `error` naming the file and the problem.
bool WriteEmlFile(const std::string& path, std::string_view text, EmlOverwrite overwrite,
                  std::string& error);

// ReadDbxMessageText followed by WriteEmlFile.
bool ExportDbxMessage(DbxInput& input, uint32_t recordOffset, const std::string& path,
                      EmlOverwrite overwrite, std::string& error);
