// Tests of processes, the environment and loading shared objects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Clock.h"
#include "platform/DynLib.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SysError.h"

using namespace plat;

namespace {

TEST(CProcessTest, ProcessesReportTheirExitStatusAreKilledWithTheirObjectAndGetTheEnvironment) {
    EXPECT_EQ(RunProcess({"sh", "-c", "exit 0"}), 0);
    EXPECT_EQ(RunProcess({"sh", "-c", "exit 7"}), 7);
    EXPECT_EQ(RunProcess({"sh", "-c", "kill -9 $$"}), -1);  // killed by a signal
    EXPECT_EQ(RunProcess({"no-such-program-of-tavora"}), -1);
    EXPECT_EQ(RunProcess({"/no/such/program"}), -1);
    EXPECT_EQ(GetLastError(), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RunProcess({}), -1);
    EXPECT_EQ(GetLastError(), ERR_INVALID_PARAMETER);

    // A child process is waited for or killed, and gets the environment.
    CChildProcess child;
    EXPECT_EQ(child.Wait(), -1);  // not started
    ASSERT_TRUE(child.Start({"sh", "-c", "exit 3"}));
    EXPECT_TRUE(child.Running());
    EXPECT_FALSE(child.Start({"true"}));  // one at a time
    EXPECT_EQ(child.Wait(), 3);
    EXPECT_FALSE(child.Running());

    uint64_t start = NowMillis();
    {
        CChildProcess sleeper;
        ASSERT_TRUE(sleeper.Start({"sleep", "30"}));
    }  // the destructor kills and reaps it
    EXPECT_LT(NowMillis() - start, 10000u);

    // The environment a child gets, and this process's identity.
    ASSERT_TRUE(SetEnv("TAV_PROCESS_TEST", "value with = sign"));
    EXPECT_EQ(GetEnv("TAV_PROCESS_TEST"), "value with = sign");
    EXPECT_EQ(RunProcess({"sh", "-c", "test \"$TAV_PROCESS_TEST\" = 'value with = sign'"}), 0);
    EXPECT_FALSE(GetEnv("TAV_PROCESS_TEST_UNSET").has_value());
    EXPECT_FALSE(SetEnv("BAD=NAME", "x"));
    EXPECT_EQ(GetLastError(), ERR_INVALID_PARAMETER);

    std::string exe = ExecutablePath();
    EXPECT_EQ(BaseName(exe), "platform_ProcessTest");
    EXPECT_FALSE(HomeDirectory().empty());
    EXPECT_NE(ProcessId(), 0u);
    EXPECT_EQ(IsRoot(), UserId() == 0);
}

TEST(CDynLibTest, LoadsResolvesAndExplainsFailures) {
    CDynLib lib;
    EXPECT_FALSE(lib.Loaded());
    EXPECT_EQ(lib.Symbol("strlen"), nullptr);
    ASSERT_TRUE(lib.Load("libc.so.6")) << lib.Error();
    EXPECT_TRUE(lib.Loaded());
    auto length = reinterpret_cast<size_t (*)(const char*)>(lib.Symbol("strlen"));
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("tavora"), 6u);
    EXPECT_EQ(lib.Symbol("no_such_symbol_in_libc"), nullptr);
    lib.Unload();
    EXPECT_FALSE(lib.Loaded());
    EXPECT_FALSE(lib.Load("/no/such/module.so"));
    EXPECT_FALSE(lib.Loaded());
    EXPECT_NE(lib.Error().find("/no/such/module.so"), std::string::npos) << lib.Error();
    EXPECT_EQ(GetLastError(), ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(lib.Load("/proc/self/status"));  // not a shared object
    EXPECT_FALSE(lib.Error().empty());
    EXPECT_EQ(GetLastError(), ERR_GEN_FAILURE);
}

}  // namespace
