// The state of one run that the dialogs, the download worker and the transfers share. There is
// exactly one of each per process; all of it lives for the whole run. Only app/ sees it: the
// layers below take what they need as arguments.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/path_limits.h"

// The value of DownloadThread when no worker runs.
constexpr std::uintptr_t kNoThread = ~std::uintptr_t{0};

// The program's instance handle (an HINSTANCE on Windows), stored by the entry point.
extern void* ModuleInstance;

// First line of partner.dat: a plain folder name, checked where it is read.
extern char PartnerId[kPathBufferSize];
// First line of OrvexDownload.dat.
extern char PackageTitle[kPathBufferSize];
// The package file names from OrvexDownload.dat, in file order.
extern std::vector<std::string> FileList;
// Second word of the downloaded index file.
extern std::string SetupUrl;
// Third word of the downloaded index file (the setup program's digest); empty when it has none.
extern std::string SetupDigestWord;
// The per-partner temporary folder, without a trailing backslash; empty until prepared.
extern char TempFolderBuffer[kPathBufferSize];
// The messenger's program folder, without a trailing backslash; empty when not found.
extern char MessengerFolder[kPathBufferSize];

// Set by a confirmed cancel, read by the worker and by each transfer's data hook.
extern std::atomic<bool> CancelRequested;
// Set once the worker has decided that the messenger's setup must run.
extern std::atomic<bool> SetupRequired;
// Handle of the running download worker thread, kNoThread when none.
extern std::atomic<std::uintptr_t> DownloadThread;
// The last worker's result, set before it sends its closing command.
extern std::atomic<std::int32_t> DownloadResult;
