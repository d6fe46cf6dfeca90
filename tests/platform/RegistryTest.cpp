// CRegistry: keys and values of the settings store, its files on disk, sharing between
// instances and processes, damaged files, export and import.
#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/SysError.h"
#include "support/TempDir.h"

using namespace plat;

namespace {

constexpr const char* CHILD_FLAG = "TAV_REGISTRY_TEST_CHILD";
constexpr const char* TAVORA_KEY = "Software\\Norvik\\Tavora";

void WriteText(const std::string& path, const std::string& text) { ASSERT_TRUE(tavtest::WriteFile(path, text)); }

// A value read back; "?" or 0xBAD when it cannot be read as one of that type.
std::string String(CRegistry& reg, const std::string& name) {
    std::string text;
    return reg.ReadString(name, text) ? text : "?";
}
uint32_t Number(CRegistry& reg, const std::string& name) {
    uint32_t number = 0;
    return reg.ReadNumber(name, number) ? number : 0xBAD;
}

// The error a call on `reg` left behind, ERR_NONE when it succeeded.
uint32_t ErrorOf(const CRegistry& reg, bool ok) { return ok ? ERR_NONE : reg.LastError(); }

class RegistryTest : public ::testing::Test {
protected:
    std::string UserFile() const { return JoinPath(m_home, "user.reg"); }
    std::string MachineFile() const { return JoinPath(m_home, "machine.reg"); }

    tavtest::CTempDir m_tmp;
    const std::string m_dir = m_tmp.Path();
    const std::string m_home = m_tmp / "home";
    tavtest::CEnvOverride m_homeEnv{"TAVORA_HOME", m_home};
    tavtest::CEnvOverride m_runtimeEnv{"XDG_RUNTIME_DIR", m_dir};  // the stores' lock files
};

}  // namespace

TEST_F(RegistryTest, KeysAndValuesRoundTrip) {
    CRegistry reg;
    ASSERT_TRUE(reg.Open(HKEY_LOCAL_MACHINE, TAVORA_KEY)) << reg.ErrorText();
    EXPECT_EQ(reg.GetCurrentKey(), "HKEY_LOCAL_MACHINE\\Software\\Norvik\\Tavora");
    EXPECT_TRUE(reg.WriteString("ImageLocation", "/home/u/Backups \xC3\xA9"));
    EXPECT_TRUE(reg.WriteString("Store Root", "%HOME%/mail", REG_EXPAND_SZ));
    EXPECT_TRUE(reg.WriteNumber("Encoding", 31));
    EXPECT_TRUE(reg.WriteMultiString("List", {"a", "b c"}));
    EXPECT_TRUE(reg.WriteBinary("Blob", {0, 1, 255}));
    EXPECT_TRUE(reg.WriteString("", "default"));

    EXPECT_EQ(String(reg, "imagelocation"), "/home/u/Backups \xC3\xA9");
    EXPECT_EQ(String(reg, "Store Root"), "%HOME%/mail");  // stored unexpanded
    EXPECT_EQ(Number(reg, "ENCODING"), 31u);
    EXPECT_TRUE(reg.WriteNumber("Encoding", 0xFFFFFFFF));
    EXPECT_EQ(Number(reg, "Encoding"), 0xFFFFFFFFu);
    std::vector<std::string> list;
    EXPECT_TRUE(reg.ReadMultiString("List", list));
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b c"}));
    std::vector<uint8_t> data;
    uint32_t type = 0;
    EXPECT_TRUE(reg.ReadBinary("Blob", data, &type));
    EXPECT_EQ(data, (std::vector<uint8_t>{0, 1, 255}));
    EXPECT_EQ(type, REG_BINARY);

    // Wrong types and missing values fail without touching the output.
    std::string text;
    uint32_t number = 7;
    EXPECT_FALSE(reg.ReadNumber("ImageLocation", number));
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(reg.LastError(), ERR_INVALID_PARAMETER);
    EXPECT_FALSE(reg.ReadString("Encoding", text));
    EXPECT_EQ(ErrorOf(reg, reg.ReadString("Missing", text)), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.ErrorText(),
              "HKEY_LOCAL_MACHINE\\Software\\Norvik\\Tavora: no value \"Missing\"");

    // Values enumerate in the order of their first setting.
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; reg.EnumValue(i, name, &type); ++i) names.push_back(name);
    EXPECT_EQ(reg.LastError(), ERR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"ImageLocation", "Store Root", "Encoding", "List",
                                               "Blob", ""}));
    EXPECT_TRUE(reg.DeleteValue("store root"));
    EXPECT_EQ(ErrorOf(reg, reg.DeleteValue("Store Root")), ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(reg.ReadString("Store Root", text));
}

