#include "app/run/package_lanes.h"

#include <algorithm>

#include "app/resources/resource.h"
#include "base/thread.h"

namespace {
// The bar's share of each file.
constexpr long kFileShare = 1000;
}  // namespace

// One file of the list: its own log (held until the files before it are done), its view of the
// page, the signal that stops it (set with the run's cancel, or when a file before it failed),
// its transfer, and what the page shows of it.
struct PackageLanes::File {
  File(PackageLanes& lanes, std::string file_name)
      : name(std::move(file_name)), stop(&lanes.cancel_) {
    log.HoldFor(lanes.page_.Log());
  }

  std::string name;
  RunLog log;
  CancelSignal stop;
  std::unique_ptr<FileView> view;
  std::unique_ptr<FileDownload> download;
  bool done = false;       // fetched or failed: not fetched again
  bool in_flight = false;  // from its transfer's start to its end
  bool receiving = false;  // its reply's body has begun
  bool silent = false;
  std::uint64_t started = 0;  // when, in the order of starts: the latest names the page's file
  std::uint64_t bytes = 0;
  std::optional<std::uint32_t> total;
  // The message its failure would show.
  bool has_message = false;
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

// What one file's transfer shows, gathered into the whole package's page under the lanes' lock.
class PackageLanes::FileView : public RunView {
 public:
  FileView(PackageLanes& lanes, File& file) : RunView(file.log), lanes_(lanes), file_(file) {}

  void Status(unsigned text_id) override {
    LockGuard guard(lanes_.lock_);
    file_.receiving = text_id == IDS_DOWNLOAD_IN_PROGRESS;
    lanes_.ShowProgress();
  }
  void StatusText(const std::string& text) override {
    LockGuard guard(lanes_.lock_);
    lanes_.page_.StatusText(text);
    lanes_.shown_status_ = 0;  // the next status is shown again
  }
  void ServerWaiting(bool waiting) override {
    LockGuard guard(lanes_.lock_);
    file_.silent = waiting;
    lanes_.ShowProgress();
  }
  void CurrentFile(const std::string& name) override {
    LockGuard guard(lanes_.lock_);
    file_.in_flight = !name.empty();
    if (file_.in_flight) file_.started = ++lanes_.starts_;
    lanes_.ShowProgress();
  }
  void ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start) override {
    LockGuard guard(lanes_.lock_);
    file_.total = total;
    file_.bytes = start;
    lanes_.ShowProgress();
  }
  void ProgressAdvance(long by) override {
    LockGuard guard(lanes_.lock_);
    file_.bytes += static_cast<std::uint64_t>(by);
    lanes_.ShowProgress();
  }
  void WholeProgress(long, long, std::uint64_t, std::optional<std::uint64_t>) override {}
  // A new try begins the file again; once it has ended what arrived stays counted.
  void ProgressClear() override {
    LockGuard guard(lanes_.lock_);
    if (file_.in_flight) file_.bytes = 0;
    lanes_.ShowProgress();
  }
  void AcceptInput(bool accept) override {
    LockGuard guard(lanes_.lock_);
    lanes_.page_.AcceptInput(accept);
  }

 protected:
  int Show(const std::string& text, const char* caption, unsigned flags) override {
    LockGuard guard(lanes_.lock_);
    file_.has_message = true;
    file_.text = text;
    file_.caption = caption;
    file_.flags = flags;
    return IDOK;
  }

 private:
  PackageLanes& lanes_;
  File& file_;
};

PackageLanes::PackageLanes(const std::vector<std::string>& names, RunView& page,
                           CancelSignal& cancel, Maker& maker)
    : page_(page), cancel_(cancel), maker_(maker), files_(names.size()), failed_(names.size()) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    files_[i] = std::make_unique<File>(*this, names[i]);
    files_[i]->view = std::make_unique<FileView>(*this, *files_[i]);
  }
}

PackageLanes::~PackageLanes() = default;

