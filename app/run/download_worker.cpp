#include "app/run/download_worker.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/inputs/index_url.h"
#include "app/inputs/index_file.h"
#include "app/inputs/program_folder.h"
#include "app/inputs/setup_digest.h"
#include "app/report/message_texts.h"
#include "app/resources/resource.h"
#include "app/transfer/file_download.h"
#include "app/transfer/proxy_choice.h"
#include "base/file_sha256.h"
#include "base/held_file.h"
#include "base/owned_handle.h"
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

// "TestSkinPath" when it can be read and fits in 100 bytes, else the built-in base URL.
std::string BaseUrl() {
  RegistryKey prefs;
  char value[101] = {};
  DWORD size = 100;
  if (prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, KEY_READ) &&
      prefs.QueryValue(kTestSkinPathValue, value, &size)) {
    return value;
  }
  return LoadResString(IDS_DEFAULT_BASE_URL);
}

// One transfer into the temporary folder along the way the proxy settings give, started and
// waited for; the caller reads its outcome and its file name.
std::unique_ptr<FileDownload> Transfer(RunContext& context, const std::string& url, RunView& view,
                                       ProxyChooser& proxies) {
  auto download = std::make_unique<FileDownload>(url.c_str(), view, context.TempFolderBuffer,
                                                 context.CancelRequested);
  download->SetRoute(proxies.RouteFor(url, download->RequestUrl()));
  download->Fetch();
  return download;
}

bool MessengerIsRunning() {
  for (const char* name : kMessengerMutexes) {
    OwnedHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, TRUE, name));
    if (mutex.valid()) return true;
  }
  return false;
}

// Lets go of the setup program and deletes it, so that nothing can start it later.
void DiscardSetup(HeldFile* setup, const std::string& path) {
  setup->handle.Reset();
  DeleteFileA(path.c_str());
}

// Makes the downloaded setup program ready to start while it is held, and checks it through
// the held handle: it must still be what the transfer wrote, and have the digest the index
// file gives, when it gives one. When not, it is deleted and the user is told.
bool SetupReadyToStart(const std::string& digest_word, HeldFile* setup, const std::string& path,
                       RunView& view) {
  RunLog& log = view.Log();
  Sha256Digest written{};
  Sha256Digest actual{};
  const bool hashed = FileSha256(setup->handle.get(), &written);
  const bool held = hashed && HoldForStart(setup) && FileSha256(setup->handle.get(), &actual);
  if (!held || actual != written) {
    log.Write(
        "the setup program %s was changed, or could not be held, before it could be started; "
        "deleted",
        path.c_str());
    DiscardSetup(setup, path);
    view.Message(IDS_SETUP_DAMAGED, kErrorCaption, MB_ICONSTOP);
    return false;
  }
  if (digest_word.empty()) return true;
  Sha256Digest expected{};
  const bool well_formed = ParseDigestWord(digest_word, &expected);
  if (well_formed && actual == expected) {
    log.Write("setup digest matches, sha256:%s", DigestText(actual).c_str());
    return true;
  }
  log.Write("setup digest does not match: expected %s, got %s; %s deleted",
            well_formed ? ("sha256:" + DigestText(expected)).c_str() : "a malformed digest",
            ("sha256:" + DigestText(actual)).c_str(), path.c_str());
  DiscardSetup(setup, path);
  view.Message(IDS_SETUP_DAMAGED, kErrorCaption, MB_ICONSTOP);
  return false;
}

// Runs the downloaded setup program and waits for it, with the page taking no input meanwhile.
// The caller holds the file, so what starts is what was checked.
void RunSetupProgram(const std::string& path, RunView& view) {
  RunLog& log = view.Log();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  log.Write("starting the setup %s", path.c_str());
  if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    log.Write("the setup cannot start, %s", ErrorText(GetLastError()).c_str());
    return;
  }
  OwnedHandle process_handle(process.hProcess);
  OwnedHandle thread_handle(process.hThread);
  const DWORD started = GetTickCount();
  view.AcceptInput(false);
  WaitForSingleObject(process_handle.get(), INFINITE);
  view.AcceptInput(true);
  DWORD exit_code = 0;
  GetExitCodeProcess(process_handle.get(), &exit_code);
  log.Write("the setup ended with exit code %lu after %lu ms",
            static_cast<unsigned long>(exit_code),
            static_cast<unsigned long>(GetTickCount() - started));
}

