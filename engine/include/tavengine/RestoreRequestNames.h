// The element and attribute names of a restore request ("tav-restore"): the programs that
// write requests and the modules that read them share these.
#pragma once

namespace tavrequest {

constexpr const char* XML_ROOT = "tav-restore";
constexpr const char* XML_RESTORE = "restore";
constexpr const char* XML_EXCLUDED = "excluded";
constexpr const char* XML_NODE = "node";
constexpr const char* XML_ID = "id";
constexpr const char* XML_BASELINE = "baseline";
constexpr const char* XML_COMMAND = "command";
constexpr const char* XML_LOCATION = "location";

}  // namespace tavrequest
