// Helpers of the Windows tests.
#include "support/win_test_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

TempFolder::TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static unsigned counter = 0;
  for (;;) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%snorvalisk_%lu_%u", base, GetCurrentProcessId(), counter++);
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      DeleteFileA(File(found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

namespace {

std::optional<WPARAM> g_quitCode;

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      g_quitCode = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::optional<WPARAM> TakeQuitCode() {
  return std::exchange(g_quitCode, std::nullopt);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) {
      return done();
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    PumpMessages();
  }
  return true;
}

std::optional<MSG> TakePostedCommand(HWND window) {
  MSG message;
  if (PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
    return message;
  }
  return std::nullopt;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string BesideTestExe(const std::string& name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.resize(folder.find_last_of('\\'));
  return folder + "\\" + name;
}

ChildProcess::ChildProcess(const std::string& commandLine, const std::string& folder) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &info_)) {
    info_ = {};
  }
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess) {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(info_.hProcess, 1);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

long long ChildProcess::Wait(DWORD timeoutMs) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  const char* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[64];
  if (owner == search->processId && GetClassNameA(window, className, sizeof className) &&
      lstrcmpA(className, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const char* className) {
  WindowSearch search = {processId, className, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string AnswerMessageBox(std::string* caption) {
  // The box exists before its message is in: wait for a static control with
  // text (the icon's static has none).
  for (int tries = 0; tries < 1000; ++tries) {
    Sleep(10);
    HWND box = FindProcessWindow(GetCurrentProcessId(), "#32770");
    if (!box) continue;
    char text[512] = {};
    for (HWND child = GetWindow(box, GW_CHILD); child && !text[0]; child = GetWindow(child, GW_HWNDNEXT)) {
      char className[16] = {};
      GetClassNameA(child, className, sizeof className);
      if (lstrcmpiA(className, "Static") == 0) {
        GetWindowTextA(child, text, sizeof text);
      }
    }
    if (!text[0]) continue;
    char title[64] = {};
    GetWindowTextA(box, title, sizeof title);
    *caption = title;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
  }
  return "(no message box)";
}

namespace {

LRESULT CALLBACK CommandRecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_COMMAND) {
    if (auto* log = reinterpret_cast<CommandLog*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
      log->emplace_back(wParam, lParam);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateCommandRecorder(CommandLog* log, const char* title, DWORD style, int x, int y, int width,
                           int height, HWND parent) {
  static const ATOM kClass = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CommandRecorderProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "NorvaliskTestCommandRecorder";
    return RegisterClassA(&windowClass);
  }();
  return CreateWindowExA(0, MAKEINTATOM(kClass), title, style, x, y, width, height, parent, nullptr,
                         GetModuleHandleA(nullptr), log);
}

namespace {

// Kernel handles counted one by one: every handle value the system accepts,
// for systems whose GetProcessHandleCount answers 0 (Wine 8).
DWORD ProbeHandles() {
  DWORD count = 0;
  for (UINT_PTR value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// GDI objects counted in the process's shared GDI handle table (reached from
// the process environment block), for systems whose GetGuiResources answers 0.
// Each 24-byte entry holds the object's type in its byte 14; 0 is a free entry.
DWORD ProbeGdiObjects() {
  using GetPeb = const BYTE*(WINAPI*)();
  const auto getPeb = reinterpret_cast<GetPeb>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetCurrentPeb")));
  const BYTE* peb = getPeb ? getPeb() : nullptr;
  const BYTE* table = peb ? *reinterpret_cast<const BYTE* const*>(peb + 0xF8) : nullptr;
  if (table == nullptr) return 0;
  DWORD count = 0;
  for (DWORD index = 0; index < 0x10000; ++index) {
    if (table[index * 24 + 14] != 0) ++count;
  }
  return count;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM counter) {
  ++*reinterpret_cast<DWORD*>(counter);
  EnumChildWindows(window, [](HWND, LPARAM inner) -> BOOL {
    ++*reinterpret_cast<DWORD*>(inner);
    return TRUE;
  }, counter);
  return TRUE;
}

// User objects counted as the windows of the calling thread and their
// descendants, for systems whose GetGuiResources answers 0.
DWORD ProbeWindows() {
  DWORD count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace

ProcessResources CountProcessResources() {
  ProcessResources counts;
  if (!GetProcessHandleCount(GetCurrentProcess(), &counts.handles) || counts.handles == 0) {
    counts.handles = ProbeHandles();
  }
  counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counts.gdiObjects == 0) counts.gdiObjects = ProbeGdiObjects();
  counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counts.userObjects == 0) counts.userObjects = ProbeWindows();
  return counts;
}
