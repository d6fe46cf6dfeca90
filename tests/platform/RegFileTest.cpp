// Registry files: parsing what registry editors and people write, writing trees back,
// the text encodings behind them and %VARIABLE% expansion.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/EnvExpand.h"
#include "platform/Process.h"
#include "platform/RegFile.h"
#include "platform/RegText.h"

using namespace plat;

namespace {

std::vector<uint8_t> Utf16(std::string_view utf8, bool terminate = true) {
    std::vector<uint8_t> out;
    AppendUtf16Le(out, utf8);
    if (terminate) out.insert(out.end(), {0, 0});
    return out;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> out;
    for (int b : list) out.push_back(uint8_t(b));
    return out;
}

// Parses `text` and applies it to a fresh HKEY_CURRENT_USER tree.
std::unique_ptr<CRegKey> Load(std::string_view text, RegRoot root = HKEY_CURRENT_USER) {
    RegFileDocument doc;
    std::string error;
    EXPECT_TRUE(ParseRegFile(text, "test.reg", doc, error)) << error;
    auto tree = std::make_unique<CRegKey>(RootName(root));
    ApplyRegFile(doc, root, *tree);
    return tree;
}

std::string ParseError(std::string_view text) {
    RegFileDocument doc;
    std::string error;
    EXPECT_FALSE(ParseRegFile(text, "test.reg", doc, error)) << text;
    EXPECT_TRUE(doc.sections.empty());
    return error;
}

const RegValue& ValueOf(const CRegKey& tree, std::vector<std::string> path, std::string_view name) {
    const CRegKey* key = tree.Find(path);
    EXPECT_NE(key, nullptr);
    static const RegValue none;
    if (key == nullptr) return none;
    const RegValue* v = key->FindValue(name);
    EXPECT_NE(v, nullptr) << name;
    return v ? *v : none;
}

}  // namespace

