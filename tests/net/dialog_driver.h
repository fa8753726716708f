// Drives modal dialogs and message boxes of the test's GUI thread from a second thread, by
// messages only: the GUI thread sits in the dialog's own modal loop meanwhile.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class DialogDriver {
 public:
  explicit DialogDriver(DWORD guiThread) : guiThread_(guiThread) {}

  // Waits for a visible dialog window of the GUI thread with this caption, owned by `owner`
  // when one is given. Returns null (and notes a failure) on timeout.
  HWND WaitDialog(const char* caption, HWND owner = nullptr, DWORD timeoutMs = 15000);
  // Waits until the window is gone; notes a failure on timeout.
  bool WaitGone(HWND window, DWORD timeoutMs = 15000);

  std::string Text(HWND dialog, int id);
  // The message text of a message box.
  std::string BoxText(HWND box) { return Text(box, 0xFFFF); }
  void SetText(HWND dialog, int id, const std::string& text);
  void SetCheck(HWND dialog, int id, bool checked);
  bool Checked(HWND dialog, int id);
  // Posts WM_COMMAND with `id` (lParam 0), as a button or a bitmap button does.
  void Command(HWND dialog, int id);

  // Every visible dialog window of the GUI thread.
  std::vector<HWND> OpenDialogs() const;

  void Fail(const std::string& what) { failures_.push_back(what); }
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  DWORD guiThread_;
  std::vector<std::string> failures_;
};

// Runs `script` on a second thread while `show` runs on the calling thread (which must own
// the dialogs' owner). When the script is over and `show` has not returned yet, every dialog
// still open is cancelled, and noted as a failure. Returns what `show` returned; the
// script's failures go into `failures`.
int DriveModal(const std::function<void(DialogDriver&)>& script, const std::function<int()>& show,
               std::vector<std::string>* failures);
