#include "app/inputs/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/report/outcome.h"

namespace {

struct CommandLineCase {
  const char* name;
  const char* text;
  bool quiet;
  bool help;
  const char* log_path;
  const char* bad_switch;
};

class ParseCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST(ParseCommandLine, ReadsTheLanguageInAnyCase) {
  EXPECT_EQ(ParseCommandLine("/quiet").language, nullptr);
  EXPECT_STREQ(ParseCommandLine("/LANG:PT-br /quiet").language->tag, "pt-BR");
  EXPECT_STREQ(ParseCommandLine("-lang:en").language->tag, "en");
}

TEST_P(ParseCommandLineTest, ReadsTheSwitches) {
  const CommandLineCase& c = GetParam();
  const CommandLine result = ParseCommandLine(c.text);
  EXPECT_EQ(result.quiet, c.quiet);
  EXPECT_EQ(result.help, c.help);
  EXPECT_EQ(result.log_path, c.log_path);
  EXPECT_EQ(result.bad_switch, c.bad_switch);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseCommandLineTest,
    testing::Values(
        CommandLineCase{"Empty", "", false, false, "", ""},
        CommandLineCase{"Null", nullptr, false, false, "", ""},
        CommandLineCase{"OnlyBlanks", " \t ", false, false, "", ""},
        CommandLineCase{"Quiet", "/quiet", true, false, "", ""},
        CommandLineCase{"QuietAnyCaseAndDash", "-QuIeT", true, false, "", ""},
        CommandLineCase{"ShortQuiet", "/S", true, false, "", ""},
        CommandLineCase{"ShortQuietLower", "-s", true, false, "", ""},
        CommandLineCase{"LogSeparate", "/log C:\\l.txt", false, false, "C:\\l.txt", ""},
        CommandLineCase{"LogEquals", "/LOG=C:\\l.txt /quiet", true, false, "C:\\l.txt", ""},
        CommandLineCase{"LogQuotedWithSpaces", "/log \"C:\\My Logs\\a b.txt\" /S", true, false,
                        "C:\\My Logs\\a b.txt", ""},
        CommandLineCase{"LogEqualsQuoted", "\"/log=C:\\a b\\l.txt\"", false, false,
                        "C:\\a b\\l.txt", ""},
        CommandLineCase{"LogPathKeepsItsCase", "/log=C:\\Logs\\Run.TXT", false, false,
                        "C:\\Logs\\Run.TXT", ""},
        CommandLineCase{"LogWithoutPath", "/quiet /log", true, false, "", "/log"},
        CommandLineCase{"LogEqualsEmpty", "/log=", false, false, "", "/log="},
        CommandLineCase{"LogEmptyQuotedPath", "/log \"\"", false, false, "", "/log"},
        // A switch after /log is no path: the value is missing, and the switch still counts.
        CommandLineCase{"LogThenQuiet", "/log /quiet", true, false, "", "/log"},
        CommandLineCase{"LogThenShortQuiet", "/LOG -s", true, false, "", "/LOG"},
        CommandLineCase{"LogThenHelp", "/log /?", false, true, "", "/log"},
        CommandLineCase{"LogThenLogEquals", "/log /log=C:\\l.txt", false, false, "C:\\l.txt",
                        "/log"},
        CommandLineCase{"LogPathLikeASwitch", "/log -quiet.txt", false, false, "-quiet.txt", ""},
        CommandLineCase{"LogRootedPath", "/log /logs/run.txt", false, false, "/logs/run.txt", ""},
        CommandLineCase{"Help", "/?", false, true, "", ""},
        CommandLineCase{"HelpWord", "-HELP", false, true, "", ""},
        CommandLineCase{"Unknown", "/quiet /bogus", true, false, "", "/bogus"},
        CommandLineCase{"UnknownBeforeQuiet", "/bogus /quiet", true, false, "", "/bogus"},
        CommandLineCase{"FirstBadKept", "/x /y", false, false, "", "/x"},
        CommandLineCase{"StrayWord", "quiet", false, false, "", "quiet"},
        CommandLineCase{"LoneSlash", "/", false, false, "", "/"},
        CommandLineCase{"PrefixOfASwitch", "/qui", false, false, "", "/qui"},
        CommandLineCase{"SwitchGluedToText", "/quietly", false, false, "", "/quietly"},
        CommandLineCase{"LanguageAfterLog", "/log /lang:de", false, false, "", "/log"},
        CommandLineCase{"UnknownLanguage", "/lang:el /quiet", true, false, "", "/lang:el"},
        CommandLineCase{"LanguageWithoutTag", "/lang:", false, false, "", "/lang:"},
        CommandLineCase{"LanguageWithoutColon", "/lang de", false, false, "", "/lang"}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

const RunResult kAllResults[] = {
    RunResult::Succeeded,       RunResult::HostNotResolved,     RunResult::CannotConnect,
    RunResult::SendFailed,      RunResult::ReplyCutShort,       RunResult::HttpStatus,
    RunResult::CannotStoreFile, RunResult::DownloadListMissing, RunResult::IndexFileUnreadable,
    RunResult::SetupIncomplete, RunResult::SetupDigestMismatch, RunResult::ProxyAuthRequired,
    RunResult::NoPartnerId,     RunResult::BadSwitch,           RunResult::LogUnavailable,
    RunResult::AlreadyRunning,  RunResult::ServerStalled,       RunResult::PackageNotVerified,
    RunResult::SetupNotSigned,  RunResult::OldKeyLayout,        RunResult::ProgramNotTrusted};

TEST(ExitCodeForTest, EachFailureHasItsOwnCode) {
  EXPECT_EQ(ExitCodeFor({RunResult::SetupDigestMismatch, 0}), 10);
  std::vector<int> codes;
  for (RunResult result : kAllResults) codes.push_back(ExitCodeFor({result, 0}));
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end()) << "codes repeat";
  EXPECT_EQ(ExitCodeFor({RunResult::Succeeded, 0}), 0);
  EXPECT_EQ(ExitCodeFor({RunResult::NoPartnerId, 0}), -1);
  EXPECT_EQ(ExitCodeFor({RunResult::HttpStatus, 404}), 1404);
}

TEST(ExitCodeForTest, TheUsageBoxListsTheCodeOfEveryResult) {
  const std::string usage = UsageText();
  for (RunResult result : kAllResults) {
    const std::string line = "\n" + std::to_string(ExitCodeFor({result, 0})) +
                             (result == RunResult::HttpStatus ? " + status\t" : "\t");
    EXPECT_NE(usage.find(line), std::string::npos) << RunResultName(result);
  }
  EXPECT_NE(usage.find("\n10\tsetup digest mismatch"), std::string::npos);
}

}  // namespace
