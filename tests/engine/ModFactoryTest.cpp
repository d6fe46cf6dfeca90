// The module hub: descriptors, loading real module files, binding, lookups, command ids.
#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/EngineRun.h"
#include "support/TempDir.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"

namespace {

using tavtest::CTempDir;

using CEnvironment = tavtest::CEnvOverride;

TEST(ModDescriptor, RefusesWhatIsNotADescriptor) {
    const char* bad[] = {
        "",
        "<tavmodule",
        "<tavjob/>",
        "<tavmodule hubversion='1.0'/>",
        "<tavmodule><module title='x' root-id='abcd'/></tavmodule>",
        "<tavmodule><module name='x' root-id='abc'/></tavmodule>",
        "<tavmodule><module name='x' root-id='abcde'/></tavmodule>",
    };
    for (const char* text : bad) {
        TavModDesc desc;
        std::string error;
        EXPECT_FALSE(ParseTavModDescriptor(text, desc, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

class ModFactory : public ::testing::Test {
protected:
    // Loads the test modules, with a file that is not a library beside them.
    int Load(CTavModFactory& factory) {
        tavtest::WriteFile(m_extra / "notalibrary.so", "this is not an ELF file");
        tavtest::WriteFile(m_extra / "readme.txt", "ignored: not a module file name");
        CEnvironment path("TAVORA_MODULE_PATH", m_extra.Path() + ":" + TAV_TEST_MODULE_DIR);
        ::testing::internal::CaptureStderr();
        const int count = factory.Reconnoiter();
        m_stderr = ::testing::internal::GetCapturedStderr();
        return count;
    }
    CTempDir m_extra;
    std::string m_stderr;
};

TEST_F(ModFactory, LoadsGoodModulesLooksThemUpNumbersTheirCommandsRunsTheirEnginesAndReleases) {
    CTavModFactory factory(61000);
    EXPECT_EQ(Load(factory), 1);
    ASSERT_EQ(factory.GetModCount(), 1);
    const TavModDesc* fake = factory.GetModDescAt(0);
    ASSERT_NE(fake, nullptr);
    EXPECT_EQ(fake->name, "fake");
    EXPECT_EQ(fake->title, "Fake Module");
    EXPECT_EQ(fake->createEngineName, "CreateEngineFake");
    EXPECT_EQ(fake->path, std::string(TAV_TEST_MODULE_DIR) + "/fakemodule.so");
    EXPECT_EQ(factory.GetModDescAt(1), nullptr);

    // The broken descriptor and the file that is no library are named on stderr.
    EXPECT_NE(m_stderr.find("brokenmodule.so\" skipped: its descriptor does not parse"),
              std::string::npos)
        << m_stderr;
    EXPECT_NE(m_stderr.find("notalibrary.so\" skipped"), std::string::npos) << m_stderr;
    // A view procedure the descriptor names but the module does not export is recorded,
    // without a message (programs without windows never call it).
    EXPECT_EQ(m_stderr.find("NotExported"), std::string::npos) << m_stderr;
    EXPECT_EQ(fake->missingProcs, std::vector<std::string>{"NotExported"});
    EXPECT_EQ(factory.GetMessages().size(), 2u);

    // Lookups by name (in any case), root id and provider.
    EXPECT_EQ(factory.GetModDesc("fake"), fake);
    EXPECT_EQ(factory.GetModDesc("FAKE"), fake);
    EXPECT_EQ(factory.GetModDesc(uint32_t(0x666B7274)), fake);  // "fkrt"

    CTavJobHelper job;
    XMLNode node = job.AddBackupNode(fake->title, fake->name);
    CTlcDataProvider* root = factory.CreateJobRoot(fake, nullptr, &node, &job);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(factory.GetModDesc(root), fake);
    factory.UnregisterProvider(root);
    EXPECT_EQ(factory.GetModDesc(root), nullptr);
    EXPECT_EQ(factory.CreateRepRoot(fake, nullptr, nullptr, nullptr, nullptr), nullptr);

    // Every command has its own identifier, counted from the factory's base.
    const auto& commands = fake->jobControl.commands;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].commandId, 61001u);
    EXPECT_EQ(commands[1].commandId, 0u) << "a separator has none";
    EXPECT_EQ(commands[2].commandId, 61002u);
    EXPECT_EQ(commands[2].moduleCmdId, 2u);
    ASSERT_EQ(fake->repControl.commands.size(), 1u);
    EXPECT_EQ(fake->repControl.commands[0].commandId, 61003u);

    const TavModCmdUI* second = factory.GetModCommand(61002);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->title, "Second");
    EXPECT_EQ(second->proc(0, 0, 0, 0), 22);
    EXPECT_EQ(factory.GetModCommand(61000), nullptr);
    ASSERT_NE(fake->jobControl.updateProc, nullptr);
    EXPECT_EQ(fake->jobControl.updateProc(0, 0, 0, 0), 1);
    EXPECT_NE(fake->jobControl.dropProc, nullptr);

    // The module's engine runs (and fails when its job says so).
    ASSERT_NE(fake->createEngine, nullptr);
    node.SetAttribute("item", "/data/x");
    tavtest::CEngineRecorder observer;
    CTavEngine* engine = fake->createEngine();
    ASSERT_NE(engine, nullptr);
    engine->SubscribeNotify(&observer);
    EXPECT_EQ(engine->Backup(job.GetXmlString(), nullptr, nullptr), 1);
    EXPECT_EQ(engine->GetEngineState(), TAV_ENGINE_FINISHED);
    EXPECT_EQ(observer.log, "Fake backup of \"/data/x\"\r\n");
    engine->Dispose();

    node.SetAttribute("fail", "yes");
    engine = fake->createEngine();
    EXPECT_EQ(engine->Backup(job.GetXmlString(), nullptr, nullptr), 0);
    EXPECT_EQ(engine->GetEngineState(), TAV_ENGINE_FAILED);
    engine->Dispose();

    // Released, the modules and their commands are gone; looking again finds them.
    factory.ReleaseModules();
    EXPECT_EQ(factory.GetModCount(), 0);
    EXPECT_EQ(factory.GetModDesc("fake"), nullptr);
    EXPECT_EQ(factory.GetModCommand(61001), nullptr);
    EXPECT_EQ(Load(factory), 1);
}

TEST(ModFolders, TheVariableWinsElseTheProgramsNeighbourhood) {
    {
        CEnvironment path("TAVORA_MODULE_PATH", "/a/b::/c/d:");
        EXPECT_EQ(CTavModFactory::ModuleFolders(), (std::vector<std::string>{"/a/b", "/c/d"}));
    }
    CEnvironment path("TAVORA_MODULE_PATH", "");
    const std::vector<std::string> folders = CTavModFactory::ModuleFolders();
    ASSERT_EQ(folders.size(), 1u);
    const std::string programFolder = plat::DirName(plat::ExecutablePath());
    // The tests run from the build tree, which has no installed layout.
    EXPECT_EQ(folders[0], programFolder + "/../lib/modules");

    // An empty or missing folder gives no modules and no message.
    CTempDir empty;
    CTavModFactory factory(61000);
    EXPECT_EQ(factory.Reconnoiter({empty.Path(), empty / "missing"}), 0);
    EXPECT_TRUE(factory.GetMessages().empty());
}

}  // namespace