void LogInstalled(RunLog& log, const InstallRecord& record) {
  for (const std::string& line : record) log.Write("%s", line.c_str());
}

// Installs and registers the package; returns the run's result. When the messenger's folder is
// unknown nothing was done; when the files could not be stored the user is told as for any
// file that cannot be created, and the previous skin, the registry and the downloaded files
// stay as they were.
constexpr Outcome kSucceeded{RunResult::Succeeded, 0};

// The run's downloads, held from their transfer to their last use.
struct HeldDownloads {
  OwnedHandle temp_folder;
  std::vector<HeldFile> package_files;
};

Outcome Install(RunContext& context, HeldDownloads downloads, bool after_setup, RunView& view,
                InstallRecord* record) {
  FindMessengerFolder(context.MessengerFolder);
  switch (InstallPackageFiles(context.MessengerFolder, context.PartnerId, context.TempFolderBuffer,
                              std::move(downloads.package_files), std::move(downloads.temp_folder),
                              record)) {
    case InstallOutcome::NoMessengerFolder:
      return {RunResult::SetupIncomplete, 0};
    case InstallOutcome::CouldNotStore:
      view.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
      return {RunResult::CannotStoreFile, 0};
    case InstallOutcome::Installed:
      break;
  }
  RegisterSkin(context.MessengerFolder, context.PartnerId, context.PackageTitle, record);
  if (after_setup) RemoveLiteAutostart(record);
  return kSucceeded;
}

Outcome InstallAndLog(RunContext& context, HeldDownloads downloads, bool after_setup,
                      RunView& view) {
  RunLog& log = view.Log();
  InstallRecord record;
  const Outcome installed = Install(context, std::move(downloads), after_setup, view, &record);
  LogInstalled(log, record);
  if (installed.result == RunResult::SetupIncomplete) {
    log.Write("no usable messenger folder: nothing installed");
  } else if (!installed.Succeeded()) {
    log.Write("the package could not be stored in the messenger's folder: nothing installed");
  }
  return installed;
}

// Reads the download list beside the program into the run; false when it names no file.
bool TakeDownloadList(RunContext& context) {
  DownloadList list = ReadDownloadList();
  if (list.PackageTitle) CopyText(*list.PackageTitle, context.PackageTitle);
  context.FileList = std::move(list.FileList);
  return !context.FileList.empty();
}

}  // namespace

