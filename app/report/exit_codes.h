// The program's exit codes: one per kind of failure, so that a script can tell them apart. One
// table gives them, for the exit itself and for the usage box that lists them.
#pragma once

#include <cstddef>
#include <string>

#include "app/report/outcome.h"

constexpr int kExitSucceeded = 0;
constexpr int kExitNoPartnerId = -1;
// A setup program whose digest does not match.
constexpr int kExitSetupDigest = 10;
// A proxy that asks for credentials.
constexpr int kExitProxyAuth = 11;
constexpr int kExitBadSwitch = 20;
constexpr int kExitLogUnavailable = 21;
constexpr int kExitAlreadyRunning = 22;
// An HTTP status other than 200 exits with this plus the status.
constexpr int kExitHttpStatusBase = 1000;

// One exit code: the run's result it stands for (run_result false: the program ends before any
// run), and what the usage box says of it.
struct ExitCodeEntry {
  int code;
  bool run_result;
  RunResult result;
  const char* meaning;
};

extern const ExitCodeEntry kExitCodes[];
extern const std::size_t kExitCodeCount;

// The exit code of a run that ended with outcome.
int ExitCodeFor(const Outcome& outcome);

// The table as the usage box shows it: one line per code, "code<TAB>meaning".
std::string ExitCodeLines();
