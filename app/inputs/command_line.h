// The program's switches. Each starts with '/' or '-' and is read in any letter case:
//   /quiet or /S     no window and no message box; the exit code tells how the run ended
//   /log PATH        (or /log=PATH) appends a plain-text log of the run to PATH; a PATH that
//                    names one of these switches ("/log /quiet") is a missing one
//   /lang:TAG        speaks that language (de fr es it pt-BR ru pl tr zh-CN ja, or en) instead
//                    of the one the display language chooses; another TAG is a bad switch
//   /setupargs:TEXT  with /quiet: TEXT is the messenger's setup's command line after its path
//   /setuptimeout:SECONDS  with /quiet: the setup is waited for at most that long (1 to 86400)
//   /? or /help      lists the switches
// Anything else, a stray word included, is a bad switch. Arguments are split as on any Windows
// command line: quotes group blanks into one, and \" is a quote inside one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/report/language.h"

// How an unattended run starts the messenger's setup.
struct SetupSwitches {
  std::optional<std::string> arguments;  // none: started without a command line
  std::uint32_t timeout_s = 0;           // 0: waited for without a limit
};

struct CommandLine {
  bool quiet = false;
  bool help = false;
  std::string log_path;                // empty: no log
  const Language* language = nullptr;  // null: chosen by the display language
  SetupSwitches setup;
  std::string bad_switch;           // the first argument that is no switch of ours; empty when none
  const char* bad_switch_why = "";  // what is wrong with it, for the log
};

// Reads the command line after the program's name (WinMain's lpCmdLine).
CommandLine ParseCommandLine(const char* text);

// The text of the box that /? shows: the switches and the exit codes.
std::string UsageText();
