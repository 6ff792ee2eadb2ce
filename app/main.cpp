// Entry point of OrvexDownload.exe.
#include <windows.h>

#include <commctrl.h>

#include "app/program_run.h"
#include "app/report/module_instance.h"

namespace {

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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  LoadLibrariesFromSystemFolderOnly();
  ModuleInstance = instance;
  InitCommonControls();
  return RunProgram(command_line);
}
