#include "app/inputs/command_line.h"

#include <cstdint>
#include <string>
#include <vector>

#include "app/report/outcome.h"
#include "base/ascii.h"

namespace {

// Splits at blanks as a Windows program's start-up code does: a double quote starts or ends a
// quoted part and is dropped. Backslashes are plain characters, since paths are full of them,
// except before a double quote: there each pair stands for one, and an odd one left over makes
// the quote a character of the argument (\" for ").
std::vector<std::string> SplitArguments(const char* text) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    std::size_t backslashes = 0;
    while (p[backslashes] == '\\') ++backslashes;
    const bool before_quote = backslashes > 0 && p[backslashes] == '"';
    if (before_quote) {
      current.append(backslashes / 2, '\\');
      p += backslashes;
      in_argument = true;
      if (backslashes % 2 == 1) {
        current += '"';
        continue;
      }
    }
    const char c = *p;
    if (c == '"') {
      quoted = !quoted;
      in_argument = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (in_argument) arguments.push_back(current);
      current.clear();
      in_argument = false;
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (in_argument) arguments.push_back(current);
  return arguments;
}

std::string Lower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

// The switch's name in lower case, without its '/' or '-'; empty for a word that is no switch.
std::string SwitchName(const std::string& argument) {
  const bool is_switch = argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
  return is_switch ? Lower(argument.substr(1)) : std::string();
}

bool StartsWith(const std::string& text, const char* start) {
  return text.compare(0, std::char_traits<char>::length(start), start) == 0;
}

// Whether the argument is one of the program's switches.
bool NamesSwitch(const std::string& argument) {
  const std::string name = SwitchName(argument);
  return name == "quiet" || name == "s" || name == "?" || name == "help" || name == "log" ||
         StartsWith(name, "log=") || StartsWith(name, "lang:") || StartsWith(name, "setupargs:") ||
         StartsWith(name, "setuptimeout:");
}

// The seconds of /setuptimeout: digits alone, 1 to 86400 (a day).
bool ReadSeconds(const std::string& digits, std::uint32_t* seconds) {
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 86400) return false;
  }
  *seconds = value;
  return value > 0;
}

// What is wrong with a bad switch, for the log.
const char* WhyBad(const std::string& name) {
  if (name == "log" || name == "log=") return "no path follows it";
  if (StartsWith(name, "lang:")) return "no such language";
  if (StartsWith(name, "setuptimeout:")) return "not a number of seconds from 1 to 86400";
  return "not a switch of this program";
}

}  // namespace

CommandLine ParseCommandLine(const char* text) {
  CommandLine result;
  std::string setup_switch;  // the last /setupargs or /setuptimeout, which need /quiet
  const std::vector<std::string> arguments = SplitArguments(text);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string name = SwitchName(argument);
    // "/log /quiet" gives no path: the switch after it is still a switch, and no log is made.
    const bool log_value_follows =
        i + 1 < arguments.size() && !arguments[i + 1].empty() && !NamesSwitch(arguments[i + 1]);
    if (name == "quiet" || name == "s") {
      result.quiet = true;
    } else if (name == "?" || name == "help") {
      result.help = true;
    } else if (name == "log" && log_value_follows) {
      result.log_path = arguments[++i];
    } else if (StartsWith(name, "log=") && name.size() > 4) {
      result.log_path = argument.substr(5);
    } else if (StartsWith(name, "lang:") && LanguageForTag(name.substr(5)) != nullptr) {
      result.language = LanguageForTag(name.substr(5));
    } else if (StartsWith(name, "setupargs:")) {
      // As written, letter case and quotes given by \" included.
      result.setup.arguments = argument.substr(11);
      setup_switch = argument;
    } else if (StartsWith(name, "setuptimeout:") &&
               ReadSeconds(name.substr(13), &result.setup.timeout_s)) {
      setup_switch = argument;
    } else if (result.bad_switch.empty()) {
      // Later switches still count: "/bogus /quiet" must not open a box.
      result.bad_switch = argument;
      result.bad_switch_why = WhyBad(name);
    }
  }
  // The wizard's user starts the setup as it is: these are for software distribution.
  if (!setup_switch.empty() && !result.quiet && result.bad_switch.empty()) {
    result.bad_switch = setup_switch;
    result.bad_switch_why = "only with /quiet";
  }
  return result;
}

std::string UsageText() {
  // Lines with as many tabs line up in columns in the usage box.
  return "OrvexDownload [/quiet] [/log PATH] [/lang:TAG] [/setupargs:TEXT] "
         "[/setuptimeout:SECONDS] [/?]\n"
         "\n"
         "/quiet, /S\tno window and no message box\n"
         "/log PATH, /log=PATH\tappend a log of the run to PATH\n"
         "/lang:TAG\tspeak de, fr, es, it, pt-BR, ru, pl, tr, zh-CN, ja or en\n"
         "/setupargs:TEXT\twith /quiet: the setup's command line after its path\n"
         "/setuptimeout:SECONDS\twith /quiet: wait at most that long (1 to 86400) for the setup\n"
         "/?, /help\tthis list\n"
         "\n"
         "Exit codes:\n" +
         ExitCodeLines();
}
