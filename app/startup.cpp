// Start-up and the message loop.
#include "app/startup.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/printer_link.h"
#include "app/program_values.h"
#include "base/scoped_handle.h"
#include "net/service_config.h"
#include "net/account_file.h"
#include "resources/resource.h"

namespace {

// Name of the mutex that marks a starting or running instance on this desktop session.
constexpr char kInstanceMutex[] = "Local\\Norvalisk.Instance";
// How long a second start waits for a starting first instance to show its window.
constexpr DWORD kHandOverWaitMs = 10000;

// Brings the running instance's window forward and makes it recount its pages.
void HandOver(HWND running) {
  if (IsIconic(running)) {
    ShowWindow(running, SW_RESTORE);
  }
  SetForegroundWindow(GetLastActivePopup(running));
  PostMessageA(running, WM_COMMAND, IDC_SHOW_PAGE, 0);
}

// Returns true when another instance runs (or is starting) and has been
// handed over to; this process should then exit.
bool HandOverToRunningInstance(ScopedKernelHandle* mutex) {
  if (HWND running = FindWindowA(kMainWindowClass, nullptr)) {
    HandOver(running);
    return true;
  }
  // A first instance may still be starting (its printer-link message may be
  // open): the mutex tells, and its window shows up later.
  mutex->reset(CreateMutexA(nullptr, FALSE, kInstanceMutex));
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  for (DWORD waited = 0; waited < kHandOverWaitMs; waited += 100) {
    Sleep(100);
    if (HWND running = FindWindowA(kMainWindowClass, nullptr)) {
      HandOver(running);
      return true;
    }
  }
  return true;
}

void InitProgram() {
  char exePath[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, exePath, sizeof exePath);
  if (length == 0 || length >= MAX_PATH) {
    exePath[0] = '\0';
  }
  InitProgramValues(exePath, NORVALISK_SERVICE_BASE);
  InitCardJob(&Job, ProgramFolder);
  GetCommandLineArg(0, Job.pagePrefix);
  DeletePageFiles(Job.pagePrefix);
  ReadAccountFile(SettingsPath);
}

int RunMessageLoop(HINSTANCE instance) {
  HACCEL accelerators = LoadAcceleratorsA(instance, "NORVALISK");
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!accelerators || !TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int GetCommandLineArg(int index, char* out) {
  return CommandLineArg(GetCommandLineA(), index, out);
}

int RunNorvalisk(HINSTANCE instance, int showCommand) {
  ScopedKernelHandle instanceMutex;
  if (HandOverToRunningInstance(&instanceMutex)) {
    return 0;
  }
  AppInstance = instance;
  InitProgram();
  LinkPrinterDriver();

  ScopedBitmap background(LoadBitmapA(instance, "WINDOW_BG"));
  if (!RegisterMainWindowClass(instance)) {
    return 0;
  }
  // The window takes the bitmap over, and deletes it itself when creation fails.
  HWND window = CreateMainWindow(instance, background.release());
  if (!window) {
    return 0;
  }
  UpdateWindow(window);
  ShowWindow(window, showCommand);
  PostMessageA(window, WM_COMMAND, IDC_SHOW_PAGE, 0);
  return RunMessageLoop(instance);
}
