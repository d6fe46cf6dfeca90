// Browser settings and restore requests.
#include "BrowserSettings.h"

#include <QDir>
#include <QStandardPaths>

#include "BrowserTexts.h"
#include "RestoreRequest.h"
#include "platform/Registry.h"
#include "tavui/TavTlcDataRep.h"

namespace browsersettings {

namespace {

bool On(uint32_t value) { return value == 1; }

struct NumberValue {
    const char* name;
    uint32_t* value;
};

bool LoadValues(std::vector<NumberValue> numbers, const char* textName, std::string& text) {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_LOCAL_MACHINE, browsertext::SETTINGS_KEY, true)) return false;
    for (const NumberValue& n : numbers)
        if (!key.ReadNumber(n.name, *n.value)) key.WriteNumber(n.name, *n.value);
    if (!key.ReadString(textName, text)) {
        if (text.empty()) text = DefaultDestination();
        key.WriteString(textName, text);
    }
    return true;
}

bool SaveValues(std::vector<std::pair<const char*, uint32_t>> numbers, const char* textName,
                const std::string& text) {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_LOCAL_MACHINE, browsertext::SETTINGS_KEY, true)) return false;
    bool ok = true;
    for (const auto& [name, value] : numbers) ok = key.WriteNumber(name, value) && ok;
    return key.WriteString(textName, text) && ok;
}

}  // namespace

std::string DefaultDestination() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!docs.isEmpty() && QDir().mkpath(docs)) return docs.toStdString();
    return QDir::homePath().toStdString();
}

bool Load(RestoreOptions& o) {
    return LoadValues({{"RestoreOverwrite", &o.restoreOverwrite},
                       {"OverwriteDate", &o.overwriteDate},
                       {"OverwriteSize", &o.overwriteSize},
                       {"RestoreDate", &o.restoreDate},
                       {"Verbose", &o.verbose},
                       {"Checksum", &o.checksum},
                       {"OriginalDir", &o.originalDir}},
                      "Destination", o.destination);
}

bool Load(ExtractOptions& o) {
    return LoadValues({{"ExtractOverwrite", &o.extractOverwrite},
                       {"ExtractRecursive", &o.extractRecursive},
                       {"ExtractChecksum", &o.extractChecksum}},
                      "ExtractDestination", o.extractDestination);
}

bool Save(const RestoreOptions& o) {
    return SaveValues({{"RestoreOverwrite", o.restoreOverwrite},
                       {"OverwriteDate", o.overwriteDate},
                       {"OverwriteSize", o.overwriteSize},
                       {"RestoreDate", o.restoreDate},
                       {"Verbose", o.verbose},
                       {"Checksum", o.checksum},
                       {"OriginalDir", o.originalDir}},
                      "Destination", o.destination);
}

bool Save(const ExtractOptions& o) {
    return SaveValues({{"ExtractOverwrite", o.extractOverwrite},
                       {"ExtractRecursive", o.extractRecursive},
                       {"ExtractChecksum", o.extractChecksum}},
                      "ExtractDestination", o.extractDestination);
}

uint32_t RestoreCommand(const RestoreOptions& o) {
    uint32_t word = On(o.restoreOverwrite) ? 0x20020008 : 0x20000008;
    if (On(o.overwriteDate)) word |= 0x4;
    if (On(o.overwriteSize)) word |= 0x1;
    if (On(o.restoreDate)) word |= 0x10000;
    if (On(o.verbose)) word |= 0x200;
    if (On(o.checksum)) word |= 0x40000;
    return word;
}

uint32_t ExtractCommand(const ExtractOptions& o) {
    uint32_t word = On(o.extractOverwrite) ? 0x20030000 : 0x20010000;
    if (On(o.extractRecursive)) word |= 0x8;
    if (On(o.extractChecksum)) word |= 0x40000;
    return word;
}

std::string RestoreRequest(const RestoreOptions& o, uint32_t baseline, bool selectedOnly,
                           const std::vector<uint32_t>& excluded) {
    return tavctl::BuildRestoreRequest(baseline, RestoreCommand(o), On(o.originalDir) ? "" : o.destination,
                                       selectedOnly ? excluded : std::vector<uint32_t>{}, {});
}

std::string ExtractRequest(const ExtractOptions& o, uint32_t baseline, bool selectedOnly,
                           const std::vector<uint32_t>& excluded, uint32_t sourceNode) {
    return tavctl::BuildRestoreRequest(baseline, ExtractCommand(o), o.extractDestination,
                                       selectedOnly ? excluded : std::vector<uint32_t>{}, {sourceNode});
}

std::vector<uint32_t> CollectExcludedNodes(const std::vector<CTlcDataProvider*>& roots) {
    std::vector<uint32_t> out;
    tavctl::CollectExcludedIds(
        roots, [](CTlcDataProvider* p) { return p->CheckState(); },
        [](CTlcDataProvider* p) {
            const TavNodeRec* node = ProviderNode(p);
            return node != nullptr ? node->nodeId : 0u;
        },
        [](CTlcDataProvider* p) { return p->Children(); }, out);
    return out;
}

}  // namespace browsersettings
