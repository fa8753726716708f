// A window-tree inspector for the end-to-end test: a console program that,
// for every "list" line on its standard input, prints the cursor's clip
// rectangle as "CLIP<tab>left top right bottom", then the visible top-level
// windows of the desktop and all their descendants, one line each, then a
// line "END". It only reads; it never sends input or commands to a window.
//
// Fields of a window line, separated by tabs:
//   depth  hwnd  owner  pid  class  id  visible  enabled  checked
//   window rectangle (left top right bottom, screen)
//   client rectangle (left top right bottom, screen)
//   hover: for a skin button its own hover flag (0 or 1), read from the
//          button's record in its process; "-" for any other window
//   text (UTF-8; backslash, tab, CR and LF escaped as \\ \t \r \n)
// "quit" or the end of the input ends the program.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Text of a window read through WM_GETTEXT, which also works for edit
// controls of another process; a hung window gives its internal caption.
std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0],
                           reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &length)) {
    InternalGetWindowText(window, text, sizeof text / sizeof text[0]);
  }
  text[sizeof text / sizeof text[0] - 1] = L'\0';
  return text;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c; break;
    }
  }
  return out;
}

// The hover flag of a skin button, read from the record its window property
// points at in the button's process: the fifth 32-bit field (id, x, y, state,
// hover). "-" for other windows or when it cannot be read.
std::string ButtonHover(HWND window, const char* className, DWORD pid) {
  if (std::strcmp(className, "_BMPBTN_CLASS_") != 0) return "-";
  const auto record = reinterpret_cast<const char*>(GetPropA(window, "_BMPBTN_DATA_"));
  HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, pid);
  if (record == nullptr || process == nullptr) {
    if (process != nullptr) CloseHandle(process);
    return "-";
  }
  int hover = -1;
  SIZE_T got = 0;
  const bool read = ReadProcessMemory(process, record + 16, &hover, sizeof hover, &got) && got == sizeof hover;
  CloseHandle(process);
  return read ? std::to_string(hover) : "-";
}

void PrintWindow(HWND window, int depth) {
  char className[256] = {};
  GetClassNameA(window, className, sizeof className);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  RECT rect = {};
  GetWindowRect(window, &rect);
  RECT client = {};
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  const bool isChild = (style & WS_CHILD) != 0;
  const int id = isChild ? static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) : 0;
  // Buttons answer BM_GETCHECK; other classes answer 0.
  DWORD_PTR checked = 0;
  if (std::strcmp(className, "Button") == 0) {
    SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 1000, &checked);
  }
  std::printf("%d\t%p\t%p\t%lu\t%s\t%d\t%d\t%d\t%d\t%ld %ld %ld %ld\t%ld %ld %ld %ld\t%s\t%s\n", depth,
              static_cast<void*>(window), static_cast<void*>(GetWindow(window, GW_OWNER)),
              static_cast<unsigned long>(pid), className, id, IsWindowVisible(window) ? 1 : 0,
              IsWindowEnabled(window) ? 1 : 0, static_cast<int>(checked), rect.left, rect.top,
              rect.right, rect.bottom, origin.x, origin.y, origin.x + client.right,
              origin.y + client.bottom, ButtonHover(window, className, pid).c_str(),
              Escaped(Utf8(WindowText(window))).c_str());
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    PrintWindow(child, depth + 1);
  }
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
  if (IsWindowVisible(window)) {
    PrintWindow(window, 0);
  }
  return TRUE;
}

}  // namespace

int main() {
  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    if (std::strncmp(line, "quit", 4) == 0) break;
    if (std::strncmp(line, "list", 4) == 0) {
      RECT clip = {};
      GetClipCursor(&clip);
      std::printf("CLIP\t%ld %ld %ld %ld\n", clip.left, clip.top, clip.right, clip.bottom);
      EnumWindows(PrintTopLevel, 0);
    }
    std::printf("END\n");
    std::fflush(stdout);
  }
  return 0;
}
