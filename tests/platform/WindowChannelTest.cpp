// Window messages between programs: one window per title, stale sockets taken over, and
// messages that are not whole or too large dropped without blocking the window.
#include <gtest/gtest.h>

#include "platform/Process.h"
#include "platform/TempDir.h"
#include "platform/WindowChannel.h"

namespace {

class WindowChannel : public ::testing::Test {
protected:
    void SetUp() override {
        m_old = plat::GetEnv("XDG_RUNTIME_DIR");
        plat::SetEnv("XDG_RUNTIME_DIR", m_dir.Path());
    }
    void TearDown() override { plat::SetEnv("XDG_RUNTIME_DIR", m_old.value_or("")); }

    tavtest::CTempDir m_dir;
    std::optional<std::string> m_old;
};

TEST_F(WindowChannel, OneWindowPerTitleAndMessagesArriveWhole) {
    const std::string title = "TvrBrowser - /home/anna/Image000.tvr";
    EXPECT_FALSE(plat::SendWindowMessage(title, {1, ""})) << "no window yet";
    plat::CWindowListener window;
    ASSERT_TRUE(window.Listen(title));
    plat::CWindowListener second;
    EXPECT_FALSE(second.Listen(title)) << "the title belongs to the first window";
    plat::WindowMessage message;
    EXPECT_FALSE(window.Receive(message)) << "nothing waits";
    ASSERT_TRUE(plat::SendWindowMessage(title, {7, std::string("a\0b", 3)}));
    ASSERT_TRUE(window.Receive(message));
    EXPECT_EQ(message.type, 7u);
    EXPECT_EQ(message.bytes, std::string("a\0b", 3));
    EXPECT_FALSE(plat::SendWindowMessage("TvrBrowser - /other.tvr", {1, ""}));
}

TEST_F(WindowChannel, BrokenAndOversizedMessagesAreDropped) {
    const std::string title = "TvrBrowser - /x.tvr";
    plat::CWindowListener window;
    ASSERT_TRUE(window.Listen(title));
    plat::WindowMessage message;
    ASSERT_TRUE(plat::SendWindowBytes(title, std::string("\x01\x00\x00\x00\xff\xff\xff\x7f", 8)));  // 2 GiB announced
    EXPECT_FALSE(window.Receive(message));
    ASSERT_TRUE(plat::SendWindowBytes(title, std::string("\x01\x00\x00\x00\x05\x00\x00\x00ab", 10)));  // cut short
    EXPECT_FALSE(window.Receive(message));
    ASSERT_TRUE(plat::SendWindowMessage(title, {1, "ok"}));
    ASSERT_TRUE(window.Receive(message));
    EXPECT_EQ(message.bytes, "ok");
}

TEST_F(WindowChannel, AFileLeftByAnEndedProgramIsTakenOver) {
    const std::string title = "TvrBrowser - /y.tvr";
    const std::string path = plat::WindowSocketPath(title);
    // A file that nobody listens on any more (a program that ended without cleaning up).
    ASSERT_TRUE(tavtest::WriteFile(path, "left over"));
    EXPECT_FALSE(plat::SendWindowMessage(title, {1, ""}));
    plat::CWindowListener window;
    ASSERT_TRUE(window.Listen(title));
    EXPECT_TRUE(plat::SendWindowMessage(title, {1, ""}));
    window.Close();
    EXPECT_FALSE(plat::PathExists(path));
}

}  // namespace
