// Helpers of the tavctl tests: a small repository built through the library, and a way to
// run tavctl commands in-process with captured output, environment and prompt answers.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BaselineView.h"
#include "CommandTable.h"
#include "ItemResolver.h"
#include "platform/Process.h"
#include "support/RepBuilder.h"

namespace clitest {

using tavtest::CTempDir;

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs tavctl commands with a fake environment and scripted prompt answers.
class CCli {
public:
    std::map<std::string, std::string> env;
    std::deque<std::string> answers;   // prompt answers; empty = no terminal
    std::vector<std::string> prompts;  // the prompts that were shown
    bool progress = false;             // as on a terminal
    std::optional<std::string> stdinLine;  // what standard input holds

    CliResult Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        tavctl::CCliContext ctx(out, err);
        ctx.getEnv = [this](const std::string& name) -> std::optional<std::string> {
            auto it = env.find(name);
            if (it == env.end()) return std::nullopt;
            return it->second;
        };
        ctx.readPassword = [this](const std::string& prompt) -> std::optional<std::string> {
            prompts.push_back(prompt);
            if (answers.empty()) return std::nullopt;
            std::string a = answers.front();
            answers.pop_front();
            return a;
        };
        ctx.readStdinLine = [this] { return stdinLine; };
        ctx.progress = progress;
        CliResult r;
        r.code = tavctl::RunTavctl(args, ctx);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // Runs `args` and expects exit status `code`, `errPart` in the error text and `outPart`
    // in the output.
    CliResult Expect(int code, const std::vector<std::string>& args, const std::string& errPart = "",
                     const std::string& outPart = "") {
        CliResult r = Run(args);
        EXPECT_EQ(r.code, code) << (args.empty() ? "" : args[0]) << ": " << r.out << r.err;
        EXPECT_NE(r.err.find(errPart), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(outPart), std::string::npos) << r.out;
        return r;
    }
    // Runs `args` and expects success without an error text.
    CliResult Ok(const std::vector<std::string>& args) {
        CliResult r = Expect(0, args);
        EXPECT_EQ(r.err, "");
        return r;
    }
};

using tavtest::Contains;
using tavtest::FlipByte;
using tavtest::RandomBytes;
using tavtest::StoreChunkTable;

// A backup run that never commits: the repository object goes away inside its transaction,
// after storing `bytes` in a fresh image.
inline void LeaveUncommittedRun(const std::string& path, const TavImageSecurity& security,
                                const std::string& bytes) {
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(path, &security), 1);
    ASSERT_NE(rep.StartFreshImage(), TAV_NONE);
    ASSERT_EQ(rep.BeginTrans(5000), 1);
    ASSERT_NE(rep.AddContent(bytes.data(), uint32_t(bytes.size()), {0, 0}).offset, 0u);
}

// The text of the run log whose path a backup summary names on its "Run log" line.
inline std::string RunLogText(const std::string& summary) {
    const size_t from = summary.find('/', summary.find("Run log"));
    EXPECT_NE(from, std::string::npos) << summary;
    return from == std::string::npos
               ? ""
               : tavtest::ReadFile(summary.substr(from, summary.find('\n', from) - from));
}

// The modules the build puts beside the programs (bin/../lib/modules).
inline std::string BuiltModules() {
    return plat::DirName(plat::DirName(plat::ExecutablePath())) + "/lib/modules";
}

// Lets the hub find the built modules (TAVORA_MODULE_PATH unset); fails when `module` is
// missing. Call it as ASSERT_NO_FATAL_FAILURE(UseBuiltModules()).
inline void UseBuiltModules(const std::string& module = "filesmodule") {
    if (plat::GetEnv("TAVORA_MODULE_PATH")) plat::SetEnv("TAVORA_MODULE_PATH", "");
    ASSERT_TRUE(plat::PathExists(BuiltModules() + "/" + module + ".so")) << module << " is not built";
}

inline TavFindData FindData(const std::string& name, uint64_t size, uint32_t attributes) {
    TavFindData fd = tavtest::FileData(name, size, attributes);
    fd.written = TavFileTime::FromTicks(133000000000000000ull);  // 2022-06-18 04:26:40 UTC
    return fd;
}

