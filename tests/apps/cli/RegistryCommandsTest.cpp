// tavctl registry export and import over a settings store in a temporary TAVORA_HOME.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "platform/Process.h"
#include "platform/Registry.h"

using namespace clitest;

namespace {

constexpr const char* KEY = "HKEY_CURRENT_USER\\Software\\Norvik\\Tavora";

class RegistryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedRuntime = plat::GetEnv("XDG_RUNTIME_DIR").value_or("");
        ASSERT_TRUE(plat::SetEnv("TAVORA_HOME", dir / "home"));
        ASSERT_TRUE(plat::SetEnv("XDG_RUNTIME_DIR", dir.Path()));  // the store's lock files
        plat::CRegistry key;
        ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora\\Drives"));
        ASSERT_TRUE(key.WriteString("C:", "/home/ann/.wine/drive_c"));
        ASSERT_TRUE(key.WriteNumber("Count", 31));
    }
    void TearDown() override {
        plat::SetEnv("TAVORA_HOME", "");
        plat::SetEnv("XDG_RUNTIME_DIR", m_savedRuntime);
    }

    static std::string ReadDrive() {
        plat::CRegistry key;
        std::string value;
        if (!key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora\\Drives", false) ||
            !key.ReadString("C:", value))
            return "<missing>";
        return value;
    }

    CTempDir dir;
    CCli cli;
    std::string m_savedRuntime;
};

TEST_F(RegistryCommandsTest, ExportThenImportRestoresTheKey) {
    const std::string file = dir / "tavora.reg";
    CliResult r = cli.Run({"registry", "export", KEY, file});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string text = tavtest::ReadFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_TRUE(Contains(text, "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]"));
    EXPECT_TRUE(Contains(text, "\"C:\"=\"/home/ann/.wine/drive_c\""));
    EXPECT_TRUE(Contains(text, "\"Count\"=dword:0000001f"));

    plat::CRegistry key;
    ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik"));
    ASSERT_TRUE(key.DeleteKey("Tavora"));
    EXPECT_EQ(ReadDrive(), "<missing>");
    r = cli.Run({"registry", "import", file});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");
}

TEST_F(RegistryCommandsTest, AMissingKeyFailsAndLeavesTheFileAlone) {
    const std::string file = dir / "old.reg";
    ASSERT_TRUE(tavtest::WriteFile(file, "keep"));
    CliResult r = cli.Run({"registry", "export", "HKCU\\Software\\Nothing", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tavctl: registry export: HKCU\\Software\\Nothing: no such key\n");
    EXPECT_EQ(tavtest::ReadFile(file), "keep");
    EXPECT_EQ(cli.Run({"registry", "export", "HKEY_NOWHERE\\x", file}).code, 1);
}

TEST_F(RegistryCommandsTest, AMalformedImportNamesTheLineAndChangesNothing) {
    const std::string file = dir / "bad.reg";
    ASSERT_TRUE(tavtest::WriteFile(file,
                                   "REGEDIT4\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n"
                                   "\"C:\"=\"/elsewhere\"\r\n"
                                   "\"D:\"=\"unterminated\r\n"));
    CliResult r = cli.Run({"registry", "import", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "tavctl: registry import: ")) << r.err;
    EXPECT_TRUE(Contains(r.err, "line 5")) << r.err;
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");

    r = cli.Run({"registry", "import", dir / "missing.reg"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "missing.reg")) << r.err;
}

TEST_F(RegistryCommandsTest, WrongUsageIsCaught) {
    EXPECT_EQ(cli.Run({"registry", "export", KEY}).code, 2);
    EXPECT_EQ(cli.Run({"registry", "import"}).code, 2);
    CliResult r = cli.Run({"registry"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "registry export")) << r.err;
}

}  // namespace
