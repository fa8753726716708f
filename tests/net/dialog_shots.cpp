// Screenshots of the login and registration dialogs: shows each template with its real
// procedure, copies its place on the screen into a 24-bit BMP file and closes it.
//   net_dialog_shots.exe <folder>      writes login_dialog.bmp and regist_dialog.bmp there
// Run it inside a Wine desktop (wine explorer /desktop=...) so that captions are drawn.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/account.h"
#include "net/login.h"
#include "support/win_test_util.h"

namespace {

bool SaveWindowImage(HWND window, const std::string& path) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (width * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  return std::fclose(out) == 0;
}

// Shows the template modelessly with its own procedure, lets it paint, and saves it.
bool Shoot(const char* templateName, DLGPROC procedure, LPARAM parameter, const std::string& path) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), templateName, nullptr, procedure,
                                   parameter);
  if (dialog == nullptr) return false;
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  UpdateWindow(dialog);
  WaitFor([] { return false; }, 1500);  // let every child paint
  const bool saved = SaveWindowImage(dialog, path);
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  DestroyWindow(dialog);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: net_dialog_shots <folder>\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const std::string folder = argv[1];
  // The login dialog as a returning user sees it: the remembered ID and password filled in.
  std::snprintf(UserId, sizeof UserId, "%s", "norvalisk01");
  std::snprintf(UserPassword, sizeof UserPassword, "%s", "secret01");
  RememberLogin = 1;
  LoginDialogData loginData = {};
  const bool login = Shoot("LOGINDLG", LoginDialogProc, reinterpret_cast<LPARAM>(&loginData),
                           folder + "\\login_dialog.bmp");
  const bool regist = Shoot("REGISTDLG", RegistDialogProc, 0, folder + "\\regist_dialog.bmp");
  return login && regist ? 0 : 1;
}
