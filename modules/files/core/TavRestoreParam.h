// CTavRestoreParam: a restore request ("tav-restore" XML) read into memory, and its counters.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The counters of one restore run, in the order of the finish log's fields.
struct TavRsLogAccount {
    uint32_t succeeded = 0;    // files written (and verified, when asked)
    uint32_t overwritten = 0;  // existing files replaced
    uint32_t upToDate = 0;     // existing files kept under the overwrite rules
    uint32_t errors = 0;       // items in error
    uint32_t kept = 0;         // of upToDate: kept although size or written time differ
};

// The request in memory. The request document:
//
//   <tav-restore>
//     <restore baseline='#00000001' command='#20010008' location='/mnt/r'>
//       <node id='#00000274'/>   (zero or more: items to restore; none: the whole module)
//     </restore>
//     <excluded>
//       <node id='#000004E8'/>   (zero or more: items left out, with everything below)
//     </excluded>
//   </tav-restore>
//
// Attribute names are read without regard to letter case ("baseline" and "Baseline" are
// one). Ids of 0 are ignored.
class CTavRestoreParam {
public:
    uint32_t baseline = 0;
    uint32_t command = 0x20000000;
    // The target folder; empty for the original location.
    std::string location;
    // The ids of "restore"/"node", in document order.
    std::vector<uint32_t> nodes;

    // Reads `xml`; false with `error` set when it is not a request (no "tav-restore" root,
    // no "restore" element, no baseline number). The command gets the restore marker.
    bool Parse(const std::string& xml, std::string& error);

    void AddExcluded(uint32_t id);
    // Sorts the excluded ids (before lookups).
    void SortExcluded();
    // The id when it is excluded, else -1 (binary search; SortExcluded first).
    int64_t FindExcluded(uint32_t id) const;
    bool IsExcluded(uint32_t id) const { return FindExcluded(id) >= 0; }
    const std::vector<uint32_t>& Excluded() const { return m_excluded; }

private:
    std::vector<uint32_t> m_excluded;
};
