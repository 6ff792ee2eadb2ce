#include "app/run/download_worker.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/inputs/download_list.h"
#include "app/inputs/index_file.h"
#include "app/inputs/index_url.h"
#include "app/inputs/program_folder.h"
#include "app/report/dialog_view.h"
#include "app/report/message_texts.h"
#include "app/resources/resource.h"
#include "app/run/setup_program.h"
#include "app/transfer/file_download.h"
#include "app/transfer/proxy_choice.h"
#include "base/held_file.h"
#include "base/owned_handle.h"
#include "base/path_limits.h"
#include "base/registry_key.h"
#include "base/text_reader.h"
#include "messenger/messenger_detection.h"
#include "messenger/package_installation.h"
#include "messenger/registry_layout.h"
#include "messenger/skin_registration.h"
#include "messenger/temp_folder.h"

namespace {

constexpr const char* kMessengerMutexes[] = {"Kestrane Orvex Mutex", "Kestrane_Orvex_Local_Mutex",
                                             "Kestrane_Orvex_Global_Mutex"};

constexpr Outcome kSucceeded{RunResult::Succeeded, 0};

// "TestSkinPath" when it can be read and fits in 100 bytes, else the built-in base URL.
std::string BaseUrl() {
  RegistryKey prefs;
  char value[101] = {};
  DWORD size = 100;
  if (prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, KEY_READ) &&
      prefs.QueryValue(kTestSkinPathValue, value, &size)) {
    return value;
  }
  return LoadResString(IDS_DEFAULT_BASE_URL, English());
}

bool MessengerIsRunning() {
  for (const char* name : kMessengerMutexes) {
    OwnedHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, TRUE, name));
    if (mutex.Valid()) return true;
  }
  return false;
}

// One run of the worker: what it gathers as it goes, and the steps that use it. Everything here
// lives on the worker's thread; only the cancel signal and the partner come from the run's
// context.
class DownloadRun {
 public:
  DownloadRun(RunContext& context, RunView& view)
      : partner_id_(context.partner_id),
        cancel_(context.CancelRequested),
        view_(view),
        log_(view.Log()),
        proxies_(log_) {}

  // Everything up to the installation; a confirmed cancel ends it as a success, with
  // Cancelled() set.
  Outcome Run();
  bool Cancelled() const { return cancelled_; }

 private:
  // Where a confirmed cancel ends the run: nothing more is fetched, started or installed. A
  // cancel that comes once the installation is under way does not stop it.
  Outcome EndCancelled() {
    cancelled_ = true;
    return kSucceeded;
  }
  std::optional<Outcome> PrepareFolder();
  std::optional<Outcome> FetchIndexFile(const std::string& url);
  std::optional<Outcome> FetchPackageFiles();
  Outcome SetupThenInstall();
  // One transfer into the temporary folder along the way the proxy settings give, started and
  // waited for; the caller reads its outcome and takes its file.
  std::unique_ptr<FileDownload> Transfer(const std::string& url);
  Outcome Install(bool after_setup);
  Outcome InstallAndLog(bool after_setup);

  const PartnerId& partner_id_;
  CancelSignal& cancel_;
  RunView& view_;
  RunLog& log_;
  ProxyChooser proxies_;
  bool cancelled_ = false;

  // The per-partner temporary folder, without a trailing backslash, and its holder.
  char TempFolderBuffer[kPathBufferSize] = {};
  OwnedHandle temp_holder_;
  IndexFile index_;
  DownloadList list_;
  // The package files, held from their transfer to their installation.
  std::vector<HeldFile> package_files_;
  // The messenger's program folder, without a trailing backslash; empty when not found.
  char MessengerFolder[kPathBufferSize] = {};
};

std::unique_ptr<FileDownload> DownloadRun::Transfer(const std::string& url) {
  auto download = std::make_unique<FileDownload>(url.c_str(), view_, TempFolderBuffer, cancel_);
  download->SetRoute(proxies_.RouteFor(url, download->RequestUrl()));
  download->Fetch();
  return download;
}

// Without a usable temporary folder the files would land beside the program.
std::optional<Outcome> DownloadRun::PrepareFolder() {
  const TempFolderStatus status =
      PrepareTempFolder(partner_id_.c_str(), TempFolderBuffer, &temp_holder_);
  if (status == TempFolderStatus::Unusable || status == TempFolderStatus::Taken) {
    if (status == TempFolderStatus::Unusable) {
      log_.Write("no usable temporary folder for %s", partner_id_.c_str());
    } else {
      log_.Write(
          "the temporary folder %s cannot be made anew (it is held open, cannot be removed "
          "or is a link): not used",
          TempFolderBuffer);
    }
    view_.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
    return Outcome{RunResult::CannotStoreFile, 0};
  }
  log_.Write("temporary folder %s", TempFolderBuffer);
  if (status == TempFolderStatus::Ready) {
    log_.Write("registry HKCU\\Software\\Kestrane\\TempPartnerPath = %s", TempFolderBuffer);
  }
  return std::nullopt;
}

std::optional<Outcome> DownloadRun::FetchIndexFile(const std::string& url) {
  std::unique_ptr<FileDownload> index = Transfer(url);
  if (cancel_.IsSet()) return EndCancelled();
  if (!index->TransferOutcome().Succeeded()) return index->TransferOutcome();
  // Read through the handle it was written with.
  const HeldFile index_file = index->TakeFile();
  TextFileReader reader(ReadStreamOf(index_file.handle.Get()));
  std::optional<IndexFile> words = ReadIndexFile(reader);
  if (!words) {
    log_.Write("index file %s\\%s cannot be read, %s", TempFolderBuffer, index_file.name.c_str(),
               ErrorText(GetLastError()).c_str());
    return Outcome{RunResult::IndexFileUnreadable, 0};
  }
  index_ = std::move(*words);
  return std::nullopt;
}

