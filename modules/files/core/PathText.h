// Path texts of the Files and Folders engine: joining and printable forms.
#pragma once
#include <string>
#include <string_view>

namespace filespath {

// `folder` (absolute, without a trailing '/' unless it is "/") joined with an entry name.
std::string Join(const std::string& folder, const std::string& name);
// `path` without trailing '/' (a lone "/" stays).
std::string TrimSlashes(std::string path);
// The text with every byte that is not part of well-formed UTF-8 written as "\xNN", for logs.
std::string Printable(std::string_view text);

}  // namespace filespath
