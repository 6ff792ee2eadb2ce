// Entry point of OrvexDownload.exe.
#include <windows.h>

#include <commctrl.h>

#include "app/program_folder.h"
#include "app/resources/resource.h"
#include "app/shared_state.h"
#include "app/wizard_dialogs.h"
#include "app/worker_thread.h"

namespace {

// How long the exit waits for a cancelled download that is still finishing.
constexpr DWORD kExitGraceMs = 5000;

// Libraries loaded by name from now on, by this program or by system libraries on its behalf,
// come from the system folder only, never from the folder the program was downloaded into.
// Windows without this function (no KB2533623) keeps its usual search order.
void LoadLibrariesFromSystemFolderOnly() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  auto set_directories = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_directories != nullptr) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  LoadLibrariesFromSystemFolderOnly();
  ModuleInstance = instance;
  InitCommonControls();
  if (!ReadPartnerId()) return -1;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_WELCOME), nullptr, WelcomeDlgProc, 0);
  // A cancelled run still stalled on its server must not meet the process-wide state being
  // torn down (the shared strings, the Winsock session): end without running that.
  if (!WaitForDownloadWorker(kExitGraceMs)) TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
