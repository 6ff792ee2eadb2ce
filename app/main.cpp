// Entry point of OrvexDownload.exe.
#include <windows.h>

#include <commctrl.h>

#include "app/program_run.h"
#include "app/shared_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  ModuleInstance = instance;
  InitCommonControls();
  return RunProgram(command_line);
}