constexpr uint32_t MODULE_OE_ROOT = MakeFourCC('o', 'e', 'r', 't');
constexpr uint32_t MODULE_OE_IDENTITY = MakeFourCC('o', 'e', 'i', 'd');
constexpr uint32_t MODULE_OE_STORE = MakeFourCC('o', 'e', 'm', 'g');
constexpr uint32_t MODULE_OE_ITEM = MakeFourCC('o', 'e', 'i', 't');
constexpr const char* IDENTITY = "{6A3E0B5C-1F2D-4C3B-9E8A-0123456789AB}";

// A repository with two baselines:
//   1 (Full): Files and Folders with /home/ann/docs {a.txt "alpha", lnk -> a.txt,
//     sub {b.bin, 100000 random bytes}} and /etc/app.conf; Outlook Express with one
//     identity holding <msgroot>/Inbox.dbx (a chunk table of two chunks) and "Rules".
//   2 (Incremental): a.txt replaced, /etc/app.conf deleted.
class CTestRepo {
public:
    explicit CTestRepo(const char* password = nullptr, uint32_t encryption = ENCRYPT_NONE)
        : builder(dir / "job.tvr", tavtest::Security(password, encryption)),
          path(builder.path),
          security(builder.security) {
        builder.Baseline([&] { First(); }, {.description = "first run"});
        builder.Baseline([&] { Second(); }, {.name = "Scheduled Backup", .type = 0x10002000});
    }

    void First() {
        tavtest::CRepBuilder& b = builder;
        const uint32_t files = b.Root("Files and Folders", MODULE_FILES_ROOT);
        const uint32_t docs = b.Folder(files, "/home/ann/docs");
        b.File(docs, "a.txt", "alpha");
        b.File(docs, "lnk", "a.txt", TAV_ATTR_ARCHIVE | TAV_ATTR_REPARSE_POINT);
        b.File(b.Folder(docs, "sub"), "b.bin", big);
        b.File(files, "/etc/app.conf", "key=value\n");

        const uint32_t oe = b.Root("Outlook Express", MODULE_OE_ROOT);
        const uint32_t identity = b.Folder(oe, IDENTITY, MODULE_OE_IDENTITY);
        b.MessageStore(b.Folder(identity, "<msgroot>", MODULE_OE_STORE), "Inbox.dbx", dbx, MODULE_OE_STORE);
        b.File(identity, "Rules", rules, TAV_ATTR_ARCHIVE, MODULE_OE_ITEM);
    }

    void Second() {
        CTavRepBaselineDetails& t = builder.Table();
        TavNodeRec node;
        for (uint32_t id = 0; t.LoadNode(node, id) == 1; id += NODE_REC_SIZE) {
            const std::string name = tavctl::NodeName(node);
            if (name == "a.txt") {
                const std::string source = dir / "src-a2";
                EXPECT_TRUE(tavtest::WriteFile(source, "alpha, second version"));
                TavFindData fd = FindData("a.txt", 21, TAV_ATTR_ARCHIVE);
                EXPECT_EQ(builder.Rep().UpdateNode(&t, node, &fd, source.c_str(), {0, 0}, nullptr), 1);
            } else if (name == "/etc/app.conf") {
                EXPECT_EQ(builder.Rep().DeleteNode(&t, id), 1);
            }
        }
    }

    // The node an item name resolves to in baseline `number`.
    TavNodeRec Node(uint32_t number, const std::string& item) {
        CTavRepository rep;
        EXPECT_EQ(rep.Attach(path, &security), 1);
        tavctl::CBaselineView view(rep.LoadBaseline(number), number);
        tavctl::ResolvedItem found;
        std::string problem;
        EXPECT_TRUE(tavctl::ResolveItem(view, item, found, problem)) << problem;
        return found.node;
    }

    std::string ImagePath(uint32_t image) const { return tavtest::ImagePath(path, image); }

    CTempDir dir;
    tavtest::CRepBuilder builder;
    const std::string path;
    const TavImageSecurity security;
    const std::string big = RandomBytes(100000, 11);
    const std::string dbx = RandomBytes(32768 + 1000, 12);
    const std::string rules = [] {
        std::string s = "REGEDIT4\r\n";
        for (int i = 0; i < 100; ++i)
            s += "[HKEY_CURRENT_USER\\Identities\\Rules\\" + std::to_string(i) + "]\r\n";
        return s;
    }();
};

}  // namespace clitest
