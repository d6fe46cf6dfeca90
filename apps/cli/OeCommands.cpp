// tavctl oe identities: the Outlook Express identities of the settings store and their
// store folders.
#include <ostream>

#include "CommandGroups.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "OeCliText.h"
#include "TextTable.h"
#include "core/OeIdentities.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

int RunOeIdentities(const CCliArgs&, CCliContext& ctx) {
    const std::vector<OeIdentity> identities = COeIdentities::EnumIdentities();
    if (identities.empty()) {
        ctx.out << plat::Format(oecli::MSG_NO_IDENTITIES,
                          Printable(plat::RegistryFilePath(plat::HKEY_CURRENT_USER)).c_str())
                << '\n';
        return EXIT_OK;
    }
    CTextTable table({oecli::HEAD_IDENTIFIER, oecli::HEAD_NAME, oecli::HEAD_STORE});
    for (const OeIdentity& identity : identities) {
        std::string folder;
        std::string store = oecli::NO_STORE;
        if (COeIdentities::GetOeDir(identity.identifier, folder)) {
            store = Printable(folder);
            if (!plat::IsDirectory(folder)) store = plat::Format(oecli::STORE_MISSING, store.c_str());
        }
        table.AddRow({Printable(identity.identifier), Printable(identity.displayName), store});
    }
    table.Print(ctx.out);
    return EXIT_OK;
}

}  // namespace

void RegisterOeCommands(CCommandTable& table) {
    table.Add({{"oe", "identities"},
               "",
               "list the Outlook Express identities and their store folders",
               "Lists the identities under HKEY_CURRENT_USER\\Identities of the settings store\n"
               "($TAVORA_HOME/user.reg) with their names and the local folders of their\n"
               "message stores: \"Store Root\" of the identity's Outlook Express key with its\n"
               "%VARIABLES% expanded and a Windows path (C:\\...) mapped through the drive\n"
               "mappings (HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives, else the Wine\n"
               "prefix's drive_c). A folder that does not exist is marked (missing). Import\n"
               "identities with 'tavctl registry import FILE'.",
               {},
               0,
               0,
               RunOeIdentities});
}

}  // namespace tavctl