// A REGEDIT4 file in ANSI with CR LF line ends, as Windows 9x editors wrote it.
TEST(RegFileTest, ReadsAnsiRegedit4WithEveryValueType) {
    std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; exported settings\r\n"
        "[HKEY_CURRENT_USER\\Software\\Caf\xE9]\r\n"
        "@=\"default \x80 value\"\r\n"
        "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\r\n"
        "\"Odd\"=\"a\\b\"\r\n"
        "\"Count\"=dword:0000001F\r\n"
        "\"Blob\"=hex:01,02,ff,\\\r\n"
        "  10,20\r\n"
        "\"Store Root\"=hex(2):25,55,53,45,52,25,5c,4d,e9,00\r\n"
        "\"List\"=hex(7):61,00,62,63,00,00\r\n"
        "\"None\"=hex(0):\r\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,80\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Caf\xE9\\Sub]\r\n"
        "\"Gone\"=-\r\n";
    auto tree = Load(text);
    std::vector<std::string> key = {"Software", "Caf\xC3\xA9"};
    EXPECT_EQ(ValueOf(*tree, key, ""), (RegValue{"", REG_SZ, Utf16("default \xE2\x82\xAC value")}));
    EXPECT_EQ(ValueOf(*tree, key, "path"), (RegValue{"Path", REG_SZ, Utf16("C:\\Program Files\\\"Q\"")}));
    EXPECT_EQ(ValueOf(*tree, key, "Odd"), (RegValue{"Odd", REG_SZ, Utf16("a\\b")}));  // unknown escape kept
    EXPECT_EQ(ValueOf(*tree, key, "Count"), (RegValue{"Count", REG_DWORD, Bytes({0x1f, 0, 0, 0})}));
    EXPECT_EQ(ValueOf(*tree, key, "Blob"), (RegValue{"Blob", REG_BINARY, Bytes({1, 2, 0xff, 0x10, 0x20})}));
    // ANSI string data of REGEDIT4 become UTF-16LE.
    EXPECT_EQ(ValueOf(*tree, key, "Store Root").type, REG_EXPAND_SZ);
    EXPECT_EQ(ValueOf(*tree, key, "Store Root").data, Utf16("%USER%\\M\xC3\xA9"));
    EXPECT_EQ(ValueOf(*tree, key, "List").data, Bytes({'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));
    EXPECT_EQ(ValueOf(*tree, key, "None"), (RegValue{"None", REG_NONE, {}}));
    EXPECT_EQ(ValueOf(*tree, key, "Big"), (RegValue{"Big", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0x80})}));
    EXPECT_NE(tree->Find({"Software", "CAF\xC3\x89", "sub"}), nullptr);
}

// Version 5 in UTF-16LE with its byte-order mark, as current editors write it.
TEST(RegFileTest, ReadsUtf16AndUtf8Version5) {
    std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\\xE6\x97\xA5\xE6\x9C\xAC]\r\n"
        "\"Name \\\"q\\\"\"=\"\xF0\x9F\x98\x80 smile\"\r\n"
        "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):78,00,00,00,\\\r\n"
        "  79,00,00,00,00,00\r\n"
        "\"Word\"=dword:ffffffff\r\n"
        "\"Raw\"=hex(1):41,00\r\n";
    std::vector<uint8_t> bytes = Utf16(utf8, false);
    bytes.insert(bytes.begin(), {0xFF, 0xFE});
    auto tree = Load(std::string(bytes.begin(), bytes.end()), HKEY_LOCAL_MACHINE);
    std::vector<std::string> key = {"Software", "\xE6\x97\xA5\xE6\x9C\xAC"};
    EXPECT_EQ(ValueOf(*tree, key, "Name \"q\"").data, Utf16("\xF0\x9F\x98\x80 smile"));
    EXPECT_EQ(ValueOf(*tree, key, "Exp").data, Bytes({0x25, 0, 0x41, 0, 0x25, 0, 0, 0}));
    EXPECT_EQ(ValueOf(*tree, key, "Multi").data, Bytes({0x78, 0, 0, 0, 0x79, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ValueOf(*tree, key, "Word").data, Bytes({0xff, 0xff, 0xff, 0xff}));
    EXPECT_EQ(ValueOf(*tree, key, "Raw"), (RegValue{"Raw", REG_SZ, Bytes({0x41, 0})}));  // kept byte for byte

    // The same in UTF-8, with and without its mark, and with LF line ends.
    const std::string plain = "Windows Registry Editor Version 5.00\n[HKCU\\A]\n\"k\"=\"\xC3\xA4\"\n";
    for (const std::string& text : {plain, "\xEF\xBB\xBF" + plain})
        EXPECT_EQ(ValueOf(*Load(text), {"A"}, "K").data, Utf16("\xC3\xA4"));
}

TEST(RegFileTest, AppliesDeletionsAndKeepsTheFirstCase) {
    auto tree = Load(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\Software\\Norvik]\n\"a\"=\"1\"\n\"b\"=\"2\"\n"
        "[HKEY_CURRENT_USER\\Software\\Norvik\\Old\\Deep]\n\"x\"=dword:1\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\NORVIK]\n\"B\"=-\n\"A\"=\"3\"\n"
        "[-HKEY_CURRENT_USER\\software\\norvik\\old]\n"
        "[-HKEY_CURRENT_USER\\Software\\Missing\\Key]\n"
        "[HKEY_LOCAL_MACHINE\\Elsewhere]\n");
    const CRegKey* key = tree->Find({"software", "norvik"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name(), "Norvik");
    EXPECT_EQ(key->Values().size(), 1u);
    EXPECT_EQ(key->ValueAt(0)->name, "a");  // first stored name, later data
    EXPECT_EQ(key->ValueAt(0)->data, Utf16("3"));
    EXPECT_EQ(key->FindSubKey("Old"), nullptr);
    EXPECT_EQ(tree->FindSubKey("Elsewhere"), nullptr);  // another root's section
}

TEST(RegFileTest, ReportsMalformedLinesWithTheirNumbers) {
    const std::string h = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string k = "[HKEY_CURRENT_USER\\A]\r\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const std::string notRegistry =
        "test.reg: line 1: not a registry file (the first line must be \"Windows Registry Editor Version 5.00\" "
        "or \"REGEDIT4\")";
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 513; ++i) deep += "\\k";
    const std::vector<Case> cases = {
        {"", notRegistry},
        {"[HKEY_CURRENT_USER\\A]\r\n", notRegistry},
        {h + k + "\"x\"=\"abc\r\n", "test.reg: line 4: unterminated string"},
        {h + k + "\"x=\"abc\"\r\n", "test.reg: line 4: missing '=' after the value name"},
        {h + "[HKEY_CURRENT_USER\\A\r\n", "test.reg: line 3: missing ']' at the end of the key"},
        {h + "[HKEY_CLASSES_ROOT\\A]\r\n",
         "test.reg: line 3: unsupported root key \"HKEY_CLASSES_ROOT\""},
        {h + "[HKEY_CURRENT_USER\\A\\\\B]\r\n", "test.reg: line 3: empty key name"},
        {h + "[-HKEY_CURRENT_USER]\r\n", "test.reg: line 3: a root key cannot be deleted"},
        {h + deep + "]\r\n", "test.reg: line 3: key path deeper than 512 levels"},
        {h + "[HKCU\\" + std::string(256, 'n') + "]\r\n",
         "test.reg: line 3: key name longer than 255 characters"},
        {h + "\"x\"=\"1\"\r\n", "test.reg: line 3: value outside of a key"},
        {h + "[-HKCU\\A]\r\n\"x\"=\"1\"\r\n", "test.reg: line 4: value under a deleted key"},
        {h + k + "\"x\"=dword:123456789\r\n", "test.reg: line 4: invalid dword value"},
        {h + k + "\"x\"=dword:\r\n", "test.reg: line 4: invalid dword value"},
        {h + k + "\"x\"=hex:01,0g\r\n", "test.reg: line 4: invalid hex byte"},
        {h + k + "\"x\"=hex:01,,02\r\n", "test.reg: line 4: invalid hex byte"},
        {h + k + "\"x\"=hex:100\r\n", "test.reg: line 4: invalid hex byte"},
        {h + k + "\"x\"=hex(zz):01\r\n", "test.reg: line 4: invalid value type in hex(...)"},
        {h + k + "\"x\"=hex(2:01\r\n", "test.reg: line 4: invalid value type in hex(...)"},
        {h + k + "\r\n\"x\"=hex:01,\\\r\n", "test.reg: line 5: the value continues past the end of the file"},
        {h + k + "\"x\"=qword:1\r\n", "test.reg: line 4: unknown value data"},
        {h + k + "\"x\"=\"1\" junk\r\n", "test.reg: line 4: unexpected text after the value"},
        {h + k + "\"x\"=- 1\r\n", "test.reg: line 4: unexpected text after the value"},
        {h + k + "x=1\r\n", "test.reg: line 4: expected a key, a value or a comment"},
        {h + k + "\"a\rb\"=\"1\"\r\n", "test.reg: line 4: value name holds a control character"},
        {"\xFE\xFFxx", "test.reg: line 1: UTF-16 big-endian text is not supported"},
        {"\xFF\xFEW", "test.reg: line 1: the UTF-16 text ends in half a character"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseError(c.text), c.error) << c.text;
}

// Every kind of value goes out and comes back exactly, including what plain text lines
// cannot carry.
TEST(RegFileTest, WriterOutputReadsBackExactly) {
    CRegKey tree("HKEY_CURRENT_USER");
    CRegKey& key = tree.Create({"Software", "Norvik", "Tavora"});
    key.SetValue({"", REG_SZ, Utf16("default")});
    key.SetValue({"Quote \"and\" \\back\\", REG_SZ, Utf16("C:\\dir\\\"x\"\\")});
    key.SetValue({"Lines", REG_SZ, Utf16("one\r\ntwo")});
    key.SetValue({"NoEnd", REG_SZ, Bytes({0x41, 0})});
    key.SetValue({"Odd", REG_EXPAND_SZ, Bytes({0x25, 0, 0x41})});
    key.SetValue({"Surrogate", REG_SZ, Bytes({0x00, 0xD8, 0, 0})});
    key.SetValue({"Exp", REG_EXPAND_SZ, Utf16("%HOME%\\x")});
    key.SetValue({"Multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 0, 0})});
    key.SetValue({"Num", REG_DWORD, Bytes({0x1f, 0, 0, 0})});
    key.SetValue({"ShortNum", REG_DWORD, Bytes({1, 2, 3})});
    key.SetValue({"Empty", REG_BINARY, {}});
    key.SetValue({"Type99", 0x99, Bytes({1})});
    std::vector<uint8_t> big(1000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
    key.SetValue({"Big", REG_BINARY, big});
    key.SetValue({std::string(120, 'N'), REG_BINARY, big});
    key.SetValue({"\xC3\x9C\xC3\xB1\xC3\xAF", REG_SZ, Utf16("\xE6\x97\xA5 \xF0\x9F\x98\x80")});
    tree.Create({"Software", "Empty Key"});
    tree.Create({"Software", "Brackets ]["});

    std::string text = WriteRegFile(tree, "HKEY_CURRENT_USER");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER]\r\n", 0),
              0u);
    for (const char* line :
         {"\r\n@=\"default\"\r\n",
          "\"Quote \\\"and\\\" \\\\back\\\\\"=\"C:\\\\dir\\\\\\\"x\\\"\\\\\"\r\n",
          "\"Num\"=dword:0000001f\r\n",
          "\"Exp\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\r\n",
          "\"Lines\"=hex(1):", "\"Type99\"=hex(99):01\r\n", "\"Empty\"=hex:\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // Hex lines stay within 80 columns, except a first line that a long name fills.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.rfind("\"NNNN", 0) == 0 || line.size() <= 80 + 1) << line;  // with its '\r'
    auto back = Load(text);
    EXPECT_TRUE(back->SameTree(tree));
    EXPECT_EQ(WriteRegFile(*back, "HKEY_CURRENT_USER"), text);
    // LF line ends read back the same.
    EXPECT_TRUE(Load(WriteRegFile(tree, "HKEY_CURRENT_USER", "\n"))->SameTree(tree));
}

// No input crashes or hangs the parser; whatever it accepts, the writer reproduces.
TEST(RegFileTest, SurvivesRandomAndDamagedInput) {
    std::mt19937 rng(20240601);
    const std::string valid =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n"
        "\"s\"=\"x\\\\y\"\r\n@=dword:00000010\r\n\"h\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n"
        "[-HKCU\\A\\C]\r\n[HKLM\\M]\r\n\"d\"=-\r\n\"e\"=hex:\r\n";
    const std::string alphabet = "[]\\\"@=-:,;()hexdword0123456789abcdefHKCU\r\n \t\xFF\xFE\x00";
    for (int round = 0; round < 30000; ++round) {
        std::string input;
        if (round % 3 == 0) {  // random bytes
            input.resize(rng() % 600);
            for (char& ch : input) ch = char(rng());
            if (rng() % 2) input.insert(0, "Windows Registry Editor Version 5.00\n");
        } else if (round % 3 == 1) {  // random text over the format's own characters
            input = "REGEDIT4\n";
            for (size_t n = rng() % 300; n > 0; --n) input += alphabet[rng() % alphabet.size()];
        } else {  // a valid file damaged: flipped bytes, then maybe cut short
            input = valid;
            for (int flips = 1 + int(rng() % 4); flips > 0; --flips)
                input[rng() % input.size()] = char(rng());
            if (rng() % 2) input.resize(rng() % input.size());
        }
        RegFileDocument doc;
        std::string error;
        if (!ParseRegFile(input, "fuzz.reg", doc, error)) {
            EXPECT_EQ(error.rfind("fuzz.reg: line ", 0), 0u) << error;
            continue;
        }
        for (RegRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            CRegKey tree(RootName(root));
            ApplyRegFile(doc, root, tree);
            std::string written = WriteRegFile(tree, RootName(root));
            RegFileDocument again;
            ASSERT_TRUE(ParseRegFile(written, "again.reg", again, error)) << error << "\n"
                                                                          << written;
            CRegKey back(RootName(root));
            ApplyRegFile(again, root, back);
            EXPECT_TRUE(back.SameTree(tree)) << written;
        }
    }
}

TEST(RegFileTest, TextEncodingsAndVariableExpansion) {
    EXPECT_EQ(Cp1252ToUtf8("\x80\x81\x9F\xE9"), "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC3\xA9");
    EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_TRUE(IsValidUtf8("eight by\xC3\xA9tes and more ASCII after it"));
    // Bad bytes behind runs of ASCII that are read eight at a time.
    for (std::string bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80",
                            "abcdefgh\xC0\x80", "abcdefghijklmnop\x80", "abcdefg\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
    std::vector<uint8_t> pair = Utf16("\xF0\x9F\x98\x80", false);
    EXPECT_EQ(pair, Bytes({0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(Utf16LeToUtf8(pair.data(), pair.size(), true), "\xF0\x9F\x98\x80");
    std::vector<uint8_t> lone = Bytes({0x41, 0, 0x00, 0xDC, 0x42, 0, 0, 0, 0x43, 0, 0x44});
    EXPECT_EQ(Utf16LeToUtf8(lone.data(), lone.size(), true),
              "A\xEF\xBF\xBD"
              "B");
    std::string strict;
    EXPECT_FALSE(Utf16LeToUtf8Strict(lone.data(), lone.size() - 1, strict));
    EXPECT_EQ(FoldCase("Outlook Express \xC3\xA4\xC3\xBF\xC4\xB1\xCF\x82\xD0\xB6"),
              "OUTLOOK EXPRESS \xC3\x84\xC5\xB8\xC4\xB1\xCE\xA3\xD0\x96");
    EXPECT_EQ(FoldCase("\xC4\xBA"), "\xC4\xB9");  // Latin Extended-A, odd-first pair

    // %VARIABLE% expansion.
    auto lookup = [](std::string_view name) -> std::optional<std::string> {
        if (name == "A") return std::string("alpha");
        if (name == "P") return std::string("%A%");
        return std::nullopt;
    };
    EXPECT_EQ(ExpandVariables("%A%\\x", lookup), "alpha\\x");
    EXPECT_EQ(ExpandVariables("x%A%%A%y", lookup), "xalphaalphay");
    EXPECT_EQ(ExpandVariables("%NOPE%\\%A%", lookup), "%NOPE%\\alpha");
    EXPECT_EQ(ExpandVariables("100%% and 5%", lookup), "100%% and 5%");
    EXPECT_EQ(ExpandVariables("%P%", lookup), "%A%");  // not expanded twice
    EXPECT_EQ(ExpandVariables("", lookup), "");

    ASSERT_TRUE(SetEnv("TAV_REGFILE_TEST_DIR", "/srv/mail"));
    EXPECT_EQ(ExpandEnvironmentStrings("%TAV_REGFILE_TEST_DIR%/Store"), "/srv/mail/Store");
    EXPECT_EQ(ExpandEnvironmentStrings("%Tav_RegFile_Test_Dir%"), "/srv/mail");
    EXPECT_EQ(ExpandEnvironmentStrings("%TAV_REGFILE_NOT_SET_ANYWHERE%"),
              "%TAV_REGFILE_NOT_SET_ANYWHERE%");
}
