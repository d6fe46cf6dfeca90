// The argument parser and the dispatcher: options anywhere, help, usage errors (exit 2).
#include <gtest/gtest.h>

#include "ArgParser.h"
#include "Json.h"
#include "ProgressMeter.h"
#include "CliTestRepo.h"

using namespace clitest;
using tavctl::CCliArgs;
using tavctl::CliOption;
using tavctl::ParseArgs;

namespace {

const std::vector<CliOption> OPTIONS = {
    {"baseline", 'b', true, "N", ""},
    {"recursive", 'r', false, "", ""},
    {"all", 'a', false, "", ""},
    {"password-file", 0, true, "FILE", ""},
};

CCliArgs Parse(const std::vector<std::string>& args) {
    CCliArgs out;
    std::string error;
    EXPECT_TRUE(ParseArgs(args, OPTIONS, out, error)) << error;
    return out;
}

std::string ParseError(const std::vector<std::string>& args) {
    CCliArgs out;
    std::string error;
    EXPECT_FALSE(ParseArgs(args, OPTIONS, out, error));
    return error;
}

}  // namespace

TEST(ArgParserTest, OptionsStandBeforeBetweenAndAfterPositionals) {
    CCliArgs a = Parse({"-b", "3", "repo.tvr", "-r", "/home", "--password-file=pw"});
    EXPECT_EQ(a.positionals, (std::vector<std::string>{"repo.tvr", "/home"}));
    EXPECT_EQ(a.Value("baseline"), "3");
    EXPECT_TRUE(a.Has("recursive"));
    EXPECT_FALSE(a.Has("all"));
    EXPECT_EQ(a.Value("password-file"), "pw");

    CCliArgs b = Parse({"repo.tvr", "-rab7", "--baseline", "9", "x"});
    EXPECT_TRUE(b.Has("recursive") && b.Has("all"));
    EXPECT_EQ(b.Value("baseline"), "9");  // the last one given wins
    EXPECT_EQ(b.positionals, (std::vector<std::string>{"repo.tvr", "x"}));

    // "--" ends the options; a lone "-" is a positional.
    CCliArgs c = Parse({"repo.tvr", "--", "-r", "-"});
    EXPECT_FALSE(c.Has("recursive"));
    EXPECT_EQ(c.positionals, (std::vector<std::string>{"repo.tvr", "-r", "-"}));
}

TEST(ArgParserTest, RefusesUnknownOptionsMissingValuesAndNumbersBeyond32Bits) {
    EXPECT_EQ(ParseError({"--bogus"}), "unknown option --bogus");
    EXPECT_EQ(ParseError({"-x"}), "unknown option -x");
    EXPECT_EQ(ParseError({"repo", "-b"}), "option -b needs a value (N)");
    EXPECT_EQ(ParseError({"--password-file"}), "option --password-file needs a value (FILE)");
    EXPECT_EQ(ParseError({"--recursive=yes"}), "option --recursive takes no value");
    // Numbers fit 32 bits.
    EXPECT_EQ(tavctl::ParseNumber("0"), 0u);
    EXPECT_EQ(tavctl::ParseNumber("4294967295"), 4294967295u);
    EXPECT_FALSE(tavctl::ParseNumber("4294967296"));
    EXPECT_FALSE(tavctl::ParseNumber("-1"));
    EXPECT_FALSE(tavctl::ParseNumber("3x"));
    EXPECT_FALSE(tavctl::ParseNumber(""));
}

TEST(DispatcherTest, HelpAndOverview) {
    CCli cli;
    const CliResult overview = cli.Expect(0, {"--help"});
    for (const char* command : {"info", "baselines", "ls", "cat", "check", "passwd"})
        EXPECT_TRUE(Contains(overview.out, std::string("  ") + command + " ")) << command;

    for (const auto& args :
         {std::vector<std::string>{"ls", "--help"}, std::vector<std::string>{"help", "ls"},
          std::vector<std::string>{"ls", "repo.tvr", "-h"}}) {
        const CliResult help = cli.Expect(0, args, "", "usage: tavctl ls REPO [PATH]");
        EXPECT_TRUE(Contains(help.out, "-r, --recursive"));
        EXPECT_TRUE(Contains(help.out, "-h, --help"));
    }
}

