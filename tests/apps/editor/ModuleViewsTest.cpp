// The module hub binds every view procedure of the installed modules in a program with
// windows; tavctl and TavCmdHost run without a display and never load Qt or a view library.
#include <gtest/gtest.h>

#include "platform/Process.h"
#include "support/ProgramRun.h"
#include "tavengine/TavModFactory.h"

namespace {

using tavtest::ShellQuote;

// The libraries the dynamic loader opened for the command (LD_DEBUG=files), display unset.
std::string LoadedLibraries(const tavtest::CTempDir& dir, const std::vector<std::string>& command) {
    std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TAVORA_HOME=" +
                       ShellQuote(dir / "home") +
                       " TAVORA_MODULE_PATH=" + ShellQuote(TAV_MODULES_DIR) +
                       " LD_DEBUG=files LD_DEBUG_OUTPUT=" + ShellQuote(dir / "ld");
    for (const std::string& word : command) line += " " + ShellQuote(word);
    EXPECT_EQ(plat::RunProcess({"/bin/sh", "-c", line + " >/dev/null 2>&1 </dev/null"}), 0) << line;
    std::string all;
    std::vector<TavFindData> entries;
    plat::ListDirectory(dir.Path(), entries);
    for (const TavFindData& entry : entries)
        if (entry.name.rfind("ld.", 0) == 0) {
            all += tavtest::ReadFile(dir / entry.name);
            plat::RemoveFile(dir / entry.name);
        }
    return all;
}

TEST(ModuleViews, AProgramWithWindowsBindsEveryViewProcedure) {
    CTavModFactory hub(61000);
    hub.EnableViews(true);
    ASSERT_GE(hub.Reconnoiter({TAV_MODULES_DIR}), 2);
    for (const char* name : {"oe", "files"}) {
        const TavModDesc* module = hub.GetModDesc(name);
        ASSERT_NE(module, nullptr) << name;
        std::string missing;
        for (const std::string& proc : module->missingProcs) missing += proc + " ";
        EXPECT_EQ(missing, "") << name;
        EXPECT_NE(module->createJobRoot, nullptr) << name;
        EXPECT_NE(module->dataExchange, nullptr) << name;
        EXPECT_NE(module->jobControl.updateProc, nullptr) << name;
        for (const TavModCmdUI& command : module->jobControl.commands)
            EXPECT_TRUE(command.IsSeparator() || command.proc != nullptr) << name << " " << command.procName;
    }
    EXPECT_NE(hub.GetModDesc("oe")->createRepRoot, nullptr);
}

TEST(ModuleViews, ProgramsWithoutWindowsNeverLoadQt) {
    tavtest::CTempDir dir;
    ASSERT_TRUE(plat::CreateDirectories(dir / "data") && plat::CreateDirectories(dir / "home"));
    ASSERT_TRUE(tavtest::WriteFile(dir / "data/a.txt", "some text"));
    const std::string job = dir / "job.tvj";
    LoadedLibraries(dir, {TAVCTL_PATH, "job", "new", job, "-l", dir / "images", "-n", "img"});
    LoadedLibraries(dir, {TAVCTL_PATH, "job", "add", job, dir / "data"});
    for (const std::vector<std::string>& run : {std::vector<std::string>{TAVCTL_PATH, "backup", job},
                                                std::vector<std::string>{TAVCMDHOST_PATH, "JOB_BACKUP", job, "FULL", "SW_HIDE"}}) {
        const std::string loaded = LoadedLibraries(dir, run);
        EXPECT_NE(loaded.find("oemodule.so"), std::string::npos) << run[0] << " loaded the modules";
        EXPECT_EQ(loaded.find("libQt6"), std::string::npos) << run[0];
        EXPECT_EQ(loaded.find("_ui.so"), std::string::npos) << run[0];
        EXPECT_EQ(loaded.find("libTavUi"), std::string::npos) << run[0];
    }
}

}  // namespace
