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
    CliResult r = cli.Run({"registry", "export", "HKEY_CURRENT_USER\\Software\\Norvik\\Tavora", file});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string text = tavtest::ReadFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_TRUE(Contains(text, "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]"));
    EXPECT_TRUE(Contains(text, "\"Count\"=dword:0000001f"));

    plat::CRegistry key;
    ASSERT_TRUE(key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik"));
    ASSERT_TRUE(key.DeleteKey("Tavora"));
    r = cli.Run({"registry", "import", file});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");

    // A missing key leaves the file alone; a malformed file names its line and changes nothing.
    r = cli.Run({"registry", "export", "HKCU\\Software\\Nothing", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tavctl: registry export: HKCU\\Software\\Nothing: no such key\n");
    EXPECT_EQ(tavtest::ReadFile(file), text);
    ASSERT_TRUE(tavtest::WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n"
                                         "\"C:\"=\"/elsewhere\"\r\n\"D:\"=\"unterminated\r\n"));
    r = cli.Run({"registry", "import", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "tavctl: registry import: ") && Contains(r.err, "line 5")) << r.err;
    EXPECT_EQ(ReadDrive(), "/home/ann/.wine/drive_c");

    for (const std::vector<std::string>& usage : {std::vector<std::string>{"registry", "export", "HKCU\\x"},
                                                  {"registry", "import"}, {"registry"}})
        EXPECT_EQ(cli.Run(usage).code, 2) << usage.size();
}

}  // namespace