Outcome RunDownload(RunContext& context, RunView& view) {
  RunLog& log = view.Log();
  const CancelSignal& cancel = context.CancelRequested;
  // Where a confirmed cancel ends the run: nothing more is fetched, started or installed. A
  // cancel that comes once the installation is under way does not stop it.
  context.ended_by_cancel = false;
  const auto cancelled = [&context] {
    context.ended_by_cancel = true;
    return kSucceeded;
  };
  std::string url_text = BuildIndexUrl(BaseUrl(), context.PartnerId);
  view.Status(IDS_PREPARING);

  // Without a usable temporary folder the files would land beside the program.
  HeldDownloads held;
  const TempFolderStatus temp_status =
      PrepareTempFolder(context.PartnerId, context.TempFolderBuffer, &held.temp_folder);
  if (temp_status == TempFolderStatus::Unusable || temp_status == TempFolderStatus::Taken) {
    if (temp_status == TempFolderStatus::Unusable) {
      log.Write("no usable temporary folder for %s", context.PartnerId);
    } else {
      log.Write(
          "the temporary folder %s cannot be made anew (it is held open, cannot be removed "
          "or is a link): not used",
          context.TempFolderBuffer);
    }
    view.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
    return {RunResult::CannotStoreFile, 0};
  }
  const std::string temp_folder = context.TempFolderBuffer;
  log.Write("temporary folder %s", temp_folder.c_str());
  if (temp_status == TempFolderStatus::Ready) {
    log.Write("registry HKCU\\Software\\Kestrane\\TempPartnerPath = %s", temp_folder.c_str());
  }

  ProxyChooser proxies(log);
  {
    std::unique_ptr<FileDownload> index = Transfer(context, url_text, view, proxies);
    if (cancel.IsSet()) return cancelled();
    if (!index->GetOutcome().Succeeded()) return index->GetOutcome();
    // Read through the handle it was written with.
    const HeldFile index_file = index->TakeFile();
    const std::string index_path = temp_folder + "\\" + index_file.name;
    TextFileReader reader(ReadStreamOf(index_file.handle.get()));
    std::optional<IndexFile> words = ReadIndexFile(reader);
    if (!words) {
      log.Write("index file %s cannot be read, %s", index_path.c_str(),
                ErrorText(GetLastError()).c_str());
      return {RunResult::IndexFileUnreadable, 0};
    }
    url_text = words->PackageBaseUrl;
    context.SetupUrl = words->SetupUrl;
    context.SetupDigestWord = words->SetupDigestWord;
  }

  if (!TakeDownloadList(context)) {
    log.Write("the download list OrvexDownload.dat is missing or names no file");
    view.Message(IDS_INDEX_NOT_FOUND, kErrorCaption, MB_ICONSTOP);
    return {RunResult::DownloadListMissing, 0};
  }
  view.Status(IDS_DOWNLOAD_IN_PROGRESS);

  for (const std::string& name : context.FileList) {
    if (cancel.IsSet()) return cancelled();
    view.Status(IDS_CONNECTING);
    std::unique_ptr<FileDownload> package_file = Transfer(context, url_text + name, view, proxies);
    if (!package_file->GetOutcome().Succeeded()) return package_file->GetOutcome();
    held.package_files.push_back(package_file->TakeFile());
  }
  if (cancel.IsSet()) return cancelled();

  const std::uint32_t version = GetMessengerVersion();
  log.Write("messenger version %lu", static_cast<unsigned long>(version));
  if (MessengerNeedsSetup(version)) {
    view.Status(IDS_CONNECTING);
    std::unique_ptr<FileDownload> setup = Transfer(context, context.SetupUrl, view, proxies);
    if (cancel.IsSet()) return cancelled();
    if (!setup->GetOutcome().Succeeded()) return setup->GetOutcome();
    HeldFile setup_file = setup->TakeFile();
    const std::string setup_path = temp_folder + "\\" + setup_file.name;
    setup.reset();
    if (!SetupReadyToStart(context.SetupDigestWord, &setup_file, setup_path, view)) {
      return {RunResult::SetupDigestMismatch, 0};
    }
    RunSetupProgram(setup_path, view);
    setup_file.handle.Reset();  // held until the setup has ended
    const std::uint32_t after = GetMessengerVersion();
    log.Write("messenger version after the setup %lu", static_cast<unsigned long>(after));
    if (MessengerNeedsSetup(after)) return {RunResult::SetupIncomplete, 0};
    return InstallAndLog(context, std::move(held), true, view);
  }

  bool running = MessengerIsRunning();
  const Outcome installed = InstallAndLog(context, std::move(held), false, view);
  if (!installed.Succeeded()) return installed;
  if (running)
    view.Message(IDS_ACTIVATE_HINT, LoadResString(IDS_WIZARD_CAPTION).c_str(), MB_ICONINFORMATION);
  return kSucceeded;
}

void DownloadWorker(HWND dialog, RunContext& context) {
  DialogView view(dialog, context.log, &context.progress_line);
  const Outcome outcome = RunDownload(context, view);
  LogRunEnd(context.log, outcome, context.ended_by_cancel);

  PostMessageA(dialog, WM_COMMAND, outcome.Succeeded() ? IDOK : IDCANCEL,
               static_cast<LPARAM>(ResultCode(outcome)));
  context.CancelRequested.Clear();
  context.DownloadThread.MarkEnded();
  HWND welcome = context.welcome_page;
  if (welcome != nullptr) PostMessageA(welcome, kWorkerEndedMessage, 0, 0);
}
