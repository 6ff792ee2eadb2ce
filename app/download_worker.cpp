#include "app/download_worker.h"

#include <memory>
#include <string>

#include "app/file_download.h"
#include "app/index_url.h"
#include "app/message_texts.h"
#include "app/program_folder.h"
#include "app/resources/resource.h"
#include "app/run_inputs.h"
#include "app/shared_state.h"
#include "base/owned_handle.h"
#include "base/registry_key.h"
#include "messenger/messenger_detection.h"
#include "messenger/package_installation.h"
#include "messenger/path_rules.h"
#include "messenger/registry_layout.h"
#include "messenger/skin_registration.h"
#include "messenger/temp_folder.h"

std::atomic<HWND> WorkerEndNotifyWindow{nullptr};

namespace {

constexpr const char* kErrorCaption = "Error";
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

void SetStatus(HWND dialog, unsigned id) {
  SetDlgItemTextA(dialog, IDC_STATUS, LoadResString(id).c_str());
}

// Starts one transfer and waits for it; the caller reads the result and the file name. A
// transfer that cannot even start (no socket, no thread) fetched nothing and must not pass
// for a completed one: it is reported like a server that cannot be reached.
std::unique_ptr<FileDownload> Transfer(const std::string& url, HWND dialog) {
  auto download = std::make_unique<FileDownload>(url.c_str(), dialog, TempFolderBuffer);
  if (download->Start(false)) {
    download->Wait();
  } else {
    ShowResMessage(dialog, IDS_CANNOT_CONNECT, kErrorCaption, MB_ICONSTOP);
    download->ResultCode = ErrorConnect;  // read back as RunResult::CannotConnect
  }
  return download;
}

bool MessengerIsRunning() {
  for (const char* name : kMessengerMutexes) {
    OwnedHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, TRUE, name));
    if (mutex.valid()) return true;
  }
  return false;
}

// Runs the downloaded setup program and waits for it, with the dialog disabled meanwhile.
void RunSetupProgram(const std::string& path, HWND dialog) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  OwnedHandle process_handle(process.hProcess);
  OwnedHandle thread_handle(process.hThread);
  EnableWindow(dialog, FALSE);
  WaitForSingleObject(process_handle.get(), INFINITE);
  EnableWindow(dialog, TRUE);
}

// Installs and registers the package; returns the run's result. When the messenger's folder is
// unknown nothing was done; when the files could not be stored the user is told as for any
// file that cannot be created, and the previous skin, the registry and the downloaded files
// stay as they were.
constexpr Outcome kSucceeded{RunResult::Succeeded, 0};

Outcome Install(bool after_setup, HWND dialog) {
  FindMessengerFolder(MessengerFolder);
  switch (
      InstallPackageFiles(MessengerFolder, PartnerId, TempFolderBuffer, SetupFileName(SetupUrl))) {
    case InstallOutcome::NoMessengerFolder:
      return {RunResult::SetupIncomplete, 0};
    case InstallOutcome::CouldNotStore:
      ShowResMessage(dialog, IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
      return {RunResult::CannotStoreFile, 0};
    case InstallOutcome::Installed:
      break;
  }
  RegisterSkin(MessengerFolder, PartnerId, PackageTitle);
  if (after_setup) RemoveLiteAutostart();
  return kSucceeded;
}

// Everything up to the closing command. A cancelled run ends as a successful one: the
// progress page has already closed.
Outcome RunDownload(HWND dialog) {
  std::string url_text = BuildIndexUrl(BaseUrl(), PartnerId);
  SetStatus(dialog, IDS_PREPARING);

  // Without a usable temporary folder the files would land beside the program.
  if (PrepareTempFolder(PartnerId, TempFolderBuffer) == TempFolderStatus::Unusable) {
    ShowResMessage(dialog, IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
    return {RunResult::CannotStoreFile, 0};
  }
  const std::string temp_folder = TempFolderBuffer;

  {
    std::unique_ptr<FileDownload> index = Transfer(url_text, dialog);
    if (CancelRequested) return kSucceeded;
    if (!index->GetOutcome().Succeeded()) return index->GetOutcome();
    std::string index_path = temp_folder + "\\" + index->GetUrl().FileName;
    if (!ReadIndexFile(index_path.c_str(), url_text)) return {RunResult::IndexFileUnreadable, 0};
  }

  if (ReadDownloadList() == 0) {
    ShowResMessage(dialog, IDS_INDEX_NOT_FOUND, kErrorCaption, MB_ICONSTOP);
    return {RunResult::DownloadListMissing, 0};
  }
  SetStatus(dialog, IDS_DOWNLOAD_IN_PROGRESS);

  for (const std::string& name : FileList) {
    if (CancelRequested) return kSucceeded;
    SetStatus(dialog, IDS_CONNECTING);
    const Outcome outcome = Transfer(url_text + name, dialog)->GetOutcome();
    if (!outcome.Succeeded()) return outcome;
  }
  if (CancelRequested) return kSucceeded;

  if (!SetupRequired && MessengerNeedsSetup(GetMessengerVersion())) SetupRequired = true;

  if (SetupRequired) {
    SetStatus(dialog, IDS_CONNECTING);
    std::unique_ptr<FileDownload> setup = Transfer(SetupUrl, dialog);
    if (CancelRequested) return kSucceeded;
    if (!setup->GetOutcome().Succeeded()) return setup->GetOutcome();
    RunSetupProgram(temp_folder + "\\" + setup->GetUrl().FileName, dialog);
    if (MessengerNeedsSetup(GetMessengerVersion())) return {RunResult::SetupIncomplete, 0};
    return Install(true, dialog);
  }

  bool running = MessengerIsRunning();
  const Outcome installed = Install(false, dialog);
  if (!installed.Succeeded()) return installed;
  if (running) {
    MessageBoxA(dialog, LoadResString(IDS_ACTIVATE_HINT).c_str(),
                LoadResString(IDS_WIZARD_CAPTION).c_str(), MB_ICONINFORMATION);
  }
  return kSucceeded;
}

}  // namespace

DWORD WINAPI DownloadWorker(LPVOID dialog_window) {
  HWND dialog = static_cast<HWND>(dialog_window);
  const Outcome outcome = RunDownload(dialog);
  DownloadResult = ResultCode(outcome);

  PostMessageA(dialog, WM_COMMAND, outcome.Succeeded() ? IDOK : IDCANCEL,
               static_cast<LPARAM>(ResultCode(outcome)));
  CancelRequested = false;
  DownloadThread = kNoThread;
  HWND welcome = WorkerEndNotifyWindow;
  if (welcome != nullptr) PostMessageA(welcome, kWorkerEndedMessage, 0, 0);
  return 0;
}
