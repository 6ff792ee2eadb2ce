// The package's files fetched over up to kMostLanes connections at once: each lane takes the
// next file in the list's order and fetches it whole (its tries, its redirects); the worker's
// thread is the first lane. The page shows the whole package: one bar and the line under it
// for every file, the current-file line naming a file in flight. Each file's log lines wait
// until the files before it are done, so that the log reads in the list's order; its message
// waits too, and only the first failure in that order shows its own and decides the run, the
// files after it abandoned. A server that refuses the extra connections or answers them 503
// gets the run back on one lane: a file turned away while another lane runs is given back, and
// only the last lane running goes on, with every file left and given back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/report/run_log.h"
#include "app/report/run_view.h"
#include "app/transfer/cancel_signal.h"
#include "app/transfer/file_download.h"
#include "base/critical_section_lock.h"

class PackageLanes {
 public:
  static constexpr std::size_t kMostLanes = 4;
  // A lane's new connection costs a few round trips (its connect, a TLS handshake) that only
  // several files on it win back: one lane for every kFilesPerLane files.
  static constexpr std::size_t kFilesPerLane = 4;
  static std::size_t LanesFor(std::size_t files) {
    return std::max<std::size_t>(1, std::min(kMostLanes, files / kFilesPerLane));
  }
  // What makes the transfer of one file of the list, not yet fetched, shown through view and
  // stopped by stop; called on the lanes' threads.
  class Maker {
   public:
    virtual std::unique_ptr<FileDownload> MakePackageTransfer(const std::string& name,
                                                              RunView& view,
                                                              CancelSignal& stop) = 0;

   protected:
    ~Maker() = default;
  };

  // page, cancel and maker outlive the lanes; page and cancel are the run's.
  PackageLanes(const std::vector<std::string>& names, RunView& page, CancelSignal& cancel,
               Maker& maker);
  ~PackageLanes();
  PackageLanes(const PackageLanes&) = delete;
  PackageLanes& operator=(const PackageLanes&) = delete;

  // Fetches the files and returns the first one in the list's order that failed, or the count
  // of files when none did (nor after a cancel).
  std::size_t FetchAll();
  FileDownload& Download(std::size_t index);
  // The message the file's failure would have shown, shown now on the page.
  void ShowMessageOf(std::size_t index);

 private:
  class FileView;
  struct File;

  void Lane();
  static void ExtraLane(void* lanes);
  static constexpr std::size_t kNoFile = ~std::size_t{0};
  // The next file for a lane, or kNoFile when the lane has no more to do (and no longer runs).
  std::size_t Next();
  void Fetch(std::size_t index);
  // Under the lock: the log lines of the files done, in the list's order, up to the one that
  // decides the run.
  void PassLogs();
  // Under the lock: the page's bar, line, current file and status from every file.
  void ShowProgress();

  RunView& page_;
  CancelSignal& cancel_;
  Maker& maker_;
  std::vector<std::unique_ptr<File>> files_;
  CriticalSectionLock lock_;
  std::size_t next_ = 0;
  std::size_t failed_;  // the first file in the list's order that failed; the count when none
  std::size_t logged_ = 0;
  std::vector<std::size_t> given_back_;
  bool one_lane_ = false;
  std::size_t running_ = 0;   // lanes
  std::uint64_t starts_ = 0;  // transfers begun, for the order of their starts
  unsigned shown_status_ = 0;
  std::string shown_file_;
  bool waiting_shown_ = false;
};
