// Where the installed messenger lives and how recent it is, read afresh from the registry.
#pragma once

#include <cstdint>

#include "base/path_limits.h"

// The stored "Orvex Version"; 0 when the messenger is not installed or the value is absent
// or longer than four bytes. Every call reads the registry anew.
std::uint32_t GetMessengerVersion();

// Fills folder with the messenger's program folder (its App Paths entry without the last
// backslash and file name). When the entry's key is missing folder keeps what it held; when
// its value is missing or too long it is emptied.
void FindMessengerFolder(char (&folder)[kPathBufferSize]);

// True for a messenger that is missing or too old: below 534, or exactly 2001.
bool MessengerNeedsSetup(std::uint32_t version);
