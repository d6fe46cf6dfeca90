// The host window's plug-in entry: the command line run with the window and tray icon.
#include <QApplication>
#include <QTimer>

#include "CmdHostText.h"
#include "CommandLine.h"
#include "HostTray.h"
#include "HostWindow.h"
#include "RunSummary.h"
#include "WindowLoader.h"
#include "platform/Process.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"

namespace {

// Qt falls back to its offscreen platform when the display cannot be reached; a window
// nobody sees is no use, so the terminal takes over then.
std::string PlatformList() {
    if (!plat::GetEnv("WAYLAND_DISPLAY").value_or("").empty()) return "wayland;xcb;offscreen";
    return "xcb;offscreen";
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int TavCmdHostWindowMain(int argc, char** argv) {
    const bool chosen = !plat::GetEnv("QT_QPA_PLATFORM").value_or("").empty();
    if (!chosen) plat::SetEnv("QT_QPA_PLATFORM", PlatformList());
    int status = cmdhost::EXIT_NOT_COMMITTED;
    QApplication app(argc, argv);
    if (!chosen && QGuiApplication::platformName() == "offscreen") return cmdhost::WINDOW_UNAVAILABLE;
    QApplication::setApplicationName(cmdhost::text::PROGRAM);
    QApplication::setQuitOnLastWindowClosed(false);
    CTavModFactory hub(cmdhost::text::HUB_COMMAND_BASE);
    hub.Reconnoiter();
    tavui::CQtPrompt prompt;
    {
        cmdhost::CHostWindow window(hub, prompt, cmdhost::CHostTray::Available());
        const std::vector<std::string> tokens(argv, argv + argc);
        if (!cmdhost::ParseHostCommand(tokens).hide) window.show();
        // The run starts once the window is up, from the event loop.
        QTimer::singleShot(0, &window, [&] {
            status = window.HandleTokens(tokens);
            QApplication::quit();
        });
        QApplication::exec();
    }
    hub.ReleaseModules();
    return status;
}
