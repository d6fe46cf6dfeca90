// Loading the host window's plug-in when a display is there.
#include "WindowLoader.h"

#include "platform/DynLib.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace cmdhost {

namespace {

bool Set(const char* name) { return !plat::GetEnv(name).value_or("").empty(); }

}  // namespace

bool DisplayAvailable() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }

std::string WindowPluginPath() {
    const std::string bin = plat::DirName(plat::ExecutablePath());
    return plat::DirName(bin) + "/lib/tavora/TavCmdHostWindow.so";
}

bool RunWindowIfDisplay(const std::vector<std::string>& argv, int& status) {
    if (!DisplayAvailable()) return false;
    // Stays loaded until the process ends: Qt keeps handlers that outlive the window.
    static plat::CDynLib* plugin = new plat::CDynLib;
    if (!plugin->Loaded() && !plugin->Load(WindowPluginPath())) return false;
    auto entry = reinterpret_cast<WindowEntry>(plugin->Symbol(WINDOW_ENTRY));
    if (entry == nullptr) return false;
    std::vector<std::string> copy = argv;
    std::vector<char*> pointers;
    for (std::string& a : copy) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const int result = entry(int(copy.size()), pointers.data());
    if (result == WINDOW_UNAVAILABLE) return false;
    status = result;
    return true;
}

}  // namespace cmdhost