std::size_t PackageLanes::FetchAll() {
  Thread extra[kMostLanes - 1];
  running_ = 1;  // this thread's
  const std::size_t lanes = LanesFor(files_.size());
  for (std::size_t i = 0; i + 1 < lanes; ++i) {
    {
      LockGuard guard(lock_);
      ++running_;
    }
    if (extra[i].Start(ExtraLane, this)) continue;
    LockGuard guard(lock_);
    --running_;
  }
  Lane();
  for (Thread& lane : extra) lane.Join();

  LockGuard guard(lock_);
  PassLogs();
  // After a cancel the log has what every file began; the files after a failure that decides
  // the run are abandoned, whatever their state.
  for (std::size_t i = logged_; i < files_.size() && cancel_.IsSet(); ++i) {
    files_[i]->log.PassTo(page_.Log());
  }
  if (failed_ + 1 < files_.size() && !cancel_.IsSet()) {
    page_.Log().Write("%s failed: the files after it are abandoned", files_[failed_]->name.c_str());
  }
  page_.ProgressClear();
  page_.CurrentFile("");
  return failed_;
}

FileDownload& PackageLanes::Download(std::size_t index) {
  return *files_[index]->download;
}

void PackageLanes::ShowMessageOf(std::size_t index) {
  const File& file = *files_[index];
  if (file.has_message) page_.Present(file.text, file.caption, file.flags);
}

void PackageLanes::ExtraLane(void* lanes) {
  static_cast<PackageLanes*>(lanes)->Lane();
}

void PackageLanes::Lane() {
  for (std::size_t index; (index = Next()) != kNoFile;) Fetch(index);
}

std::size_t PackageLanes::Next() {
  LockGuard guard(lock_);
  const bool stays = !cancel_.IsSet() && (!one_lane_ || running_ == 1);
  if (stays && !given_back_.empty()) {
    const std::size_t index = given_back_.back();
    given_back_.pop_back();
    return index;
  }
  if (stays && next_ < files_.size() && next_ < failed_) return next_++;
  --running_;
  return kNoFile;
}

void PackageLanes::Fetch(std::size_t index) {
  File& file = *files_[index];
  if (!file.download) file.download = maker_.MakePackageTransfer(file.name, *file.view, file.stop);
  FileDownload& download = *file.download;
  {
    // Only a lane beside another may give a file back: the last one fetches it.
    LockGuard guard(lock_);
    download.GiveBackIfRefused(running_ > 1);
  }
  if (!file.stop.IsSet()) download.Fetch();

  LockGuard guard(lock_);
  if (download.GivenBack() && !file.stop.IsSet()) {
    one_lane_ = true;
    given_back_.push_back(index);
    return;
  }
  file.done = true;
  // A stopped file ended as a cancelled one, which is no failure.
  if (!download.TransferOutcome().Succeeded() && index < failed_) {
    failed_ = index;
    for (std::size_t later = index + 1; later < files_.size(); ++later) {
      files_[later]->stop.Set();
    }
  }
  PassLogs();
  ShowProgress();
}

void PackageLanes::PassLogs() {
  while (logged_ < files_.size() && logged_ <= failed_ && files_[logged_]->done) {
    files_[logged_++]->log.PassTo(page_.Log());
  }
}

void PackageLanes::ShowProgress() {
  long position = 0;
  std::uint64_t bytes = 0;
  std::uint64_t total = 0;
  bool total_known = true;
  const File* latest = nullptr;  // the file in flight that began last
  bool receiving = false;
  bool all_silent = true;
  for (const std::unique_ptr<File>& file : files_) {
    bytes += file->bytes;
    if (file->done) {
      position += kFileShare;
      total += file->bytes;
      continue;
    }
    if (file->total) {
      total += *file->total;
      if (*file->total > 0) {
        position += static_cast<long>(
            std::min<std::uint64_t>(kFileShare, file->bytes * kFileShare / *file->total));
      }
    } else {
      total_known = false;
    }
    if (!file->in_flight) continue;
    if (latest == nullptr || file->started > latest->started) latest = file.get();
    receiving = receiving || file->receiving;
    all_silent = all_silent && file->silent;
  }
  page_.WholeProgress(position, kFileShare * static_cast<long>(files_.size()), bytes,
                      total_known ? std::optional<std::uint64_t>(total) : std::nullopt);
  const std::string name = latest != nullptr ? latest->name : std::string();
  if (name != shown_file_) {
    shown_file_ = name;
    page_.CurrentFile(name);
  }
  if (latest == nullptr) return;
  const unsigned status = receiving ? IDS_DOWNLOAD_IN_PROGRESS : IDS_CONNECTING;
  if (status != shown_status_) {
    shown_status_ = status;
    page_.Status(status);
  }
  if (all_silent != waiting_shown_) {
    waiting_shown_ = all_silent;
    page_.ServerWaiting(all_silent);
  }
}
