// The program's switches. Each starts with '/' or '-' and is read in any letter case:
//   /quiet or /S     no window and no message box; the exit code tells how the run ended
//   /log PATH        (or /log=PATH) appends a plain-text log of the run to PATH; a PATH that
//                    names one of these switches ("/log /quiet") is a missing one
//   /lang:TAG        speaks that language (de fr es it pt-BR ru pl tr zh-CN ja, or en) instead
//                    of the one the display language chooses; another TAG is a bad switch
//   /? or /help      lists the switches
// Anything else, a stray word included, is a bad switch. Quotes group a path with spaces.
#pragma once

#include <string>

#include "app/report/language.h"

struct CommandLine {
  bool quiet = false;
  bool help = false;
  std::string log_path;                // empty: no log
  const Language* language = nullptr;  // null: chosen by the display language
  std::string bad_switch;  // the first argument that is no switch of ours; empty when none
};

// Reads the command line after the program's name (WinMain's lpCmdLine).
CommandLine ParseCommandLine(const char* text);

// The text of the box that /? shows: the switches and the exit codes.
std::string UsageText();
