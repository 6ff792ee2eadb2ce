// Where the installed messenger lives and how recent it is, read afresh from the registry.
#pragma once

#include <cstdint>

// The messenger's program folder without a trailing backslash; empty when not found.
extern char MessengerFolder[260];

// The stored "Orvex Version"; 0 when the messenger is not installed or the value is absent
// or longer than four bytes. Every call reads the registry anew.
std::uint32_t GetMessengerVersion();

// Fills MessengerFolder from the messenger's App Paths entry. When the entry's key is
// missing the buffer keeps what it held; when its value is missing or too long it is
// emptied.
void FindMessengerFolder();

// True for a messenger that is missing or too old: below 534, or exactly 2001.
bool MessengerNeedsSetup(std::uint32_t version);
