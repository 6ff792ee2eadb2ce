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
#include "app/report/log_text.h"
#include "app/report/message_texts.h"
#include "app/resources/resource.h"
#include "app/run/package_lanes.h"
#include "app/run/setup_program.h"
#include "app/transfer/file_download.h"
#include "app/transfer/proxy_choice.h"
#include "app/trust/partner_signature.h"
#include "app/trust/sha256_sums.h"
#include "base/file_flusher.h"
#include "base/file_sha256.h"
#include "base/held_file.h"
#include "base/owned_handle.h"
#include "base/path_limits.h"
#include "base/plain_names.h"
#include "base/registry_key.h"
#include "base/text_reader.h"
#include "messenger/messenger_detection.h"
#include "messenger/package_installation.h"
#include "messenger/registry_layout.h"
#include "messenger/skin_registration.h"
#include "messenger/temp_folder.h"
#include "net/http/url.h"
#include "net/tls/tls_shared_state.h"

namespace {

constexpr const char* kMessengerMutexes[] = {"Kestrane Orvex Mutex", "Kestrane_Orvex_Local_Mutex",
                                             "Kestrane_Orvex_Global_Mutex"};

constexpr Outcome kSucceeded{RunResult::Succeeded, 0};

constexpr char kSumsFile[] = "SHA256SUMS";
constexpr char kSignatureSuffix[] = ".sig";
// Far above what the files hold (a DER signature at most 72 bytes, a line of the sums about
// 100): a larger one is not what it claims to be.
constexpr std::size_t kSignatureLimit = 1024;
constexpr std::size_t kSumsLimit = 1024 * 1024;

// "TestSkinPath" when it can be read and fits in 100 bytes, else the built-in base URL; the log
// says which, and why a value that is there is not used.
std::string BaseUrl(RunLog& log) {
  RegistryKey prefs;
  char value[101] = {};
  DWORD size = 100;
  const bool opened = prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, KEY_READ);
  if (opened && prefs.QueryValue(kTestSkinPathValue, value, &size)) {
    log.Write("base URL %s (TestSkinPath under HKLM\\%s)", RedactUrl(value).c_str(),
              kDefaultPrefsKey);
    return value;
  }
  const std::string built_in = LoadResString(IDS_DEFAULT_BASE_URL, English());
  size = 0;
  const bool there = opened && prefs.QueryValue(kTestSkinPathValue, nullptr, &size);
  log.Write("base URL %s (built-in%s)", built_in.c_str(),
            there ? "; TestSkinPath is not used: over 99 bytes" : "");
  return built_in;
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
class DownloadRun : private PackageLanes::Maker {
 public:
  DownloadRun(RunContext& context, RunView& view)
      : partner_id_(context.partner_id),
        setup_switches_(context.setup),
        cancel_(context.CancelRequested),
        view_(view),
        log_(view.Log()),
        keys_(context.partner_keys),
        proxies_(log_, cancel_) {}

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
  // A file that vouches for others (a signature, the sums) into file; a reply that it is not
  // there, or that is over limit bytes, means the package cannot be verified.
  std::optional<Outcome> FetchVouchingFile(const std::string& url, std::size_t limit,
                                           HeldFile* file);
  // With a key: url + ".sig" fetched and checked against file's bytes (url's download).
  std::optional<Outcome> CheckSignature(const std::string& url, const HeldFile& file,
                                        std::string* key_id);
  std::optional<Outcome> FetchPackageSums();
  std::optional<Outcome> FetchPackageFiles();
  // The first count files of the list, over several connections at once (package_lanes.h).
  std::optional<Outcome> FetchPackageFilesAtOnce(std::size_t count);
  // The first file of the list whose name is no file name; the count of files when none.
  std::size_t FirstRefusedName() const;
  Outcome RefuseName(std::size_t index);
  // A package file that has arrived, in the list's order: checked, then held for installation.
  std::optional<Outcome> KeepPackageFile(const std::string& name, FileDownload& download);
  std::optional<Outcome> CheckPackageFile(const std::string& name, const HeldFile& file);
  // What ends a run whose package a signature or a digest does not vouch for.
  Outcome NotVerified(const std::string& file, const std::string& why);
  Outcome SetupThenInstall();
  // One transfer into the temporary folder along the ways the proxy settings give (its URL's and
  // each redirect target's), started and waited for; the caller reads its outcome and takes its
  // file. Vouching: a file that vouches for others, whose absence the caller tells, at most
  // limit bytes; PackageFile: one that may move into the installation. A cancel during the
  // choice of the way starts none.
  enum class Kind { Plain, Vouching, PackageFile };
  std::unique_ptr<FileDownload> Transfer(const std::string& url, Kind kind = Kind::Plain,
                                         std::size_t limit = 0);
  // The same transfer, not yet fetched, shown through view and cancelled by cancel.
  std::unique_ptr<FileDownload> MakeTransfer(const std::string& url, Kind kind, std::size_t limit,
                                             RunView& view, CancelSignal& cancel);
  std::unique_ptr<FileDownload> MakePackageTransfer(const std::string& name, RunView& view,
                                                    CancelSignal& stop) override {
    return MakeTransfer(index_.PackageBaseUrl + name, Kind::PackageFile, 0, view, stop);
  }
  Outcome Install(bool after_setup);
  Outcome InstallAndLog(bool after_setup);

