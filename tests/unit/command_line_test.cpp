#include "app/inputs/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
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
        CommandLineCase{"LanguageWithoutColon", "/lang de", false, false, "", "/lang"},
        // Backslashes count before a quote only: pairs halve, an odd one escapes it.
        CommandLineCase{"LogPathEndingInBackslashPair", "/log \"C:\\a b\\\\\" /S", true, false,
                        "C:\\a b\\", ""},
        CommandLineCase{"LogPathWithEscapedQuote", "/log=C:\\a\\\"b /S", true, false, "C:\\a\"b",
                        ""}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

const RunResult kAllResults[] = {
    RunResult::Succeeded,       RunResult::HostNotResolved,     RunResult::CannotConnect,
    RunResult::SendFailed,      RunResult::ReplyCutShort,       RunResult::HttpStatus,
    RunResult::CannotStoreFile, RunResult::DownloadListMissing, RunResult::IndexFileUnreadable,
    RunResult::SetupIncomplete, RunResult::SetupDigestMismatch, RunResult::ProxyAuthRequired,
    RunResult::NoPartnerId,     RunResult::BadSwitch,           RunResult::LogUnavailable,
    RunResult::AlreadyRunning,  RunResult::ServerStalled,       RunResult::PackageNotVerified,
    RunResult::SetupNotSigned,  RunResult::OldKeyLayout,        RunResult::ProgramNotTrusted,
    RunResult::SetupTimedOut};

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
    // A code begins a line or the second column of one (after the empty column between).
    const std::string cell = std::to_string(ExitCodeFor({result, 0})) +
                             (result == RunResult::HttpStatus ? " + status\t" : "\t");
    EXPECT_TRUE(usage.find("\n" + cell) != std::string::npos ||
                usage.find("\t\t" + cell) != std::string::npos)
        << RunResultName(result);
  }
  EXPECT_NE(usage.find("10\tsetup digest mismatch"), std::string::npos);
}

// The usage box lines up lines with as many columns: every row of the codes has five.
TEST(ExitCodeForTest, TheUsageBoxRowsOfCodesHaveFiveColumns) {
  const std::string usage = UsageText();
  const std::string codes = usage.substr(usage.find("Exit codes:\n") + 12);
  std::size_t rows = 0;
  for (std::size_t begin = 0; begin <= codes.size(); ++rows) {
    const std::size_t end = std::min(codes.find('\n', begin), codes.size());
    EXPECT_EQ(std::count(codes.begin() + static_cast<long>(begin),
                         codes.begin() + static_cast<long>(end), '\t'),
              4)
        << codes.substr(begin, end - begin);
    begin = end + 1;
  }
  EXPECT_EQ(rows, (std::size(kAllResults) + 1) / 2);
}

struct SetupCase {
  const char* text;
  const char* arguments;  // null: none
  std::uint32_t timeout_s;
  const char* bad_switch;
  const char* why;
};

// /setupargs and /setuptimeout go with /quiet only; arguments split as Windows splits them.
TEST(ParseCommandLine, ReadsTheSetupSwitches) {
  const SetupCase cases[] = {
      {"/quiet \"/setupargs:/S /norestart\"", "/S /norestart", 0, "", ""},
      {"/quiet /SETUPARGS:\"/S /norestart\"", "/S /norestart", 0, "", ""},
      {"-S \"/setupargs:/D=\\\"C:\\Program Files\\X\\\"\"", "/D=\"C:\\Program Files\\X\"", 0, "",
       ""},
      {"/quiet /setupargs:", "", 0, "", ""},
      {"/quiet /setuptimeout:86400", nullptr, 86400, "", ""},
      {"/setuptimeout:1 /quiet /setupargs:x", "x", 1, "", ""},
      {"/setupargs:/S", "/S", 0, "/setupargs:/S", "only with /quiet"},
      {"/setuptimeout:60", nullptr, 60, "/setuptimeout:60", "only with /quiet"},
      {"/quiet /setuptimeout:0", nullptr, 0, "/setuptimeout:0",
       "not a number of seconds from 1 to 86400"},
      {"/quiet /setuptimeout:86401", nullptr, 0, "/setuptimeout:86401",
       "not a number of seconds from 1 to 86400"},
      {"/quiet /setuptimeout:-5", nullptr, 0, "/setuptimeout:-5",
       "not a number of seconds from 1 to 86400"},
      {"/quiet /setuptimeout:", nullptr, 0,
       "/setuptimeout:", "not a number of seconds from 1 to 86400"},
      {"/bogus /setupargs:/S", "/S", 0, "/bogus", "not a switch of this program"},
  };
  for (const SetupCase& c : cases) {
    const CommandLine parsed = ParseCommandLine(c.text);
    EXPECT_EQ(parsed.setup.arguments.value_or("(none)"), c.arguments ? c.arguments : "(none)")
        << c.text;
    EXPECT_EQ(parsed.setup.timeout_s, c.timeout_s) << c.text;
    EXPECT_EQ(parsed.bad_switch, c.bad_switch) << c.text;
    EXPECT_STREQ(parsed.bad_switch_why, c.why) << c.text;
  }
}

}  // namespace
