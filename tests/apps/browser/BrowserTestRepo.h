// Helpers of the browser tests: a private settings folder and module path, repositories
// made by tavctl or through the library, and reading a restored tree back.
#pragma once
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tavrep/TavTypes.h"

class CTlcDataProvider;

namespace browsertest {

// Sets TAVORA_HOME to a fresh folder and TAVORA_MODULE_PATH to the build's modules and the
// test module; the folder lives as long as the object.
class CTestEnvironment {
public:
    CTestEnvironment();
    std::string Home() const { return m_home.path().toStdString(); }
    std::string MachineReg() const { return Home() + "/machine.reg"; }

private:
    QTemporaryDir m_home;
};

// Runs tavctl in this process; the exit code (output in `out` when given).
int Tavctl(const std::vector<std::string>& args, std::string* out = nullptr);

bool WriteFile(const std::string& path, const std::string& bytes);
using tavtest::ReadFile;
// Every regular file below `dir` by its path relative to `dir`, with its bytes.
std::map<std::string, std::string> ReadTree(const std::string& dir);

// data/ with files of 1024, 1025, 1 MiB and 1 MiB + 1 bytes and sub/ and keep/ folders,
// backed up twice by tavctl (a.txt changed and new.txt added before the second run).
// Returns the repository path; `data` gets the data folder.
std::string MakeTavctlRepo(const std::string& dir, std::string& data);

// A repository made through the library: one baseline whose Files and Folders root holds
// "/big" with "huge.bin" of 5 GiB (no content) and "small.txt"; and a root of the test
// module ("strt") when `stopRoot`. With a password when given.
std::string MakeLibraryRepo(const std::string& dir, const char* password, bool stopRoot = false);

// The child of `parent` named `name` (listing it first), or null.
CTlcDataProvider* Child(CTlcDataProvider* parent, const std::string& name);

}  // namespace browsertest