TEST(DispatcherTest, UsageErrorsExitWithTwoAndOtherErrorsNameTheFile) {
    CTestRepo repo;
    const struct {
        std::vector<std::string> args;
        std::string err;  // a part of the error text
    } cases[] = {
        {{"frobnicate", "x"}, "tavctl: unknown command 'frobnicate'; run 'tavctl --help'\n"},
        {{"ls", "repo.tvr", "--bogus"}, "tavctl: ls: unknown option --bogus\nusage: tavctl ls"},
        {{"cat", "repo.tvr"}, "tavctl: cat: missing arguments"},
        {{"info", "a.tvr", "b.tvr"}, "unexpected argument 'b.tvr'"},
        {{"passwd", "a.tvr", "--remove", "--new-password-file", "f"}, ""},
        {{"ls", repo.path, "-b", "first"}, "tavctl: -b needs a baseline number or latest, not 'first'\n"},
        {{}, "usage: tavctl COMMAND"},
        {{"resotre"}, "did you mean 'restore'?"},
        {{"job", "nwe"}, "did you mean 'job new'?"},
        {{"ls", "repo.tvr", "--recursiv"}, "did you mean --recursive?"},
    };
    CCli cli;
    for (const auto& c : cases) cli.Expect(2, c.args, c.err);
    cli.Ok({"ls", repo.path, "-b", "latest", "/home/ann/docs/a.txt"});
    for (const char* word : {"version", "-V", "--version"}) cli.Expect(0, {word}, "", "tavctl 0.1");

    // Errors name the file.
    const CTempDir& dir = repo.dir;
    EXPECT_EQ(cli.Expect(1, {"info", dir / "none.tvr"}).err, "tavctl: " + (dir / "none.tvr") + ": no such file\n");
    ASSERT_TRUE(tavtest::WriteFile(dir / "text.tvr", "just some text, not an image"));
    EXPECT_EQ(cli.Expect(1, {"baselines", dir / "text.tvr"}).err,
              "tavctl: " + (dir / "text.tvr") + ": not a Tavora repository image, or it has no usable entry point\n");
    cli.Expect(1, {"ls", dir.Path()}, "is a folder, not a repository image file");
}

TEST(JsonTest, QuotesEveryTextAsValidJson) {
    EXPECT_EQ(tavctl::JsonQuote("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
    EXPECT_EQ(tavctl::JsonQuote("\xC3\xA9"), "\"\xC3\xA9\"");           // UTF-8 stays
    EXPECT_EQ(tavctl::JsonQuote("a\xFF\xC3"), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\"");  // broken bytes
}

TEST(ProgressMeterTest, ShowsPercentCountsRateAndTimeLeft) {
    tavctl::ProgressFigures f;
    f.filesDone = 3;
    f.filesTotal = 10;
    f.bytesDone = 50 * 1024 * 1024;
    f.bytesTotal = 200 * 1024 * 1024;
    f.elapsedMs = 10000;
    f.item = "/home/ann/a-rather-long-name.bin";
    EXPECT_EQ(tavctl::CProgressMeter::Render(f, 200),
              " 25%  3/10 files  50.0 MiB/200.0 MiB  5.0 MiB/s  0:30 left  /home/ann/a-rather-long-name.bin");
    const std::string narrow = tavctl::CProgressMeter::Render(f, 80);
    EXPECT_LE(narrow.size(), 80u);
    EXPECT_TRUE(Contains(narrow, "  ...") && Contains(narrow, "-long-name.bin")) << narrow;
}
