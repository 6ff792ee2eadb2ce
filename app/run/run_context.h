// One run of the program, from the partner identifier to the last transfer: what the pages,
// the download worker and the transfers share. The program makes one and hands it down, to the
// pages through their creation parameter, to the worker through its start; nothing of it is
// global. The worker writes the run's values on its own thread while the pages wait for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/report/progress_text.h"
#include "app/report/run_log.h"
#include "app/run/worker_thread.h"
#include "app/transfer/cancel_signal.h"
#include "base/path_limits.h"

struct RunContext {
  explicit RunContext(RunLog& run_log) : log(run_log) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // First line of partner.dat: a plain folder name, read once before the first page.
  char PartnerId[kPathBufferSize] = {};
  // First line of OrvexDownload.dat, and the package file names in file order; refilled by
  // each run.
  char PackageTitle[kPathBufferSize] = {};
  std::vector<std::string> FileList;
  // Second and third words of the downloaded index file: the setup program and its digest
  // (empty when the file has none).
  std::string SetupUrl;
  std::string SetupDigestWord;
  // The per-partner temporary folder, without a trailing backslash; empty until prepared.
  char TempFolderBuffer[kPathBufferSize] = {};
  // The messenger's program folder, without a trailing backslash; empty when not found.
  char MessengerFolder[kPathBufferSize] = {};

  // Set by a confirmed cancel; aborts the running transfer.
  CancelSignal CancelRequested;
  // Whether the cancel ended the last run before it was done (written by the worker).
  bool ended_by_cancel = false;
  DownloadWorkerThread DownloadThread;
  // The latest line under the progress bar, written by the worker's transfers and taken by
  // the progress page on its own thread.
  LatestText progress_line;
  // The welcome page, told when a worker has ended; null while none is open.
  std::atomic<HWND> welcome_page{nullptr};

  RunLog& log;
};