  const PartnerId& partner_id_;
  const SetupSwitches& setup_switches_;
  CancelSignal& cancel_;
  RunView& view_;
  RunLog& log_;
  // The partner's keys the program carries: with them, everything the run fetches must be
  // signed. Null without any.
  const PartnerKeys* const keys_;
  ProxyChooser proxies_;
  TlsSharedState tls_;
  // The connections kept between the run's requests; they use the shared TLS credentials, so
  // they close first.
  ConnectionPool connections_;
  bool cancelled_ = false;

  // The per-partner temporary folder, without a trailing backslash, and its holder.
  char TempFolderBuffer[kPathBufferSize] = {};
  OwnedHandle temp_holder_;
  // Where the folder lies as the system resolves it, found once for all its files.
  std::string temp_final_;
  IndexFile index_;
  bool index_signed_ = false;
  bool index_over_https_ = false;
  Sha256Sums sums_;
  DownloadList list_;
  // The package files, held from their transfer to their installation.
  std::vector<HeldFile> package_files_;
  // Puts each package file on the disk while the next one downloads. Declared after the files,
  // so that it is gone before their handles close.
  FileFlusher flusher_;
  // The messenger's program folder, without a trailing backslash; empty when not found.
  char MessengerFolder[kPathBufferSize] = {};
};

std::unique_ptr<FileDownload> DownloadRun::Transfer(const std::string& url, Kind kind,
                                                    std::size_t limit) {
  std::unique_ptr<FileDownload> download = MakeTransfer(url, kind, limit, view_, cancel_);
  if (!cancel_.IsSet()) download->Fetch();
  return download;
}

std::unique_ptr<FileDownload> DownloadRun::MakeTransfer(const std::string& url, Kind kind,
                                                        std::size_t limit, RunView& view,
                                                        CancelSignal& cancel) {
  auto download = std::make_unique<FileDownload>(url.c_str(), view, TempFolderBuffer, cancel);
  if (kind == Kind::Vouching) {
    download->LeaveMissingToCaller();
    download->LimitSize(limit);
  }
  if (kind == Kind::PackageFile) download->MakeMovable();
  download->SetFolderFinalPath(temp_final_);
  download->ShareTlsWith(&tls_);
  download->KeepConnectionsIn(&connections_);
  download->ChooseRoutesWith(proxies_);
  return download;
}

Outcome DownloadRun::NotVerified(const std::string& file, const std::string& why) {
  log_.Write("the package cannot be verified: %s: %s; nothing installed", file.c_str(),
             why.c_str());
  view_.Message(IDS_PACKAGE_NOT_VERIFIED, kErrorCaption, MB_ICONSTOP);
  return {RunResult::PackageNotVerified, 0};
}

std::optional<Outcome> DownloadRun::FetchVouchingFile(const std::string& url, std::size_t limit,
                                                      HeldFile* file) {
  std::unique_ptr<FileDownload> download = Transfer(url, Kind::Vouching, limit);
  if (cancel_.IsSet()) return EndCancelled();
  if (download->OverLimit()) {
    return NotVerified(download->RequestUrl().FileName,
                       "over " + std::to_string(limit) + " bytes, refused as it arrived");
  }
  const Outcome fetched = download->TransferOutcome();
  if (fetched.result == RunResult::HttpStatus &&
      (fetched.http_status == 404 || fetched.http_status == 410)) {
    return NotVerified(download->RequestUrl().FileName,
                       "missing (status " + std::to_string(fetched.http_status) + ")");
  }
  if (!fetched.Succeeded()) return fetched;
  *file = download->TakeFile();
  return std::nullopt;
}

std::optional<Outcome> DownloadRun::CheckSignature(const std::string& url, const HeldFile& file,
                                                   std::string* key_id) {
  HeldFile signature;
  if (std::optional<Outcome> ended =
          FetchVouchingFile(url + kSignatureSuffix, kSignatureLimit, &signature)) {
    return *ended;
  }
  std::string der;
  if (!ReadAllOf(signature.handle.Get(), kSignatureLimit, &der)) {
    return NotVerified(signature.name, "cannot be read, or too long for a signature");
  }
  const std::string problem = CheckFileSignature(*keys_, file.handle.Get(), der, key_id);
  if (!problem.empty()) return NotVerified(file.name, problem);
  return std::nullopt;
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
  temp_final_ = FinalPathOf(temp_holder_.Get());
  if (status == TempFolderStatus::Ready) {
    log_.Write("registry HKCU\\Software\\Kestrane\\TempPartnerPath = %s", TempFolderBuffer);
  }
  return std::nullopt;
}

std::optional<Outcome> DownloadRun::FetchIndexFile(const std::string& url) {
  std::unique_ptr<FileDownload> index = Transfer(url);
  if (cancel_.IsSet()) return EndCancelled();
  if (!index->TransferOutcome().Succeeded()) return index->TransferOutcome();
  index_over_https_ = index->FetchedOverHttps();
  // Read through the handle it was written with.
  const HeldFile index_file = index->TakeFile();
  index.reset();
  if (keys_) {
    // Not a word of it is used before its signature holds.
    std::string key_id;
    if (std::optional<Outcome> ended = CheckSignature(url, index_file, &key_id)) return *ended;
    index_signed_ = true;
    log_.Write("index signature verified (key %s)", key_id.c_str());
  }
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

std::optional<Outcome> DownloadRun::FetchPackageSums() {
  const std::string url = index_.PackageBaseUrl + kSumsFile;
  HeldFile sums_file;
  if (std::optional<Outcome> ended = FetchVouchingFile(url, kSumsLimit, &sums_file)) {
    return *ended;
  }
  std::string key_id;
  if (std::optional<Outcome> ended = CheckSignature(url, sums_file, &key_id)) return *ended;
  std::string text;
  if (!ReadAllOf(sums_file.handle.Get(), kSumsLimit, &text)) {
    return NotVerified(kSumsFile, "cannot be read, or over 1 MiB");
  }
  sums_ = ReadSha256Sums(text);
  log_.Write("SHA256SUMS verified (key %s): %lu lines, %d of another form", key_id.c_str(),
             static_cast<unsigned long>(sums_.lines.size()), sums_.malformed_lines);
  return std::nullopt;
}

// Hashed through the handle that holds it, so what is checked is what will be installed.
std::optional<Outcome> DownloadRun::CheckPackageFile(const std::string& name,
                                                     const HeldFile& file) {
  const std::optional<Sha256Digest> expected = SumFor(sums_, name);
  if (!expected) return NotVerified(name, "SHA256SUMS gives no single digest for it");
  Sha256Digest actual{};
  if (!FileSha256(file.handle.Get(), &actual)) return NotVerified(name, "it cannot be read");
  if (actual != *expected) {
    return NotVerified(name,
                       "its digest sha256:" + DigestText(actual) +
                           " is not the one SHA256SUMS gives, sha256:" + DigestText(*expected));
  }
  log_.Write("%s: sha256:%s as SHA256SUMS gives", name.c_str(), DigestText(actual).c_str());
  return std::nullopt;
}

std::optional<Outcome> DownloadRun::FetchPackageFiles() {
  list_ = ReadDownloadList();
  if (list_.FileList.empty()) {
    log_.Write("the download list OrvexDownload.dat is missing or names no file");
    view_.Message(IDS_INDEX_NOT_FOUND, kErrorCaption, MB_ICONSTOP);
    return Outcome{RunResult::DownloadListMissing, 0};
  }
  if (list_.utf16) {
    log_.Write(
        "the download list OrvexDownload.dat is UTF-16 text, which is read as bytes: "
        "save it as UTF-8");
    view_.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
    return Outcome{RunResult::CannotStoreFile, 0};
  }
  view_.Status(IDS_DOWNLOAD_IN_PROGRESS);
  if (keys_) {
    if (std::optional<Outcome> ended = FetchPackageSums()) return *ended;
  }
  // A name that is no file name ends the run where its transfer would have begun: the files
  // before it are fetched first, so that their failures keep deciding as they would.
  const std::size_t refused = FirstRefusedName();
  if (PackageLanes::LanesFor(refused) > 1) {
    if (std::optional<Outcome> ended = FetchPackageFilesAtOnce(refused)) return *ended;
  } else {
    for (std::size_t i = 0; i < refused; ++i) {
      const std::string& name = list_.FileList[i];
      if (cancel_.IsSet()) return EndCancelled();
      view_.Status(IDS_CONNECTING);
      std::unique_ptr<FileDownload> package_file =
          Transfer(index_.PackageBaseUrl + name, Kind::PackageFile);
      if (!package_file->TransferOutcome().Succeeded()) return package_file->TransferOutcome();
      if (cancel_.IsSet()) return EndCancelled();
      if (std::optional<Outcome> ended = KeepPackageFile(name, *package_file)) return *ended;
    }
  }
  if (cancel_.IsSet()) return EndCancelled();
  if (refused < list_.FileList.size()) return RefuseName(refused);
  return std::nullopt;
}

std::size_t DownloadRun::FirstRefusedName() const {
  for (std::size_t i = 0; i < list_.FileList.size(); ++i) {
    const Url url((index_.PackageBaseUrl + list_.FileList[i]).c_str());
    if (PlainNameProblem(url.FileName.c_str()) != nullptr) return i;
  }
  return list_.FileList.size();
}

// Refused as the transfer would refuse it, but naming the line at fault.
Outcome DownloadRun::RefuseName(std::size_t index) {
  const Url url((index_.PackageBaseUrl + list_.FileList[index]).c_str());
  log_.Write("OrvexDownload.dat line %d: the file name \"%s\" is refused: %s",
             list_.FileLines[index], url.FileName.c_str(), PlainNameProblem(url.FileName.c_str()));
  view_.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
  return Outcome{RunResult::CannotStoreFile, 0};
}

std::optional<Outcome> DownloadRun::FetchPackageFilesAtOnce(std::size_t count) {
  const std::vector<std::string> names(list_.FileList.begin(), list_.FileList.begin() + count);
  PackageLanes lanes(names, view_, cancel_, *this);
  const std::size_t failed = lanes.FetchAll();
  if (cancel_.IsSet()) return EndCancelled();
  // Checked and kept in the list's order: the first file in it that fails decides.
  for (std::size_t i = 0; i < failed; ++i) {
    if (std::optional<Outcome> ended = KeepPackageFile(names[i], lanes.Download(i))) {
      return *ended;
    }
  }
  if (failed == names.size()) return std::nullopt;
  lanes.ShowMessageOf(failed);
  return lanes.Download(failed).TransferOutcome();
}

std::optional<Outcome> DownloadRun::KeepPackageFile(const std::string& name,
                                                    FileDownload& download) {
  HeldFile file = download.TakeFile();
  if (keys_) {
    if (std::optional<Outcome> ended = CheckPackageFile(name, file)) return *ended;
  }
  flusher_.Add(file.handle.Get());
  package_files_.push_back(std::move(file));
  return std::nullopt;
}

// Installs and registers the package; returns the run's result. When the messenger's folder is
// unknown nothing was done; when the files could not be stored the user is told as for any
// file that cannot be created, and the previous skin, the registry and the downloaded files
// stay as they were.
Outcome DownloadRun::Install(bool after_setup) {
  const std::vector<bool> on_disk = flusher_.Finish();
  for (std::size_t i = 0; i < package_files_.size() && i < on_disk.size(); ++i) {
    package_files_[i].on_disk = on_disk[i];
  }
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
  const SetupVouchers vouchers{!index_.setup_digest_word.empty(), index_signed_, index_over_https_,
                               setup->FetchedOverHttps()};
  setup.reset();
  if (!SetupReadyToStart(index_.setup_digest_word, &setup_file, setup_path, view_)) {
    return {RunResult::SetupDigestMismatch, 0};
  }
  if (!SetupVouchedFor(vouchers, &setup_file, setup_path, cancel_.Flag(), view_)) {
    if (cancel_.IsSet()) return EndCancelled();
    return {RunResult::SetupNotSigned, 0};
  }
  const bool ended = RunSetupProgram(setup_path, TempFolderBuffer, setup_switches_, view_);
  setup_file.handle.Reset();  // held until the setup has ended
  if (!ended) return {RunResult::SetupTimedOut, 0};
  const std::uint32_t after = GetMessengerVersion();
  log_.Write("messenger version after the setup %lu", static_cast<unsigned long>(after));
  if (MessengerNeedsSetup(after)) return {RunResult::SetupIncomplete, 0};
  return InstallAndLog(true);
}

Outcome DownloadRun::Run() {
  const std::string index_url = BuildIndexUrl(BaseUrl(log_), partner_id_.c_str());
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
