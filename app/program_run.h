// The program's whole run after start-up: switches, log, partner, one wizard per partner, and
// the wizard or the unattended run. Returns the exit code.
#pragma once

int RunProgram(const char* command_line);
