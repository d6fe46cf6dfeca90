// Identities in the settings store, store folders through drive mappings (Wine layouts),
// and the export and import of settings items.
#include <gtest/gtest.h>

#include "core/OeDriveMap.h"
#include "core/OeIdentities.h"
#include "core/TavOeEngine.h"
#include "modules/oe/OeTestEnv.h"
#include "platform/Registry.h"

namespace {

using namespace oetest;

class OeIdentitiesTest : public ::testing::Test {
protected:
    COeTestEnv m_env;
};

TEST_F(OeIdentitiesTest, FindsTheIdentitiesOfAHandWrittenUserReg) {
    m_env.WriteUserReg(
        {Ident(ID_A, "Main Identity", "anna"), {ID_B, "", COeTestEnv::RegString("/srv/mail/b")}});
    const std::vector<OeIdentity> all = COeIdentities::EnumIdentities();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].identifier, ID_A);
    EXPECT_EQ(all[0].displayName, "Main Identity");
    EXPECT_EQ(all[1].displayName, "") << "a missing Username leaves the name empty";

    std::string name = "stale";
    EXPECT_EQ(CTavOeEngine::GetIdenName(ID_B, name), 1);
    EXPECT_EQ(name, "");
    // Identifiers compare without regard to case, as the store's key names do.
    EXPECT_EQ(CTavOeEngine::GetIdenName("{5c1d0a3e-1111-4a4a-9a9a-00000000000a}", name), 1);
    EXPECT_EQ(name, "Main Identity");
    EXPECT_EQ(CTavOeEngine::GetIdenName("{gone}", name), 0);
    // Texts that are no single key name never open a key (not "Identities" itself, nor a
    // path below an identity).
    EXPECT_EQ(CTavOeEngine::GetIdenName("", name), 0);
    EXPECT_EQ(CTavOeEngine::GetIdenName(std::string(ID_A) + "\\Software", name), 0);

    // No identities without the key.
    plat::CRegistry key;
    ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "", false));
    ASSERT_TRUE(key.DeleteKey("Identities"));
    EXPECT_TRUE(COeIdentities::EnumIdentities().empty());
}

TEST_F(OeIdentitiesTest, OutlookExpressKeyItsExportAndAFailedImport) {
    m_env.WriteUserReg({{ID_A, "A", COeTestEnv::RegString("/srv/a")}},
                       "\r\n[HKEY_CURRENT_USER\\Identities\\" + std::string(ID_B) +
                           "\\Software\\Microsoft\\Outlook Express]\r\n\"x\"=\"y\"\r\n");
    plat::CRegistry key;
    ASSERT_EQ(CTavOeEngine::OpenOeKey(ID_A, key), 1);
    EXPECT_EQ(key.GetCurrentKey(), "HKEY_CURRENT_USER\\Identities\\" + std::string(ID_A) +
                                       "\\Software\\Microsoft\\Outlook Express\\5.0");
    // An "Outlook Express" key without a version subkey is no Outlook Express key.
    plat::CRegistry none;
    EXPECT_EQ(CTavOeEngine::OpenOeKey(ID_B, none), 0);
    std::string dir;
    EXPECT_EQ(CTavOeEngine::GetOeDir(ID_B, dir), 0);

    // The export of a settings key, and an import that fails.
    const std::string file = m_env.Root() + "/export.reg";
    ASSERT_TRUE(tavtest::WriteFile(file, "old content"));
    ASSERT_EQ(CTavOeEngine::ExportReg(file, key.GetCurrentKey() + "\\Mail"), 1);
    EXPECT_NE(tavtest::ReadFile(file).find("\"Show Images\"=dword:00000001"), std::string::npos);
    // A key that is missing exports nothing, and the old file is gone.
    EXPECT_EQ(CTavOeEngine::ExportReg(file, key.GetCurrentKey() + "\\Rules"), 0);
    EXPECT_FALSE(plat::PathExists(file));

    // (Backup and restore runs take an export back through the store's own import.)
    std::string error;
    ASSERT_TRUE(
        tavtest::WriteFile(file, "Windows Registry Editor Version 5.00\r\n\r\nnot a line\r\n"));
    EXPECT_EQ(COeIdentities::ImportReg(file, &error), 0);
    EXPECT_FALSE(error.empty());
}

