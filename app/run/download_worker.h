// The procedure that does the wizard's whole job on a thread of its own: index file, package
// files, the messenger's setup when needed, installation, and the closing command.
#pragma once

#include <windows.h>

#include "app/report/outcome.h"
#include "app/report/run_view.h"
#include "app/run/run_context.h"

// Everything a run does, up to the closing command, shown through view, and the log's line of
// how it ended. A cancelled run ends as a successful one. An unattended run calls it on the main
// thread.
Outcome RunDownload(RunContext& context, RunView& view);

// The worker on its thread: the run on the progress page dialog, then its closing command to
// the page and the word to the welcome page (a page update) that the worker has ended.
void DownloadWorker(HWND dialog, RunContext& context);
