// A stored settings export made ready for import: decoding, identifier rewriting and the
// check that it names only the target identity's Outlook Express key.
#include <gtest/gtest.h>

#include "core/OeSettingsImport.h"
#include "platform/FileSystem.h"
#include "platform/RegText.h"
#include "support/TempDir.h"

namespace {

constexpr const char* A = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
constexpr const char* C = "{5C1D0A3E-3333-4C4C-9C9C-00000000000C}";

std::string Key(const std::string& id, const std::string& below = "\\5.0\\Mail") {
    return "[HKEY_CURRENT_USER\\Identities\\" + id + "\\Software\\Microsoft\\Outlook Express" +
           below + "]\r\n";
}
std::string Export(const std::string& body) {
    return "Windows Registry Editor Version 5.00\r\n\r\n" + body;
}

TEST(OeSettingsImportTest, ReplacesTheIdentifierWithoutRegardToCase) {
    EXPECT_EQ(COeSettingsImport::ReplaceNoCase("x{abc}y{ABC}", "{Abc}", "{Z}"), "x{Z}y{Z}");
    EXPECT_EQ(COeSettingsImport::ReplaceNoCase("{ab", "{abc}", "{Z}"), "{ab");
    EXPECT_EQ(COeSettingsImport::ReplaceNoCase("abc", "", "Z"), "abc");
}

TEST(OeSettingsImportTest, DecodesTheEncodingsOfRegistryFiles) {
    std::vector<uint8_t> wide = {0xFF, 0xFE};
    plat::AppendUtf16Le(wide, "REGEDIT4\r\n\xC3\xA9");
    EXPECT_EQ(COeSettingsImport::DecodeText(std::string(wide.begin(), wide.end())),
              "REGEDIT4\r\n\xC3\xA9");
    EXPECT_EQ(COeSettingsImport::DecodeText("\xEF\xBB\xBFREGEDIT4"), "REGEDIT4");
    EXPECT_EQ(COeSettingsImport::DecodeText("caf\xE9"), "caf\xC3\xA9") << "ANSI";
}

TEST(OeSettingsImportTest, ScopeIsTheIdentitysOutlookExpressKey) {
    EXPECT_EQ(COeSettingsImport::CheckScope(Export(Key(A) + "\"x\"=dword:00000001\r\n"), A), "");
    EXPECT_EQ(COeSettingsImport::CheckScope(Export(Key(A, "")), A), "") << "the key itself";
    std::string lower = A;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(COeSettingsImport::CheckScope(Export(Key(lower)), A), "");
    EXPECT_EQ(COeSettingsImport::CheckScope("REGEDIT4\r\n", A), "") << "nothing to import";

    const std::string outside[] = {
        Export(Key(C)),                                                         // another identity
        Export("[HKEY_CURRENT_USER\\Identities\\" + std::string(A) + "]\r\n"),  // above the key
        Export("[HKEY_CURRENT_USER\\Identities\\" + std::string(A) +
               "\\Software\\Microsoft\\Outlook]\r\n"),
        Export("[HKEY_LOCAL_MACHINE\\Identities\\" + std::string(A) +
               "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n"),
        Export("[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n"),
        Export("[-" + Key(A).substr(1)),  // a deletion
    };
    for (const std::string& text : outside)
        EXPECT_NE(COeSettingsImport::CheckScope(text, A), "") << text;
    EXPECT_NE(COeSettingsImport::CheckScope(Export("[broken\r\n"), A), "");
}

TEST(OeSettingsImportTest, PrepareRewritesChecksAndWrites) {
    tavtest::CTempDir dir;
    const std::string source = dir / "stored.reg";
    const std::string output = dir / "import.reg";
    ASSERT_TRUE(tavtest::WriteFile(source, Export(Key(A) + "\"Sig\"=\"" + A + "\"\r\n")));
    std::string error;
    ASSERT_TRUE(COeSettingsImport::Prepare(source, output, A, C, error)) << error;
    EXPECT_EQ(tavtest::ReadFile(output), Export(Key(C) + "\"Sig\"=\"" + C + "\"\r\n"))
        << "every occurrence is replaced";

    // Kept identifier: the file is imported as it is; a file naming other keys is refused.
    ASSERT_TRUE(COeSettingsImport::Prepare(source, output, A, A, error));
    EXPECT_EQ(tavtest::ReadFile(output), tavtest::ReadFile(source));
    ASSERT_TRUE(tavtest::WriteFile(source, Export(Key(C))));
    EXPECT_FALSE(COeSettingsImport::Prepare(source, dir / "other.reg", A, A, error));
    EXPECT_FALSE(plat::PathExists(dir / "other.reg"));
    EXPECT_NE(error.find("outside"), std::string::npos) << error;
    EXPECT_FALSE(COeSettingsImport::Prepare(dir / "missing.reg", output, A, C, error));
}

}  // namespace
