// The procedure that does the wizard's whole job on a thread of its own: index file, package
// files, the messenger's setup when needed, installation, and the closing command.
#pragma once

#include <windows.h>

#include "app/report/outcome.h"
#include "app/report/run_view.h"
#include "app/run/run_context.h"

// Posted to the welcome page once a worker has ended, so that a new download can start.
constexpr UINT kWorkerEndedMessage = WM_APP + 1;

// Everything a run does, up to the closing command, shown through view. A cancelled run ends
// as a successful one. An unattended run calls it on the main thread.
Outcome RunDownload(RunContext& context, RunView& view);

// The worker on its thread: the run on the progress page dialog, then its closing command to
// the page and the word to the welcome page that the worker has ended.
void DownloadWorker(HWND dialog, RunContext& context);
