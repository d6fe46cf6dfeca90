// A Wine-style Outlook Express layout for the module's tests: a private settings store
// (TAVORA_HOME) with identities, a Wine prefix with store folders, and ".dbx" files.
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "modules/oe/DbxTestStore.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TempDir.h"

namespace oetest {

using tavtest::CEnvOverride;
using tavtest::RandomBytes;

constexpr const char* ID_A = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
constexpr const char* ID_B = "{5C1D0A3E-2222-4B4B-9B9B-00000000000B}";
constexpr const char* ID_C = "{5C1D0A3E-3333-4C4C-9C9C-00000000000C}";

// The usual folders: Local Folders (1), Inbox (2) with its subfolder Projects (7),
// Outbox (3).
inline std::vector<dbxtest::Folder> StandardFolders() {
    return {{1, 0, "Local Folders", std::nullopt},
            {2, 1, "Inbox", "Inbox.dbx", 1, 12, 3},
            {3, 1, "Outbox", "Outbox.dbx", 0, 0, 0},
            {7, 2, "Projects", "Projects.dbx", 1, 5, 5}};
}

// TAVORA_HOME, XDG_RUNTIME_DIR, HOME and WINEPREFIX point into a temporary folder; the
// Wine prefix has drive_c, and the settings store is written by hand as Wine writes it.
class COeTestEnv {
public:
    COeTestEnv()
        : m_home("TAVORA_HOME", m_dir / "tavora"),
          m_runtime("XDG_RUNTIME_DIR", m_dir.Path()),
          m_userHome("HOME", m_dir / "home"),
          m_prefix("WINEPREFIX", m_dir / "wine") {
        plat::CreateDirectories(m_dir / "tavora");
        plat::CreateDirectories(m_dir / "home");
        plat::CreateDirectories(DriveC());
    }

    const std::string& Root() const { return m_dir.Path(); }
    std::string DriveC() const { return m_dir / "wine/drive_c"; }
    std::string UserReg() const { return m_dir / "tavora/user.reg"; }

    // The Windows form of an identity's store folder and its local path.
    static std::string WindowsStore(const std::string& user, const std::string& id) {
        return "C:\\users\\" + user + "\\Local Settings\\Application Data\\Identities\\" + id +
               "\\Microsoft\\Outlook Express";
    }
    std::string LocalStore(const std::string& user, const std::string& id) const {
        return DriveC() + "/users/" + user + "/Local Settings/Application Data/Identities/" + id +
               "/Microsoft/Outlook Express/";
    }

    // Writes user.reg: each identity with its name, Outlook Express key "5.0" and store
    // root, and the settings subkeys that Outlook Express makes.
    struct Identity {
        std::string id;
        std::string name;       // empty: no "Username"
        std::string storeRoot;  // the "Store Root" text as the registry file writes it
        bool settings = true;   // Mail, Block Senders and Signatures keys (no Rules)
    };
    void WriteUserReg(const std::vector<Identity>& identities, const std::string& extra = {}) {
        std::string text =
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Identities]\r\n";
        if (!identities.empty())
            text += "\"Default User ID\"=\"" + identities.front().id + "\"\r\n";
        for (const Identity& identity : identities) {
            const std::string key = "HKEY_CURRENT_USER\\Identities\\" + identity.id;
            text += "\r\n[" + key + "]\r\n";
            if (!identity.name.empty()) text += "\"Username\"=\"" + identity.name + "\"\r\n";
            const std::string oe = key + "\\Software\\Microsoft\\Outlook Express\\5.0";
            text += "\r\n[" + oe + "]\r\n\"Store Root\"=" + identity.storeRoot + "\r\n";
            if (identity.settings) {
                text += "\r\n[" + oe + "\\Mail]\r\n\"Show Images\"=dword:00000001\r\n";
                text += "\r\n[" + oe + "\\Block Senders]\r\n";
                text += "\r\n[" + oe + "\\Block Senders\\Mail]\r\n\"Count\"=dword:00000000\r\n";
                text += "\r\n[" + oe + "\\Signatures]\r\n\"Default Signature\"=\"00000000\"\r\n";
            }
        }
        text += extra;
        ASSERT_TRUE(tavtest::WriteFile(UserReg(), text));
    }

    // A registry-file string for a Windows path (backslashes doubled, quoted).
    static std::string RegString(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
        return out + "\"";
    }

    // Writes a store folder: "Folders.dbx" (as Outlook Express names it) and one file per
    // listed name with the given sizes.
    void WriteStore(const std::string& folder, const std::vector<dbxtest::Folder>& folders,
                    const std::vector<std::pair<std::string, size_t>>& files) {
        ASSERT_TRUE(plat::CreateDirectories(folder));
        const std::vector<uint8_t> list = dbxtest::BuildFolders(folders, 3);
        ASSERT_TRUE(tavtest::WriteFile(plat::JoinPath(folder, "Folders.dbx"),
                                       std::string(list.begin(), list.end())));
        uint32_t seed = 1;
        for (const auto& [name, size] : files)
            ASSERT_TRUE(
                tavtest::WriteFile(plat::JoinPath(folder, name), RandomBytes(size, seed++)));
    }

private:
    tavtest::CTempDir m_dir;  // first: the overrides below point into it
    CEnvOverride m_home;
    CEnvOverride m_runtime;
    CEnvOverride m_userHome;
    CEnvOverride m_prefix;
};

// An identity of the settings store whose store folder is `user`'s usual one.
inline COeTestEnv::Identity Ident(const std::string& id, const std::string& name,
                                  const std::string& user, bool settings = true) {
    return {id, name, COeTestEnv::RegString(COeTestEnv::WindowsStore(user, id)), settings};
}

// The environment of the programs' tests, which back up with tavctl: $TMPDIR and the job's
// repository folder inside it, and tavctl's arguments for the job and its backup.
class COeProgramEnv : public COeTestEnv {
public:
    COeProgramEnv() : m_tmp("TMPDIR", Root() + "/tmp") {
        plat::CreateDirectories(Root() + "/tmp");
        plat::CreateDirectories(Root() + "/repo");
    }
    // Identities A ("Main Identity", the usual folders, an Inbox of 70000 bytes) and B ("Bob",
    // no store folder yet).
    void Layout() {
        WriteUserReg({Ident(ID_A, "Main Identity", "anna"), Ident(ID_B, "Bob", "bob")});
        WriteStore(StoreA(), StandardFolders(),
                   {{"Inbox.dbx", 70000}, {"Outbox.dbx", 100}, {"Projects.dbx", 5000}});
    }
    std::string StoreA() const { return LocalStore("anna", ID_A); }
    std::string Job() const { return Root() + "/mail.tvj"; }
    std::string Repo() const { return Root() + "/repo/mail.tvr"; }
    std::vector<std::string> NewJob() const {
        return {"job", "new", Job(), "-l", Root() + "/repo", "-n", "mail"};
    }
    // A new job of identity A, and its first backup.
    std::vector<std::vector<std::string>> BackupOfA() const {
        return {NewJob(), {"job", "oe", Job(), "add", ID_A}, {"backup", Job()}};
    }

private:
    CEnvOverride m_tmp;
};

}  // namespace oetest
