// What the threads of one run of the program share: the pages' thread, the download worker's and
// its transfers'. The program makes one and hands it down, to the pages through their creation
// parameter, to the worker through its start; nothing of it is global. Whatever one run of the
// worker gathers (the download list, the index file's words, its folders) is the worker's own.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

#include "app/inputs/command_line.h"
#include "app/inputs/partner_id.h"
#include "app/report/outcome.h"
#include "app/report/page_updates.h"
#include "app/report/run_log.h"
#include "app/run/worker_thread.h"
#include "app/transfer/cancel_signal.h"

class PartnerKeys;

struct RunContext {
  RunContext(PartnerId partner, RunLog& run_log, const PartnerKeys* keys)
      : partner_id(std::move(partner)), log(run_log), partner_keys(keys) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // First line of partner.dat, read once before the first page.
  const PartnerId partner_id;
  // How an unattended run starts the messenger's setup (/setupargs, /setuptimeout).
  SetupSwitches setup;
  // Lines come from every thread; the log has its own lock.
  RunLog& log;
  // The partner's keys the program carries, read before the first page; null without any. With
  // keys, everything a run fetches must be signed. Only the worker uses them.
  const PartnerKeys* const partner_keys;

  // Set by a confirmed cancel; aborts the running transfer.
  CancelSignal CancelRequested;
  DownloadWorkerThread DownloadThread;
  // How the worker's last run ended: the progress page acts on it when the worker's closing
  // command arrives.
  std::atomic<RunResult> last_result{RunResult::Succeeded};
  // What the program adds to each page (page_updates.h).
  PageUpdates welcome_updates;
  PageUpdates progress_updates;
};