std::optional<Outcome> DownloadRun::FetchPackageFiles() {
  list_ = ReadDownloadList();
  if (list_.FileList.empty()) {
    log_.Write("the download list OrvexDownload.dat is missing or names no file");
    view_.Message(IDS_INDEX_NOT_FOUND, kErrorCaption, MB_ICONSTOP);
    return Outcome{RunResult::DownloadListMissing, 0};
  }
  view_.Status(IDS_DOWNLOAD_IN_PROGRESS);
  for (const std::string& name : list_.FileList) {
    if (cancel_.IsSet()) return EndCancelled();
    view_.Status(IDS_CONNECTING);
    std::unique_ptr<FileDownload> package_file = Transfer(index_.PackageBaseUrl + name);
    if (!package_file->TransferOutcome().Succeeded()) return package_file->TransferOutcome();
    package_files_.push_back(package_file->TakeFile());
  }
  if (cancel_.IsSet()) return EndCancelled();
  return std::nullopt;
}

// Installs and registers the package; returns the run's result. When the messenger's folder is
// unknown nothing was done; when the files could not be stored the user is told as for any
// file that cannot be created, and the previous skin, the registry and the downloaded files
// stay as they were.
Outcome DownloadRun::Install(bool after_setup) {
  InstallRecord record;
  FindMessengerFolder(MessengerFolder);
  Outcome installed = kSucceeded;
  switch (InstallPackageFiles(MessengerFolder, partner_id_.c_str(), TempFolderBuffer,
                              std::move(package_files_), std::move(temp_holder_), &record)) {
    case InstallOutcome::NoMessengerFolder:
      installed = {RunResult::SetupIncomplete, 0};
      break;
    case InstallOutcome::CouldNotStore:
      view_.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
      installed = {RunResult::CannotStoreFile, 0};
      break;
    case InstallOutcome::Installed:
      RegisterSkin(MessengerFolder, partner_id_.c_str(),
                   list_.PackageTitle ? list_.PackageTitle->c_str() : "", &record);
      if (after_setup) RemoveLiteAutostart(&record);
      break;
  }
  for (const std::string& line : record) log_.Write("%s", line.c_str());
  return installed;
}

Outcome DownloadRun::InstallAndLog(bool after_setup) {
  const Outcome installed = Install(after_setup);
  if (installed.result == RunResult::SetupIncomplete) {
    log_.Write("no usable messenger folder: nothing installed");
  } else if (!installed.Succeeded()) {
    log_.Write("the package could not be stored in the messenger's folder: nothing installed");
  }
  return installed;
}

Outcome DownloadRun::SetupThenInstall() {
  view_.Status(IDS_CONNECTING);
  std::unique_ptr<FileDownload> setup = Transfer(index_.SetupUrl);
  if (cancel_.IsSet()) return EndCancelled();
  if (!setup->TransferOutcome().Succeeded()) return setup->TransferOutcome();
  HeldFile setup_file = setup->TakeFile();
  const std::string setup_path = std::string(TempFolderBuffer) + "\\" + setup_file.name;
  setup.reset();
  if (!SetupReadyToStart(index_.setup_digest_word, &setup_file, setup_path, view_)) {
    return {RunResult::SetupDigestMismatch, 0};
  }
  RunSetupProgram(setup_path, view_);
  setup_file.handle.Reset();  // held until the setup has ended
  const std::uint32_t after = GetMessengerVersion();
  log_.Write("messenger version after the setup %lu", static_cast<unsigned long>(after));
  if (MessengerNeedsSetup(after)) return {RunResult::SetupIncomplete, 0};
  return InstallAndLog(true);
}

Outcome DownloadRun::Run() {
  const std::string index_url = BuildIndexUrl(BaseUrl(), partner_id_.c_str());
  view_.Status(IDS_PREPARING);
  if (std::optional<Outcome> ended = PrepareFolder()) return *ended;
  if (std::optional<Outcome> ended = FetchIndexFile(index_url)) return *ended;
  if (std::optional<Outcome> ended = FetchPackageFiles()) return *ended;

  const std::uint32_t version = GetMessengerVersion();
  log_.Write("messenger version %lu", static_cast<unsigned long>(version));
  if (MessengerNeedsSetup(version)) return SetupThenInstall();

  const bool running = MessengerIsRunning();
  const Outcome installed = InstallAndLog(false);
  if (!installed.Succeeded()) return installed;
  if (running) view_.Message(IDS_ACTIVATE_HINT, kWizardCaption, MB_ICONINFORMATION);
  return kSucceeded;
}

}  // namespace

Outcome RunDownload(RunContext& context, RunView& view) {
  DownloadRun run(context, view);
  const Outcome outcome = run.Run();
  LogRunEnd(context.log, outcome, run.Cancelled());
  return outcome;
}

void DownloadWorker(HWND dialog, RunContext& context) {
  DialogView view(dialog, context.log, &context.progress_updates);
  const Outcome outcome = RunDownload(context, view);
  context.last_result = outcome.result;
  PostMessageA(dialog, WM_COMMAND, outcome.Succeeded() ? IDOK : IDCANCEL,
               static_cast<LPARAM>(ResultCode(outcome)));
  context.CancelRequested.Clear();
  context.DownloadThread.MarkEnded();
  context.welcome_updates.Send({PageUpdate::Kind::WorkerEnded, {}});
}
