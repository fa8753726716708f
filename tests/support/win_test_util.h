// Helpers of the Windows tests: temporary folders, message pumping, waiting
// on conditions, and starting the real program.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A fresh folder under the temporary directory, removed with its files.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Dispatches the calling thread's pending messages. A quit message is kept
// for TakeQuitCode instead.
void PumpMessages();

// The exit code of the last quit message PumpMessages met, once.
std::optional<WPARAM> TakeQuitCode();

// Pumps messages until `done` holds or `timeoutMs` passes; returns `done()`.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Takes the next WM_COMMAND waiting in the queue of `window`, if any.
std::optional<MSG> TakePostedCommand(HWND window);

bool FileExists(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);

// Path of a file next to the running test executable.
std::string BesideTestExe(const std::string& name);

// A started process, ended and closed when the owner goes.
class ChildProcess {
 public:
  // Starts `commandLine` in `folder`; check started().
  ChildProcess(const std::string& commandLine, const std::string& folder);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  // Waits for the process to end; returns its exit code, or −1 on timeout.
  long long Wait(DWORD timeoutMs = 20000);

 private:
  PROCESS_INFORMATION info_ = {};
};

// The top-level window of `className` that belongs to process `processId`.
HWND FindProcessWindow(DWORD processId, const char* className);

// Waits (up to 10 s) for a message box of this process to show its message,
// reads the message and caption, then answers OK. Call it on a thread other than the box's own.
std::string AnswerMessageBox(std::string* caption);

// The WM_COMMAND messages a recording window received: (wParam, lParam).
using CommandLog = std::vector<std::pair<WPARAM, LPARAM>>;

// Creates a window that appends every WM_COMMAND it receives to `log` and
// leaves everything else to default processing: a stand-in parent, main
// window or panel that shows what was posted to it.
HWND CreateCommandRecorder(CommandLog* log, const char* title, DWORD style, int x, int y, int width,
                           int height, HWND parent = nullptr);

// What the process holds of the system: kernel handles, GDI objects and user
// objects. Where the system does not count them (Wine 8 answers 0), they are
// counted directly: handle values the system accepts, entries of the shared
// GDI handle table, and the calling thread's windows.
struct ProcessResources {
  DWORD handles = 0;
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;
};
ProcessResources CountProcessResources();
