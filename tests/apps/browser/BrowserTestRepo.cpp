// Browser test helpers.
#include "BrowserTestRepo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <sstream>

#include "CommandTable.h"
#include "tavrep/BaselineDetails.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"
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

std::string ReadFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
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
    const std::string path = dir + "/lib.tvr";
    TavImageSecurity security;
    InitTavImageSecure(&security, password, COMPRESS_DEFLATE, -1,
                       ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE);
    CTavRepository::CreateRepository(path, &security, 0, {0, 0});
    CTavRepository rep;
    rep.Attach(path, &security);
    rep.StartFreshImage();
    CTavRepBaselineDetails* table = rep.LoadBaseline(rep.GetLatestBaselineNumber());
    rep.BeginTrans(5000);
    auto addRoot = [&](const char* name, uint32_t module) {
        TavNodeRec* root = CTavRepository::CreateNode();
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY | NODE_TOUCHED;
        root->moduleId = module;
        Utf8ToUtf16Field(name, root->name, NODE_NAME_CHARS);
        const uint32_t id = table->AddNode(*root, 1);
        CTavRepository::DisposeNode(root);
        return id;
    };
    const uint32_t files = addRoot("Files and Folders", MODULE_FILES_ROOT);
    TavFindData folder;
    folder.name = "/big";
    folder.attributes = TAV_ATTR_DIRECTORY;
    const uint32_t big = rep.AddNode(table, files, MODULE_FILES_ITEM, &folder, nullptr, 0, {0, 0}, nullptr);
    TavFindData huge;
    huge.name = "huge.bin";
    huge.attributes = TAV_ATTR_ARCHIVE;
    huge.SetSize(5ull << 30);
    rep.AddNode(table, big, MODULE_FILES_ITEM, &huge, nullptr, 0, {0, 0}, nullptr);
    const std::string source = dir + "/small.src";
    WriteFile(source, "small\n");
    TavFindData small;
    small.name = "small.txt";
    small.attributes = TAV_ATTR_ARCHIVE;
    small.SetSize(6);
    rep.AddNode(table, big, MODULE_FILES_ITEM, &small, source.c_str(), 0, {0, 0}, nullptr);
    if (stopRoot) addRoot("Stop Root", MakeFourCC('s', 't', 'r', 't'));
    rep.SaveBaseline(table, "Manual Backup", "library", 0x10001000);
    rep.CommitTrans();
    table->Dispose();
    return path;
}

CTlcDataProvider* Child(CTlcDataProvider* parent, const std::string& name) {
    if (parent == nullptr) return nullptr;
    parent->EnsureChildren();
    for (CTlcDataProvider* child : parent->Children())
        if (child->Name() == name) return child;
    return nullptr;
}

}  // namespace browsertest