TEST_F(RegistryTest, SubkeysEnumerateWithoutCaseAndDeleteAsSubtrees) {
    CRegistry reg;
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, "Identities"));
    for (const char* sub : {"{B-2}\\Software\\Microsoft\\Outlook Express\\5.0", "{a-1}", "{C-3}"}) {
        CRegistry child;
        ASSERT_TRUE(child.Open(HKEY_CURRENT_USER, std::string("Identities\\") + sub));
    }
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; reg.EnumKey(i, name); ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"{a-1}", "{B-2}", "{C-3}"}));

    // Opening in another case finds the key and reports its stored case.
    CRegistry oe;
    ASSERT_TRUE(oe.Open(HKEY_CURRENT_USER,
                        "IDENTITIES\\{b-2}\\software\\microsoft\\OUTLOOK EXPRESS", false));
    EXPECT_EQ(oe.GetCurrentKey(),
              "HKEY_CURRENT_USER\\Identities\\{B-2}\\Software\\Microsoft\\Outlook Express");
    ASSERT_TRUE(oe.EnumKey(0, name));
    EXPECT_EQ(name, "5.0");
    EXPECT_FALSE(oe.EnumKey(1, name));

    EXPECT_TRUE(reg.DeleteKey("{B-2}\\Software"));
    EXPECT_EQ(ErrorOf(oe, oe.EnumKey(0, name)), ERR_KEY_DELETED);  // the open key went with its parent
    EXPECT_FALSE(oe.WriteNumber("x", 1));  // and is not made again by a write
    CRegistry probe;
    EXPECT_FALSE(probe.Open(HKEY_CURRENT_USER, "Identities\\{B-2}\\Software", false));
    EXPECT_TRUE(probe.Open(HKEY_CURRENT_USER, "Identities\\{B-2}", false));
    EXPECT_EQ(ErrorOf(reg, reg.DeleteKey("{B-2}\\Software")), ERR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, OpenWithoutCreateAndBadArgumentsChangeNothing) {
    CRegistry reg;
    EXPECT_EQ(ErrorOf(reg, reg.Open(HKEY_CURRENT_USER, TAVORA_KEY, false)), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.ErrorText(), "HKEY_CURRENT_USER\\Software\\Norvik\\Tavora: no such key");
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(reg.GetCurrentKey(), "");
    EXPECT_FALSE(PathExists(UserFile()));
    EXPECT_FALSE(reg.WriteNumber("x", 1));  // nothing open

    EXPECT_EQ(ErrorOf(reg, reg.Open(HKEY_CURRENT_USER, "A\\\\B")), ERR_INVALID_PARAMETER);
    EXPECT_FALSE(reg.OpenKey("HKEY_USERS\\A", true));
    EXPECT_EQ(reg.ErrorText(), "\"HKEY_USERS\\A\": unsupported root key \"HKEY_USERS\"");
    ASSERT_TRUE(reg.OpenKey("HKCU\\Software\\Norvik", true));
    EXPECT_EQ(reg.GetCurrentKey(), "HKEY_CURRENT_USER\\Software\\Norvik");
    EXPECT_FALSE(reg.WriteString("bad", "\xC3("));  // not UTF-8
    EXPECT_FALSE(reg.WriteString("bad", std::string("a\0b", 3)));
    EXPECT_FALSE(reg.WriteString("line\nbreak", "x"));
    EXPECT_FALSE(reg.WriteString("bad", "x", REG_DWORD));
    EXPECT_EQ(ErrorOf(reg, reg.WriteMultiString("bad", {"a", ""})), ERR_INVALID_PARAMETER);
    std::string name;
    EXPECT_FALSE(reg.EnumValue(0, name));

    CRegistry root;
    ASSERT_TRUE(root.Open(HKEY_CURRENT_USER, ""));
    EXPECT_EQ(root.GetCurrentKey(), "HKEY_CURRENT_USER");
}

