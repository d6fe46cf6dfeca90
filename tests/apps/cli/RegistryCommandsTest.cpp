// tavctl registry export and import over a settings store in a temporary TAVORA_HOME. The
// store's own parsing and damage cases are the platform tests'; here the command from end to
// end, its messages and exit statuses.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "platform/Registry.h"

using namespace clitest;

namespace {

std::string ReadDrive() {
    plat::CRegistry key;
    std::string value;
    if (!key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora\\Drives", false) ||
        !key.ReadString("C:", value))
        return "<missing>";
    return value;
}

TEST(RegistryCommandsTest, ExportImportAndTheirFailures) {
    CTempDir dir;
    tavtest::CEnvOverride home("TAVORA_HOME", dir / "home");
    tavtest::CEnvOverride runtime("XDG_RUNTIME_DIR", dir.Path());  // the store's lock files
    {
        plat::CRegistry key;
        ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora\\Drives"));
        ASSERT_TRUE(key.WriteString("C:", "/home/ann/.wine/drive_c"));
        ASSERT_TRUE(key.WriteNumber("Count", 31));
    }
    CCli cli;
    const std::string file = dir / "tavora.reg";
    EXPECT_EQ(cli.Ok({"registry", "export", "HKEY_CURRENT_USER\\Software\\Norvik\\Tavora", file}).out, "");
    const std::string text = tavtest::ReadFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_TRUE(Contains(text, "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]"));
    EXPECT_TRUE(Contains(text, "\"Count\"=dword:0000001f"));

    plat::CRegistry key;
    ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik"));
    ASSERT_TRUE(key.DeleteKey("Tavora"));
    cli.Ok({"registry", "import", file});
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");

    // A missing key leaves the file alone; a malformed file names its line and changes nothing.
    EXPECT_EQ(cli.Expect(1, {"registry", "export", "HKCU\\Software\\Nothing", file}).err,
              "tavctl: registry export: HKCU\\Software\\Nothing: no such key\n");
    EXPECT_EQ(tavtest::ReadFile(file), text);
    ASSERT_TRUE(tavtest::WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n"
                                         "\"C:\"=\"/elsewhere\"\r\n\"D:\"=\"unterminated\r\n"));
    EXPECT_TRUE(Contains(cli.Expect(1, {"registry", "import", file}, "tavctl: registry import: ").err, "line 5"));
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");

    for (const std::vector<std::string>& usage : {std::vector<std::string>{"registry", "export", "HKCU\\x"},
                                                  {"registry", "import"}, {"registry"}})
        cli.Expect(2, usage);
}

}  // namespace
