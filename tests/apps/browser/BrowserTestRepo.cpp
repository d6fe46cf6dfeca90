// Browser test helpers.
#include "BrowserTestRepo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <sstream>

#include "CommandTable.h"
#include "support/RepBuilder.h"
#include "tavui/TlcDataProvider.h"

namespace browsertest {

CTestEnvironment::CTestEnvironment() {
    qputenv("TAVORA_HOME", m_home.path().toUtf8());
    qputenv("TAVORA_MODULE_PATH", QByteArray(TAV_MODULES_DIR) + ":" + TAV_TEST_MODULES_DIR);
    qputenv("XDG_DOCUMENTS_DIR", (m_home.path() + "/Documents").toUtf8());
}

int Tavctl(const std::vector<std::string>& args, std::string* out) {
    std::ostringstream o, e;
    tavctl::CCliContext ctx(o, e);
    ctx.getEnv = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
    ctx.readPassword = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
    const int code = tavctl::RunTavctl(args, ctx);
    if (out != nullptr) *out = o.str() + e.str();
    return code;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

std::map<std::string, std::string> ReadTree(const std::string& dir) {
    std::map<std::string, std::string> files;
    const QDir base(QString::fromStdString(dir));
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[base.relativeFilePath(path).toStdString()] = ReadFile(path.toStdString());
    }
    return files;
}

std::string MakeTavctlRepo(const std::string& dir, std::string& data) {
    data = dir + "/data";
    WriteFile(data + "/a.txt", std::string(1024, 'a'));
    WriteFile(data + "/b.txt", std::string(1025, 'b'));
    WriteFile(data + "/c.bin", std::string(1 << 20, 'c'));
    WriteFile(data + "/d.bin", std::string((1 << 20) + 1, 'd'));
    WriteFile(data + "/sub/deep.txt", "deep\n");
    WriteFile(data + "/keep/k.txt", "keep\n");
    const std::string job = dir + "/test.tvj";
    QDir().mkpath(QString::fromStdString(dir + "/repo"));
    Tavctl({"job", "new", job, "-l", dir + "/repo", "-n", "store"});
    Tavctl({"job", "add", job, data});
    Tavctl({"backup", job});
    WriteFile(data + "/a.txt", std::string(1024, 'A'));
    WriteFile(data + "/new.txt", "new\n");
    Tavctl({"backup", job});
    return dir + "/repo/store.tvr";
}

std::string MakeLibraryRepo(const std::string& dir, const char* password, bool stopRoot) {
    tavtest::CRepBuilder b(dir + "/lib.tvr", tavtest::Security(password, ENCRYPT_BUILTIN));
    b.Baseline([&] {
        const uint32_t big = b.Folder(b.Root("Files and Folders", MODULE_FILES_ROOT), "/big");
        TavFindData huge = tavtest::FileData("huge.bin", 5ull << 30, TAV_ATTR_ARCHIVE);
        b.Rep().AddNode(&b.Table(), big, MODULE_FILES_ITEM, &huge, nullptr, 0, {0, 0}, nullptr);
        b.File(big, "small.txt", "small\n");
        if (stopRoot) b.Root("Stop Root", MakeFourCC('s', 't', 'r', 't'));
    }, {.description = "library"});
    return b.path;
}

CTlcDataProvider* Child(CTlcDataProvider* parent, const std::string& name) {
    if (parent == nullptr) return nullptr;
    parent->EnsureChildren();
    for (CTlcDataProvider* child : parent->Children())
        if (child->Name() == name) return child;
    return nullptr;
}

}  // namespace browsertest