TEST_F(RegistryTest, EachRootHasItsOwnFileInTheSettingsFolderSharedByInstancesAndProcesses) {
    {
        CRegistry user, machine;
        ASSERT_TRUE(user.Open(HKEY_CURRENT_USER, TAVORA_KEY));
        ASSERT_TRUE(machine.Open(HKEY_LOCAL_MACHINE, TAVORA_KEY));
        ASSERT_TRUE(user.WriteString("ExcludedPaths", "/tmp;/proc;"));
        ASSERT_TRUE(machine.WriteNumber("Encoding", 16));
    }
    std::string userText = tavtest::ReadFile(UserFile());
    EXPECT_EQ(userText,
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Norvik]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora]\n"
              "\"ExcludedPaths\"=\"/tmp;/proc;\"\n\n");
    EXPECT_NE(tavtest::ReadFile(MachineFile()).find("\"Encoding\"=dword:00000010\n"),
              std::string::npos);
    EXPECT_EQ(userText.find("Encoding"), std::string::npos);

    CRegistry again;
    ASSERT_TRUE(again.Open(HKEY_CURRENT_USER, TAVORA_KEY, false));
    EXPECT_EQ(String(again, "ExcludedPaths"), "/tmp;/proc;");
    EXPECT_EQ(Number(again, "Encoding"), 0xBADu);

    // Another process replaces the file: the change is seen, and a later write keeps it.
    ASSERT_TRUE(again.WriteNumber("Mine", 1));
    std::string text = tavtest::ReadFile(UserFile());
    text += "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora]\r\n\"Theirs\"=\"by hand\"\r\n";
    WriteText(UserFile() + ".new", text);
    ASSERT_TRUE(RenameFile(UserFile() + ".new", UserFile()));
    EXPECT_EQ(String(again, "Theirs"), "by hand");
    ASSERT_TRUE(again.WriteNumber("Mine", 2));
    EXPECT_EQ(String(again, "Theirs"), "by hand");
    EXPECT_NE(tavtest::ReadFile(UserFile()).find("\"Theirs\"=\"by hand\""), std::string::npos);

    // The files' folder follows the environment.
    EXPECT_EQ(RegistryFilePath(HKEY_CURRENT_USER), UserFile());
    EXPECT_EQ(RegistryFilePath(HKEY_LOCAL_MACHINE), MachineFile());
    tavtest::CEnvOverride tavoraHome("TAVORA_HOME", ""), home("HOME", JoinPath(m_dir, "h"));
    tavtest::CEnvOverride xdg("XDG_CONFIG_HOME", JoinPath(m_dir, "xdg"));
    EXPECT_EQ(RegistryFolder(), JoinPath(m_dir, "xdg/tavora"));
    SetEnv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(RegistryFolder(), JoinPath(m_dir, "h/.config/tavora"));
}

// The child half of the next tests: runs only when started by them, with the child's
// number in CHILD_FLAG.
TEST(RegistryChild, WritesValues) {
    std::string id = GetEnv(CHILD_FLAG).value_or("");
    if (id.empty()) GTEST_SKIP() << "started by the ChildProcess tests only";
    CRegistry reg;
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, TAVORA_KEY));
    uint32_t seen = 0;
    ASSERT_TRUE(reg.ReadNumber("FromParent", seen));
    for (uint32_t i = 0; i < 20; ++i) {
        ASSERT_TRUE(reg.WriteNumber("Child" + id + "_" + std::to_string(i), seen + i))
            << reg.ErrorText();
    }
}

TEST_F(RegistryTest, ChildProcessesShareTheStoreWithoutLosingWrites) {
    CRegistry reg;
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, TAVORA_KEY));
    ASSERT_TRUE(reg.WriteNumber("FromParent", 100));
    const std::vector<std::string> argv = {ExecutablePath(),
                                           "--gtest_filter=RegistryChild.WritesValues"};
    CChildProcess first, second;
    ASSERT_TRUE(SetEnv(CHILD_FLAG, "1"));
    ASSERT_TRUE(first.Start(argv));
    ASSERT_TRUE(SetEnv(CHILD_FLAG, "2"));
    ASSERT_TRUE(second.Start(argv));
    SetEnv(CHILD_FLAG, "");
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
    for (const char* id : {"1", "2"}) {
        for (uint32_t i = 0; i < 20; ++i)
            EXPECT_EQ(Number(reg, std::string("Child") + id + "_" + std::to_string(i)), 100 + i) << reg.ErrorText();
    }
}

