// Starting the host window: a plug-in (TavCmdHostWindow.so) that links Qt, loaded only
// when a display is there, so that a run from cron or ssh never loads Qt.
#pragma once
#include <string>
#include <vector>

namespace cmdhost {

// The plug-in's entry: runs the command line with the window and returns the exit status,
// or WINDOW_UNAVAILABLE (before anything was run) when the window cannot start.
constexpr const char* WINDOW_ENTRY = "TavCmdHostWindowMain";
constexpr int WINDOW_UNAVAILABLE = -1;
using WindowEntry = int (*)(int argc, char** argv);

// True when a display is set ($DISPLAY, $WAYLAND_DISPLAY, or $QT_QPA_PLATFORM naming
// one, as tests and screenshots do).
bool DisplayAvailable();
// The plug-in beside the program: <bin>/../lib/tavora/TavCmdHostWindow.so.
std::string WindowPluginPath();
// With a display, loads the plug-in and runs `argv` in the window: true with the exit
// status in `status`. False when there is no display, the plug-in cannot be loaded or
// the window cannot start; nothing has been run then.
bool RunWindowIfDisplay(const std::vector<std::string>& argv, int& status);

}  // namespace cmdhost
