// The driver thread of the dialog tests.
#include "dialog_driver.h"

#include <atomic>
#include <cstring>
#include <thread>

#include "support/win_test_util.h"

namespace {

struct Search {
  const char* caption;
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (search->caption != nullptr) {
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(caption, search->caption) != 0) return TRUE;
  }
  if (search->owner != nullptr && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  search->found.push_back(window);
  return TRUE;
}

}  // namespace

HWND DialogDriver::WaitDialog(const char* caption, HWND owner, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        Search search{caption, owner, {}};
        EnumThreadWindows(guiThread_, CollectDialog, reinterpret_cast<LPARAM>(&search));
        if (!search.found.empty()) found = search.found.front();
        return found != nullptr;
      },
      timeoutMs);
  if (found == nullptr) Fail(std::string("no dialog with the caption ") + caption);
  return found;
}

bool DialogDriver::WaitGone(HWND window, DWORD timeoutMs) {
  const bool gone = WaitFor([&] { return !IsWindow(window); }, timeoutMs);
  if (!gone) Fail("a dialog stayed open");
  return gone;
}

std::string DialogDriver::Text(HWND dialog, int id) {
  char text[4096] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void DialogDriver::SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

void DialogDriver::SetCheck(HWND dialog, int id, bool checked) {
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool DialogDriver::Checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DialogDriver::Command(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

std::vector<HWND> DialogDriver::OpenDialogs() const {
  Search search{nullptr, nullptr, {}};
  EnumThreadWindows(guiThread_, CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int DriveModal(const std::function<void(DialogDriver&)>& script, const std::function<int()>& show,
               std::vector<std::string>* failures) {
  DialogDriver driver(GetCurrentThreadId());
  std::atomic<bool> shown{false};
  std::thread thread([&] {
    script(driver);
    // Whatever the script left open is closed, so that a failing test cannot hang. A dialog
    // the script just ended gets a moment to go first.
    WaitFor([&] { return shown.load(); }, 3000);
    bool noted = false;
    for (int round = 0; round < 200 && !shown.load(); ++round) {
      for (HWND dialog : driver.OpenDialogs()) {
        if (!noted) {
          char caption[256] = "";
          GetWindowTextA(dialog, caption, sizeof caption);
          driver.Fail(std::string("left open: ") + caption);
          noted = true;
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      }
      WaitFor([&] { return shown.load(); }, 100);
    }
  });
  const int result = show();
  shown = true;
  thread.join();
  *failures = driver.failures();
  return result;
}