// A damaged settings file is reported with its line and never overwritten.
TEST_F(RegistryTest, DamagedFileFailsEveryAccessAndStaysAsItWas) {
    ASSERT_TRUE(CreateDirectories(m_home));
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"open\n";
    WriteText(UserFile(), damaged);
    CRegistry reg;
    EXPECT_EQ(ErrorOf(reg, reg.Open(HKEY_CURRENT_USER, "A")), ERR_REGISTRY_CORRUPT);
    EXPECT_EQ(reg.ErrorText(), UserFile() + ": line 4: unterminated string");
    EXPECT_FALSE(reg.Open(HKEY_CURRENT_USER, "B", true));
    std::string error;
    EXPECT_FALSE(CRegistry::ImportFile(UserFile(), error));
    EXPECT_EQ(tavtest::ReadFile(UserFile()), damaged);

    // The other root is unaffected; a key of the wrong root in a file is refused too.
    CRegistry machine;
    EXPECT_TRUE(machine.Open(HKEY_LOCAL_MACHINE, "A"));
    WriteText(UserFile(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n");
    EXPECT_FALSE(reg.Open(HKEY_CURRENT_USER, "A"));
    EXPECT_EQ(reg.ErrorText(), UserFile() +
                                   ": line 3: the key belongs to HKEY_LOCAL_MACHINE, not to "
                                   "HKEY_CURRENT_USER");

    // An empty file is an empty store.
    WriteText(UserFile(), "");
    EXPECT_EQ(ErrorOf(reg, reg.Open(HKEY_CURRENT_USER, "A", false)), ERR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ExportThenImportRestoresTheSubtreeAndAppliesDeletions) {
    const std::string oeKey =
        "HKEY_CURRENT_USER\\Identities\\{ID}\\Software\\Microsoft\\Outlook Express\\5.0";
    {
        CRegistry reg;
        ASSERT_TRUE(reg.OpenKey(oeKey + "\\Rules\\Mail\\000", true));
        ASSERT_TRUE(reg.WriteString("Name", "Move \"spam\" to C:\\Junk"));
        ASSERT_TRUE(reg.WriteNumber("Enabled", 1));
        ASSERT_TRUE(reg.WriteBinary("Criteria", std::vector<uint8_t>(300, 0xAB)));
        ASSERT_TRUE(reg.OpenKey(oeKey + "\\Rules\\Empty", true));
        ASSERT_TRUE(reg.OpenKey(oeKey, false));
        ASSERT_TRUE(reg.WriteString("Store Root", "%HOME%\\Store", REG_EXPAND_SZ));
    }
    std::string file = JoinPath(m_dir, "{ID}.Rules.reg");
    std::string error;
    // Exported with the key text in another case: the file names the stored case.
    ASSERT_TRUE(
        CRegistry::ExportKey("hkey_current_user\\identities\\{id}\\software\\microsoft\\"
                             "outlook express\\5.0\\rules",
                             file, error))
        << error;
    std::string exported = tavtest::ReadFile(file);
    EXPECT_EQ(
        exported.rfind("Windows Registry Editor Version 5.00\r\n\r\n[" + oeKey + "\\Rules]\r\n", 0),
        0u);
    EXPECT_EQ(exported.find("Store Root"), std::string::npos);

    CRegistry oe;
    ASSERT_TRUE(oe.OpenKey(oeKey));
    ASSERT_TRUE(oe.DeleteKey("Rules"));
    ASSERT_TRUE(CRegistry::ImportFile(file, error)) << error;
    std::string again = JoinPath(m_dir, "again.reg");
    ASSERT_TRUE(CRegistry::ExportKey(oeKey + "\\Rules", again, error)) << error;
    EXPECT_EQ(tavtest::ReadFile(again), exported);
    // A missing key exports nothing (tavctl's tests see an existing file left alone).
    EXPECT_FALSE(CRegistry::ExportKey(oeKey + "\\Nothing", JoinPath(m_dir, "none.reg"), error));
    EXPECT_FALSE(PathExists(JoinPath(m_dir, "none.reg")));

    // An import applies the deletions of its file, to both roots. (A file that fails halfway
    // changes nothing: tavctl's registry tests see to that.)
    CRegistry user, machine;
    ASSERT_TRUE(user.Open(HKEY_CURRENT_USER, "Software\\Norvik\\Old\\Deep"));
    ASSERT_TRUE(user.Open(HKEY_CURRENT_USER, TAVORA_KEY));
    ASSERT_TRUE(user.WriteNumber("Gone", 1));
    ASSERT_TRUE(user.WriteNumber("Kept", 2));
    EXPECT_FALSE(CRegistry::ImportFile(JoinPath(m_dir, "missing.reg"), error));
    EXPECT_NE(error.find("missing.reg"), std::string::npos);
    std::string good = JoinPath(m_dir, "good.reg");
    WriteText(good,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora]\n\"Gone\"=-\n\"New\"=dword:0000000a\n"
              "[-HKEY_CURRENT_USER\\Software\\Norvik\\Old]\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Norvik\\Tavora\\Browser]\n\"Verbose\"=dword:1\n");
    ASSERT_TRUE(CRegistry::ImportFile(good, error)) << error;
    EXPECT_EQ(Number(user, "Gone"), 0xBADu);
    EXPECT_EQ(Number(user, "Kept"), 2u);
    EXPECT_EQ(Number(user, "New"), 10u);
    EXPECT_FALSE(user.Open(HKEY_CURRENT_USER, "Software\\Norvik\\Old", false));
    ASSERT_TRUE(machine.Open(HKEY_LOCAL_MACHINE, "Software\\Norvik\\Tavora\\Browser", false));
    EXPECT_EQ(Number(machine, "Verbose"), 1u);
}