TEST_F(OeIdentitiesTest, StoreRootWithVariables) {
    // %UserProfile% comes from the environment when it holds it (any letter case)...
    CEnvOverride profile("USERPROFILE", "C:\\users\\anna");
    m_env.WriteUserReg({{ID_A, "A", COeTestEnv::RegString("%UserProfile%\\Mail")},
                        {ID_B, "B", COeTestEnv::RegString("%MAILROOT%\\b\\")}},
                       "\r\n[HKEY_CURRENT_USER\\Environment]\r\n\"MAILROOT\"=\"D:\\\\mail\"\r\n");
    std::string dir;
    ASSERT_EQ(CTavOeEngine::GetOeDir(ID_A, dir), 1);
    EXPECT_EQ(dir, m_env.DriveC() + "/users/anna/Mail/");
    // ... else from the user's variables in the store. D: has no folder yet.
    EXPECT_EQ(CTavOeEngine::GetOeDir(ID_B, dir), 0);
    ASSERT_TRUE(COeDriveMap::SetDriveFolder('d', m_env.Root() + "/disk-d/"));
    ASSERT_EQ(CTavOeEngine::GetOeDir(ID_B, dir), 1);
    EXPECT_EQ(dir, m_env.Root() + "/disk-d/mail/b/") << "a trailing separator is not doubled";
}

TEST_F(OeIdentitiesTest, DriveFoldersAndMappings) {
    m_env.WriteUserReg({});
    // C: is $WINEPREFIX/drive_c while that exists, else ~/.wine/drive_c.
    EXPECT_EQ(COeDriveMap::DriveFolder('c'), m_env.DriveC());
    CEnvOverride otherPrefix("WINEPREFIX", m_env.Root() + "/no-such-prefix");
    EXPECT_EQ(COeDriveMap::DriveFolder('C'), std::nullopt);
    const std::string homeDrive = m_env.Root() + "/home/.wine/drive_c";
    ASSERT_TRUE(plat::CreateDirectories(homeDrive));
    EXPECT_EQ(COeDriveMap::DriveFolder('C'), homeDrive);
    // Other letters come from Wine's drive links.
    EXPECT_EQ(COeDriveMap::DriveFolder('Z'), std::nullopt);
    ASSERT_TRUE(plat::CreateDirectories(m_env.Root() + "/home/.wine/dosdevices"));
    ASSERT_TRUE(plat::CreateSymlink("/", m_env.Root() + "/home/.wine/dosdevices/z:"));
    EXPECT_EQ(COeDriveMap::DriveFolder('z'), m_env.Root() + "/home/.wine/dosdevices/z:");
    EXPECT_EQ(COeDriveMap::MapPath("Z:\\etc"), m_env.Root() + "/home/.wine/dosdevices/z:/etc");
    // Explicit mappings win over the Wine prefix, in either letter case.
    ASSERT_TRUE(COeDriveMap::SetDriveFolder('C', "/srv/windows"));
    EXPECT_EQ(COeDriveMap::MapPath("c:\\Mail\\x"), "/srv/windows/Mail/x");
    EXPECT_EQ(COeDriveMap::MapPath("C:/Mail//./x/"), "/srv/windows/Mail/x");
    // Linux paths are taken as they are; other forms map nothing.
    EXPECT_EQ(COeDriveMap::MapPath("/home/anna/Mail"), "/home/anna/Mail");
    EXPECT_EQ(COeDriveMap::MapPath("Mail\\x"), std::nullopt);
    EXPECT_EQ(COeDriveMap::MapPath("\\\\server\\share\\x"), std::nullopt);
    EXPECT_EQ(COeDriveMap::MapPath("C:Mail"), std::nullopt);
    // A ".." part could leave the drive's folder.
    EXPECT_EQ(COeDriveMap::MapPath("C:\\Mail\\..\\..\\etc"), std::nullopt);
    // A mapping that is not an absolute folder maps nothing (no silent default).
    plat::CRegistry drives;
    ASSERT_TRUE(drives.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora\\Drives"));
    ASSERT_TRUE(drives.WriteString("E:", "relative/dir"));
    EXPECT_EQ(COeDriveMap::MapPath("E:\\x"), std::nullopt);
    EXPECT_FALSE(COeDriveMap::SetDriveFolder('1', "/x"));
    EXPECT_FALSE(COeDriveMap::SetDriveFolder('F', "x"));
}

}  // namespace
