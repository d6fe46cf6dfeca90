// Passwords: asked only when the repository has one, taken from a file, the environment
// or a prompt; wrong ones refused; passwd changes and removes them.
#include <gtest/gtest.h>

#include "CliTestRepo.h"

using namespace clitest;

namespace {

class PasswordTest : public ::testing::Test {
protected:
    CTestRepo repo{"secret", ENCRYPT_BUILTIN};
    CCli cli;
    const std::string listing = "/home/ann/docs/a.txt";

    CliResult Cat() { return cli.Run({"cat", repo.path, listing}); }
};

}  // namespace

TEST_F(PasswordTest, FromAFileTheEnvironmentOrAPromptAndRefusedWhenWrong) {
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "pw", "secret\n"));
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "bad", "wrong\r\n"));
    const std::string refused = "tavctl: " + repo.path + ": wrong password\n";
    const struct {
        const char* why;
        std::optional<std::string> env, answer, stdinLine;
        std::vector<std::string> options;
        std::string err;  // "" when the password is right
    } cases[] = {
        {"none given", {}, {}, {}, {},
         "tavctl: " + repo.path + ": the repository is protected by a password: give it with --password-file, "
                                  "TAVORA_PASSWORD or on a terminal\n"},
        {"file", {}, {}, {}, {"--password-file", repo.dir / "pw"}, ""},
        {"environment", "secret", {}, {}, {}, ""},
        {"prompt", {}, "secret", {}, {}, ""},
        {"standard input", {}, {}, "secret\r", {"--password-file", "-"}, ""},
        {"wrong in the environment", "Secret", {}, {}, {}, refused},
        {"wrong at the prompt", {}, "nope", {}, {}, refused},
        {"the file wins over the environment", "secret", {}, {}, {"--password-file", repo.dir / "bad"}, refused},
        {"empty standard input", {}, {}, {}, {"--password-file", "-"}, "tavctl: "},
        {"too long", std::string(200, 'x'), {}, {}, {}, "the password is too long"},
        {"no such file", {}, {}, {}, {"--password-file", repo.dir / "none"},
         "tavctl: " + (repo.dir / "none") + ": cannot read the password file (file not found)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CCli one;
        if (c.env) one.env["TAVORA_PASSWORD"] = *c.env;
        if (c.answer) one.answers.push_back(*c.answer);
        one.stdinLine = c.stdinLine;
        std::vector<std::string> args = {"cat", repo.path, listing};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult r = one.Run(args);
        EXPECT_EQ(r.code, c.err.empty() ? 0 : 1);
        if (c.err.empty()) {
            EXPECT_EQ(r.out, "alpha, second version");
        } else {
            EXPECT_TRUE(Contains(r.err, c.err)) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
    Cat();
    EXPECT_EQ(cli.prompts, (std::vector<std::string>{"Password: "})) << "asked once, on the terminal";
}

// passwd changes the password (from a file, or asked twice on a terminal) and removes it,
// unless it is also the key.
TEST_F(PasswordTest, PasswdChangesAndRemovesThePassword) {
    cli.env["TAVORA_PASSWORD"] = "secret";
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "new", "n3w pass\n"));
    // It says plainly what the password does not protect.
    const CliResult r = cli.Expect(0, {"passwd", repo.path, "--new-password-file", repo.dir / "new"}, "",
                                   "It does not encrypt the\nstored data");
    EXPECT_EQ(r.out.rfind("The password has been changed.\n", 0), 0u) << r.out;
    EXPECT_EQ(Cat().err, "tavctl: " + repo.path + ": wrong password\n");
    cli.env["TAVORA_PASSWORD"] = "n3w pass";
    EXPECT_EQ(Cat().out, "alpha, second version");
    EXPECT_EQ(cli.Run({"check", repo.path, "--read-data"}).code, 0);

    // On a terminal: the old one, then the new one twice; mismatches and empty ones refused.
    cli.env.clear();
    cli.answers = {"n3w pass", "one", "two"};
    EXPECT_EQ(cli.Expect(1, {"passwd", repo.path}).err, "tavctl: " + repo.path + ": the new passwords do not match\n");
    EXPECT_EQ(cli.prompts,
              (std::vector<std::string>{"Password: ", "New password: ", "Retype new password: "}));
    cli.answers = {"n3w pass", "", ""};
    cli.Expect(1, {"passwd", repo.path}, "use --remove to remove the password");
    cli.answers = {"n3w pass", "again", "again"};
    EXPECT_EQ(cli.Run({"passwd", repo.path}).code, 0);
    cli.answers = {"again"};
    EXPECT_EQ(Cat().code, 0);

    cli.answers = {"again"};
    EXPECT_EQ(cli.Expect(0, {"passwd", "--remove", repo.path}).out.rfind("The password has been removed.\n", 0), 0u);
    // Without a password nothing is asked, and one given anyway does no harm.
    cli.prompts.clear();
    cli.answers = {"never asked"};
    EXPECT_EQ(Cat().out, "alpha, second version");
    EXPECT_TRUE(cli.prompts.empty());
    cli.env["TAVORA_PASSWORD"] = "whatever";
    EXPECT_EQ(Cat().out, "alpha, second version");
    EXPECT_TRUE(Contains(cli.Run({"info", repo.path}).out, "Password:     not set\n"));

    // A password that is also the key is kept.
    CTestRepo keyed("secret", ENCRYPT_PASSWORD);
    cli.env["TAVORA_PASSWORD"] = "secret";
    cli.env["TAVORA_NEW_PASSWORD"] = "other";
    EXPECT_EQ(cli.Run({"cat", keyed.path, listing}).out, "alpha, second version");
    cli.Expect(1, {"passwd", keyed.path}, "encrypted with the password itself");
    EXPECT_EQ(cli.Run({"check", keyed.path, "--read-data"}).code, 0);
}
