// CJsonObject: one JSON object written field by field, for the --json output of tavctl.
// Texts are escaped as JSON requires; bytes that are not valid UTF-8 (a file name from an
// old disk) become U+FFFD, so the document always parses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tavctl {

// `text` as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& text);
// `items` (each already JSON) as a JSON array.
std::string JsonArray(const std::vector<std::string>& items);

class CJsonObject {
public:
    CJsonObject& Str(const std::string& key, const std::string& value) {
        return Raw(key, JsonQuote(value));
    }
    CJsonObject& Num(const std::string& key, uint64_t value) { return Raw(key, std::to_string(value)); }
    CJsonObject& Int(const std::string& key, int64_t value) { return Raw(key, std::to_string(value)); }
    CJsonObject& Bool(const std::string& key, bool value) { return Raw(key, value ? "true" : "false"); }
    CJsonObject& Null(const std::string& key) { return Raw(key, "null"); }
    // A value that is JSON already (an object or an array).
    CJsonObject& Raw(const std::string& key, const std::string& json);
    std::string Text() const { return "{" + m_body + "}"; }

private:
    std::string m_body;
};

}  // namespace tavctl
