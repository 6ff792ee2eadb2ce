// The program's exit codes: one per kind of failure, so that a script can tell them apart.
#pragma once

#include "base/run_result.h"

constexpr int kExitSucceeded = 0;
constexpr int kExitNoPartnerId = -1;
// A setup program whose digest does not match.
constexpr int kExitSetupDigest = 10;
constexpr int kExitBadSwitch = 20;
constexpr int kExitLogUnavailable = 21;
constexpr int kExitAlreadyRunning = 22;
// An HTTP status other than 200 exits with this plus the status.
constexpr int kExitHttpStatusBase = 1000;

// The exit code of a run that ended with outcome.
int ExitCodeFor(const Outcome& outcome);
