// The restore request's template and names, shared by every program that restores.
#pragma once

namespace tavctl::restoretext {

// The restore request every restore starts from (as the browser fills it in).
constexpr const char* REQUEST_TEMPLATE =
    "<?xml version='1.0' encoding='UTF-8'?><tav-restore>\t<restore baseline='#00000001' "
    "command='#00010008' location=''/>\t<excluded/></tav-restore>";
constexpr const char* XML_ROOT = "tav-restore";
constexpr const char* XML_RESTORE = "restore";
constexpr const char* XML_EXCLUDED = "excluded";
constexpr const char* XML_NODE = "node";
constexpr const char* XML_ID = "id";
constexpr const char* XML_BASELINE = "baseline";
constexpr const char* XML_COMMAND = "command";
constexpr const char* XML_LOCATION = "location";

}  // namespace tavctl::restoretext
