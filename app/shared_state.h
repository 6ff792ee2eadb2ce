// The state that the dialogs, the download worker, the transfers and the installation share.
// There is exactly one of each per process; all of it lives for the whole run.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fixed text buffers and paths hold at most 259 characters and a terminating zero.
constexpr std::size_t kPathBufferSize = 260;

// The value of DownloadThread when no worker runs.
constexpr std::uintptr_t kNoThread = ~std::uintptr_t{0};

// The program's instance handle (an HINSTANCE on Windows), stored by the entry point.
extern void* ModuleInstance;

// First line of partner.dat.
extern char PartnerId[kPathBufferSize];
// First line of OrvexDownload.dat.
extern char PackageTitle[kPathBufferSize];
// The package file names from OrvexDownload.dat, in file order.
extern std::vector<std::string> FileList;
// Second word of the downloaded index file.
extern std::string SetupUrl;

// Set by a confirmed cancel, read by the worker and by each transfer's data hook.
extern std::atomic<bool> CancelRequested;
// Set once the worker has decided that the messenger's setup must run.
extern std::atomic<bool> SetupRequired;
// Handle of the running download worker thread, kNoThread when none.
extern std::atomic<std::uintptr_t> DownloadThread;
