// Expanding %VARIABLE% references in settings texts (the "Store Root" value, for one).
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

using VariableLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Replaces each "%NAME%" whose NAME `lookup` knows by its value. A reference to an
// unknown name, an empty "%%" and a lone '%' stay as they are; scanning goes on after
// the reference's closing '%'. Expanded values are not expanded again.
std::string ExpandVariables(std::string_view text, const VariableLookup& lookup);

// ExpandVariables over the process environment. Names are looked up exactly first,
// then without regard to case (Windows texts write "%UserProfile%" for USERPROFILE).
std::string ExpandEnvironmentStrings(std::string_view text);

}  // namespace plat
