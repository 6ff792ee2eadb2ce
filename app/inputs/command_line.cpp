#include "app/inputs/command_line.h"

#include <vector>

#include "app/report/outcome.h"
#include "base/ascii.h"

namespace {

// Splits at blanks; a double quote starts or ends a quoted part and is dropped. Backslashes
// are plain characters, since paths are full of them.
std::vector<std::string> SplitArguments(const char* text) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
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

// Whether the argument is one of the program's switches.
bool NamesSwitch(const std::string& argument) {
  const std::string name = SwitchName(argument);
  return name == "quiet" || name == "s" || name == "?" || name == "help" || name == "log" ||
         name.compare(0, 4, "log=") == 0 || name.compare(0, 5, "lang:") == 0;
}

}  // namespace

CommandLine ParseCommandLine(const char* text) {
  CommandLine result;
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
    } else if (name.compare(0, 4, "log=") == 0 && name.size() > 4) {
      result.log_path = argument.substr(5);
    } else if (name.compare(0, 5, "lang:") == 0 && LanguageForTag(name.substr(5)) != nullptr) {
      result.language = LanguageForTag(name.substr(5));
    } else if (result.bad_switch.empty()) {
      // Later switches still count: "/bogus /quiet" must not open a box.
      result.bad_switch = argument;
    }
  }
  return result;
}

std::string UsageText() {
  return "OrvexDownload [/quiet] [/log PATH] [/lang:TAG] [/?]\n"
         "\n"
         "/quiet, /S\tno window and no message box\n"
         "/log PATH, /log=PATH\tappend a log of the run to PATH\n"
         "/lang:TAG\tspeak de, fr, es, it, pt-BR, ru, pl, tr, zh-CN, ja or en\n"
         "/?, /help\tthis list\n"
         "\n"
         "Exit codes:\n" +
         ExitCodeLines();
}
