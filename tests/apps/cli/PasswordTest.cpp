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

TEST_F(PasswordTest, NoPasswordNoPrompt) {
    CTestRepo open;
    CCli plain;
    plain.answers.push_back("never asked");
    EXPECT_EQ(plain.Run({"cat", open.path, listing}).out, "alpha, second version");
    EXPECT_TRUE(plain.prompts.empty());
    // A password given for a repository without one is not needed and does no harm.
    plain.env["TAVORA_PASSWORD"] = "whatever";
    EXPECT_EQ(plain.Run({"cat", open.path, listing}).code, 0);
}

TEST_F(PasswordTest, WithoutATerminalThePasswordMustBeGiven) {
    CliResult r = Cat();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "tavctl: " + repo.path +
                  ": the repository is protected by a password: give it with --password-file, "
                  "TAVORA_PASSWORD or on a terminal\n");
    EXPECT_EQ(cli.prompts, (std::vector<std::string>{"Password: "}));
}

TEST_F(PasswordTest, WrongPasswordIsRefusedFromEverySource) {
    cli.env["TAVORA_PASSWORD"] = "Secret";
    CliResult env = Cat();
    EXPECT_EQ(env.code, 1);
    EXPECT_EQ(env.err, "tavctl: " + repo.path + ": wrong password\n");
    EXPECT_EQ(env.out, "");

    cli.env.clear();
    cli.answers.push_back("nope");
    EXPECT_EQ(Cat().err, "tavctl: " + repo.path + ": wrong password\n");

    cli.env["TAVORA_PASSWORD"] = std::string(200, 'x');
    EXPECT_TRUE(Contains(Cat().err, "the password is too long"));
}

TEST_F(PasswordTest, RightPasswordFromFileEnvironmentOrPrompt) {
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "pw", "secret\n"));
    CliResult file = cli.Run({"cat", "--password-file", repo.dir / "pw", repo.path, listing});
    EXPECT_EQ(file.code, 0) << file.err;
    EXPECT_EQ(file.out, "alpha, second version");

    cli.env["TAVORA_PASSWORD"] = "secret";
    EXPECT_EQ(Cat().out, "alpha, second version");
    // The file wins over the environment.
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "bad", "wrong\r\n"));
    EXPECT_EQ(cli.Run({"cat", repo.path, listing, "--password-file", repo.dir / "bad"}).code, 1);

    cli.env.clear();
    cli.answers.push_back("secret");
    EXPECT_EQ(Cat().out, "alpha, second version");

    cli.stdinLine = "secret\r";  // "--password-file -": standard input
    EXPECT_EQ(cli.Run({"cat", repo.path, listing, "--password-file", "-"}).out, "alpha, second version");
    cli.stdinLine.reset();
    EXPECT_EQ(cli.Run({"cat", repo.path, listing, "--password-file", "-"}).code, 1);

    CliResult missing = cli.Run({"ls", repo.path, "--password-file", repo.dir / "none"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "tavctl: " + (repo.dir / "none") +
                               ": cannot read the password file (file not found)\n");
}

TEST_F(PasswordTest, PasswdChangesThePassword) {
    cli.env["TAVORA_PASSWORD"] = "secret";
    ASSERT_TRUE(tavtest::WriteFile(repo.dir / "new", "n3w pass\n"));
    CliResult r = cli.Run({"passwd", repo.path, "--new-password-file", repo.dir / "new"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("The password has been changed.\n", 0), 0u) << r.out;
    // It says plainly what the password does not protect.
    EXPECT_TRUE(Contains(r.out, "It does not encrypt the\nstored data")) << r.out;

    EXPECT_EQ(Cat().err, "tavctl: " + repo.path + ": wrong password\n");
    cli.env["TAVORA_PASSWORD"] = "n3w pass";
    EXPECT_EQ(Cat().out, "alpha, second version");
    EXPECT_EQ(cli.Run({"check", repo.path, "--read-data"}).code, 0);
}

TEST_F(PasswordTest, PasswdAsksTwiceAndRefusesMismatchesAndEmptyPasswords) {
    cli.answers = {"secret", "one", "two"};
    CliResult differ = cli.Run({"passwd", repo.path});
    EXPECT_EQ(differ.code, 1);
    EXPECT_EQ(differ.err, "tavctl: " + repo.path + ": the new passwords do not match\n");
    EXPECT_EQ(cli.prompts,
              (std::vector<std::string>{"Password: ", "New password: ", "Retype new password: "}));

    cli.answers = {"secret", "", ""};
    EXPECT_TRUE(
        Contains(cli.Run({"passwd", repo.path}).err, "use --remove to remove the password"));

    cli.answers = {"secret", "again", "again"};
    EXPECT_EQ(cli.Run({"passwd", repo.path}).code, 0);
    cli.answers = {"again"};
    EXPECT_EQ(Cat().code, 0);
}

TEST_F(PasswordTest, PasswdRemovesThePassword) {
    cli.env["TAVORA_PASSWORD"] = "secret";
    CliResult r = cli.Run({"passwd", "--remove", repo.path});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("The password has been removed.\n", 0), 0u) << r.out;
    cli.env.clear();
    EXPECT_EQ(Cat().out, "alpha, second version");
    EXPECT_TRUE(cli.prompts.empty());
    EXPECT_TRUE(Contains(cli.Run({"info", repo.path}).out, "Password:     not set\n"));
}

TEST_F(PasswordTest, PasswdKeepsAPasswordThatIsAlsoTheKey) {
    CTestRepo keyed("secret", ENCRYPT_PASSWORD);
    cli.env["TAVORA_PASSWORD"] = "secret";
    cli.env["TAVORA_NEW_PASSWORD"] = "other";
    EXPECT_EQ(cli.Run({"cat", keyed.path, listing}).out, "alpha, second version");
    CliResult r = cli.Run({"passwd", keyed.path});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "encrypted with the password itself")) << r.err;
    EXPECT_EQ(cli.Run({"check", keyed.path, "--read-data"}).code, 0);
}
