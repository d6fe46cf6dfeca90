// Helpers of the tavctl tests: a small repository built through the library, and a way to
// run tavctl commands in-process with captured output, environment and prompt answers.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BaselineView.h"
#include "CommandTable.h"
#include "ItemResolver.h"
#include "platform/TempDir.h"
#include "tavrep/MD5Checksum.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

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
};

inline std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

inline TavFindData FindData(const std::string& name, uint64_t size, uint32_t attributes) {
    TavFindData fd;
    fd.name = name;
    fd.attributes = attributes;
    fd.SetSize(size);
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
// A message store as the module keeps it: the chunks of 32 KiB stored one by one and a
// table of {position, MD5, zeros} records naming them; the table's position.
inline TavPosition StoreChunkTable(CTavRepository& rep, const std::string& content) {
    std::string table;
    for (size_t at = 0; at < content.size(); at += 32768) {
        const std::string chunk = content.substr(at, 32768);
        const TavPosition p = rep.AddContent(chunk.data(), uint32_t(chunk.size()), {0, 0});
        uint8_t record[40] = {};
        for (int i = 0; i < 4; ++i) {
            record[i] = uint8_t(p.image >> (8 * i));
            record[4 + i] = uint8_t(p.offset >> (8 * i));
        }
        CMD5Checksum::Hash(chunk.data(), chunk.size(), record + 8);
        table.append(reinterpret_cast<const char*>(record), 40);
    }
    return rep.AddContent(table.data(), uint32_t(table.size()), {0, 0});
}

class CTestRepo {
public:
    explicit CTestRepo(const char* password = nullptr, uint32_t encryption = ENCRYPT_NONE) {
        path = dir / "job.tvr";
        InitTavImageSecure(&security, password, COMPRESS_DEFLATE, -1, encryption,
                           TAV_DEFAULT_IMAGE_SIZE);
        EXPECT_EQ(CTavRepository::CreateRepository(path, &security, 0, {0, 0}), 1);
        {  // each run attaches anew, as the programs that run backups do
            CTavRepository rep;
            EXPECT_EQ(rep.Attach(path, &security), 1);
            Run(rep, "Manual Backup", "first run", 0x10001000,
                [&](CTavRepBaselineDetails& t) { First(rep, t); });
        }
        CTavRepository rep;
        EXPECT_EQ(rep.Attach(path, &security), 1);
        Run(rep, "Scheduled Backup", "", 0x10002000,
            [&](CTavRepBaselineDetails& t) { Second(rep, t); });
    }

    template <typename F>
    void Run(CTavRepository& rep, const char* name, const char* description, uint32_t type,
             F&& edit) {
        EXPECT_NE(rep.StartFreshImage(), TAV_NONE);
        CTavRepBaselineDetails* table = rep.LoadBaseline(rep.GetLatestBaselineNumber());
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        edit(*table);
        EXPECT_NE(rep.SaveBaseline(table, name, description, type), TAV_NONE);
        rep.CommitTrans();
        table->Dispose();
    }

    uint32_t AddRoot(CTavRepBaselineDetails& t, const char* name, uint32_t module) {
        TavNodeRec* root = CTavRepository::CreateNode();
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY | NODE_TOUCHED;
        root->moduleId = module;
        Utf8ToUtf16Field(name, root->name, NODE_NAME_CHARS);
        const uint32_t id = t.AddNode(*root, 1);
        CTavRepository::DisposeNode(root);
        return id;
    }

    uint32_t AddFolder(CTavRepository& rep, CTavRepBaselineDetails& t, uint32_t parent,
                       const std::string& name, uint32_t module = MODULE_FILES_ITEM) {
        TavFindData fd = FindData(name, 0, TAV_ATTR_DIRECTORY);
        return rep.AddNode(&t, parent, module, &fd, nullptr, 0, {0, 0}, nullptr);
    }

    uint32_t AddFile(CTavRepository& rep, CTavRepBaselineDetails& t, uint32_t parent,
                     const std::string& name, const std::string& content,
                     uint32_t attributes = TAV_ATTR_ARCHIVE, uint32_t module = MODULE_FILES_ITEM) {
        const std::string source = dir / ("src" + std::to_string(m_sources++));
        EXPECT_TRUE(tavtest::WriteFile(source, content));
        TavFindData fd = FindData(name, content.size(), attributes);
        if (attributes & TAV_ATTR_REPARSE_POINT) fd.linkTarget = content;  // stored as the content
        return rep.AddNode(&t, parent, module, &fd, source.c_str(), 0, {0, 0}, nullptr);
    }

    // A message store the way the Outlook Express engine keeps it: 32 KiB chunks stored
    // one by one, the node's content a table of {position, MD5, zeros} records.
    uint32_t AddMessageStore(CTavRepository& rep, CTavRepBaselineDetails& t, uint32_t parent,
                             const std::string& name, const std::string& content) {
        TavFindData fd = FindData(name, content.size(), TAV_ATTR_ARCHIVE);
        const uint32_t id =
            rep.AddNode(&t, parent, MODULE_OE_STORE, &fd, nullptr, 32768, {0, 0}, nullptr);
        TavNodeRec node;
        EXPECT_EQ(t.LoadNode(node, id), 1);
        node.content = StoreChunkTable(rep, content);
        CMD5Checksum md5;
        md5.Update(content.data(), content.size());
        md5.GetHash(node.fingerprint);
        node.flags |= NODE_HAS_FINGERPRINT;
        EXPECT_NE(t.UpdateNode(node), TAV_NONE);
        return id;
    }

    void First(CTavRepository& rep, CTavRepBaselineDetails& t) {
        const uint32_t files = AddRoot(t, "Files and Folders", MODULE_FILES_ROOT);
        const uint32_t docs = AddFolder(rep, t, files, "/home/ann/docs");
        AddFile(rep, t, docs, "a.txt", "alpha");
        AddFile(rep, t, docs, "lnk", "a.txt", TAV_ATTR_ARCHIVE | TAV_ATTR_REPARSE_POINT);
        const uint32_t sub = AddFolder(rep, t, docs, "sub");
        AddFile(rep, t, sub, "b.bin", big);
        AddFile(rep, t, files, "/etc/app.conf", "key=value\n");

        const uint32_t oe = AddRoot(t, "Outlook Express", MODULE_OE_ROOT);
        const uint32_t identity = AddFolder(rep, t, oe, IDENTITY, MODULE_OE_IDENTITY);
        const uint32_t msgroot = AddFolder(rep, t, identity, "<msgroot>", MODULE_OE_STORE);
        AddMessageStore(rep, t, msgroot, "Inbox.dbx", dbx);
        AddFile(rep, t, identity, "Rules", rules, TAV_ATTR_ARCHIVE, MODULE_OE_ITEM);
    }

    void Second(CTavRepository& rep, CTavRepBaselineDetails& t) {
        TavNodeRec node;
        for (uint32_t id = 0; t.LoadNode(node, id) == 1; id += NODE_REC_SIZE) {
            const std::string name = tavctl::NodeName(node);
            if (name == "a.txt") {
                const std::string source = dir / "src-a2";
                EXPECT_TRUE(tavtest::WriteFile(source, "alpha, second version"));
                TavFindData fd = FindData("a.txt", 21, TAV_ATTR_ARCHIVE);
                EXPECT_EQ(rep.UpdateNode(&t, node, &fd, source.c_str(), {0, 0}, nullptr), 1);
            } else if (name == "/etc/app.conf") {
                EXPECT_EQ(rep.DeleteNode(&t, id), 1);
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

    std::string ImagePath(uint32_t image) {
        std::string p;
        CTavRepository::BuildImagePath(p, path, image);
        return image == 0 ? path : p;
    }

    CTempDir dir;
    std::string path;
    TavImageSecurity security;
    const std::string big = RandomBytes(100000, 11);
    const std::string dbx = RandomBytes(32768 + 1000, 12);
    const std::string rules = [] {
        std::string s = "REGEDIT4\r\n";
        for (int i = 0; i < 100; ++i)
            s += "[HKEY_CURRENT_USER\\Identities\\Rules\\" + std::to_string(i) + "]\r\n";
        return s;
    }();

private:
    int m_sources = 0;
};

// Flips one byte of a file in place.
inline void FlipByte(const std::string& file, uint64_t offset) {
    std::string content = tavtest::ReadFile(file);
    ASSERT_LT(offset, content.size());
    content[offset] = char(content[offset] ^ 0x5A);
    ASSERT_TRUE(tavtest::WriteFile(file, content));
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace clitest
