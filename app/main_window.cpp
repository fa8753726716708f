// The main window: creation of its children, fixed layout, painting,
// dragging by the background, commands and the shutdown sequence.
#include "app/main_window.h"

#include <shellapi.h>

#include <cstdio>

#include "app/folder_watcher.h"
#include "app/open_design.h"
#include "app/program_values.h"
#include "controls/bitmap_button.h"
#include "base/scoped_handle.h"
#include "controls/window_region.h"
#include "editor/card_note.h"
#include "editor/card_preview.h"
#include "editor/editor_view.h"
#include "editor/options_bar.h"
#include "editor/paint.h"
#include "net/account_file.h"
#include "net/login.h"
#include "net/service_addresses.h"
#include "net/service_requests.h"
#include "pages/page_selector.h"
#include "resources/resource.h"
#include "upload/bleed_dialog.h"
#include "upload/safe_area_dialog.h"
#include "upload/upload_dialogs.h"
#include "webview/navo.h"

HINSTANCE AppInstance;
HBRUSH PanelBrush;
AppWindowSet AppWindows;

namespace {

constexpr uint32_t kSkinKey = 0x0000FF;  // pure blue is cut out of the window's shape

// One bitmap button of the main window and where it sits.
struct ButtonPlace {
  int id;
  int x;
  int y;
  const char* names[4];  // normal, hover, selected, disabled
};

// Creation order of the buttons.
constexpr ButtonPlace kButtons[] = {
    {IDC_CLOSE, 805, 10, {"BTN_CLOSE", "BTN_CLOSE_HV", "BTN_CLOSE", "BTN_CLOSE"}},
    {IDC_DATA_CLEAR, 765, 52, {"BTN_CLEAR", "BTN_CLEAR_HV", "BTN_CLEAR", "BTN_CLEAR"}},
    {IDC_DATA_CUT, 433, 235, {"BTN_CUT", "BTN_CUT_HV", "BTN_CUT", "BTN_CUT"}},
    {IDC_SITE, 505, 610, {"BTN_SITE", "BTN_SITE_HV", "BTN_SITE", "BTN_SITE"}},
    {IDC_WEBHELP, 675, 622, {"BTN_HELP", "BTN_HELP_HV", "BTN_HELP", "BTN_HELP"}},
    {IDC_UPLOAD, 775, 617, {"BTN_UPLOAD", "BTN_UPLOAD_HV", "BTN_UPLOAD", "BTN_UPLOAD"}},
    {IDC_FRONT, 515, 70, {"TAB_FRONT", "TAB_FRONT_HV", "TAB_FRONT_SEL", "TAB_FRONT"}},
    {IDC_BACK, 622, 70, {"TAB_BACK", "TAB_BACK_HV", "TAB_BACK_SEL", "TAB_BACK"}},
    {IDC_OPEN_DESIGN, 433, 152, {"BTN_OPEN", "BTN_OPEN_HV", "BTN_OPEN", "BTN_OPEN"}},
};
constexpr int kButtonCount = sizeof kButtons / sizeof kButtons[0];

// Destruction order of the buttons: close, help, site, cut, clear, upload,
// tabs, then the open button.
constexpr int kButtonDestroyOrder[kButtonCount] = {0, 4, 3, 2, 1, 5, 6, 7, 8};

// The main window's own resources; its panels are in AppWindows. The links
// are what each panel is handed at creation, kept here for the panels' life.
struct MainWindowState {
  ScopedBitmap background;
  ScopedBrush panelBrush;
  HWND buttons[kButtonCount];
  EditorViewLinks editorLinks;
  PageSelectorLinks selectorLinks;
  OptionsBarLinks optionsLinks;
  CardPreviewLinks previewLinks[2];
};

MainWindowState g_state;

HWND Button(int id) {
  for (int i = 0; i < kButtonCount; ++i) {
    if (kButtons[i].id == id) {
      return g_state.buttons[i];
    }
  }
  return nullptr;
}

// Tells the web view which help page to show; `format` is "%s?page=...".
void NavigateHelp(const char* format) {
  if (!AppWindows.webView) {
    return;
  }
  char url[kUrlSize + 32];
  std::snprintf(url, sizeof url, format, HelpPageUrl);
  SendMessageA(AppWindows.webView, WVM_NAVIGATE, reinterpret_cast<WPARAM>(url), 0);
}

void PostCommand(HWND target, int command) {
  if (target) {
    PostMessageA(target, WM_COMMAND, static_cast<WPARAM>(command), 0);
  }
}

void OpenInBrowser(HWND window, const char* url) {
  ShellExecuteA(window, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

// Creates a modeless child dialog from its template and shows it.
HWND CreatePanel(const char* name, HWND parent, DLGPROC procedure, LPARAM parameter) {
  HWND panel = CreateDialogParamA(AppInstance, name, parent, procedure, parameter);
  if (panel) {
    ShowWindow(panel, SW_SHOW);
  }
  return panel;
}

void OnCreate(HWND window) {
  AppWindows.main = window;
  // The window system owns the region once it is set.
  SetWindowRgn(window, RegionFromBitmap(g_state.background.get(), kSkinKey), TRUE);

  g_state.editorLinks = {&Job, window, {nullptr, nullptr}, nullptr, nullptr};
  AppWindows.editorView = CreatePanel("IMAGEDLG", window, EditorViewProc,
                                      reinterpret_cast<LPARAM>(&g_state.editorLinks));
  g_state.selectorLinks = {&Job, AppWindows.editorView, PanelBrush};
  AppWindows.pageSelector = CreatePanel("PAGEDLG", window, PageSelectorProc,
                                        reinterpret_cast<LPARAM>(&g_state.selectorLinks));
  g_state.optionsLinks = {&Job, AppWindows.editorView, PanelBrush};
  AppWindows.optionsBar = CreatePanel("VIEWDLG", window, OptionsBarProc,
                                      reinterpret_cast<LPARAM>(&g_state.optionsLinks));
  for (int side = 0; side < 2; ++side) {
    g_state.previewLinks[side] = {&Job.sides[side], &Job};
    AppWindows.previews[side] = CreateDialogParamA(AppInstance, "CARDDLG", window, CardPreviewProc,
                                                   reinterpret_cast<LPARAM>(&g_state.previewLinks[side]));
    ShowWindow(AppWindows.previews[side], SW_HIDE);
    g_state.editorLinks.previews[side] = AppWindows.previews[side];
  }
  ShowWindow(AppWindows.previews[Job.currentSide], SW_SHOW);

  AppWindows.webView = jNAVO_Create(window, AppInstance, 0);
  if (AppWindows.webView) {
    ShowWindow(AppWindows.webView, SW_SHOW);
  }
  NavigateHelp("%s?page=info");

  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonPlace& place = kButtons[i];
    g_state.buttons[i] = CreateBitmapButton(window, place.id, place.x, place.y, place.names[0],
                                            place.names[1], place.names[2], place.names[3],
                                            kSkinButtonFlags);
  }
  SetBitmapButtonState(Button(IDC_FRONT), BtnSelected, 1);
  AppWindows.cardNote = CreateCardNote(window, g_state.background.get());
  g_state.editorLinks.optionsBar = AppWindows.optionsBar;
  g_state.editorLinks.cardNote = AppWindows.cardNote;
  // Design files dropped on the window open like those chosen with 開く.
  DragAcceptFiles(window, TRUE);
  WatchFolder(ProgramFolder, window, IDC_SHOW_PAGE);
}

// Shows the page just written from a design file: the selector counts it,
// and selects it unless the count selects page 1 by itself.
void ShowImportedPage(int pageIndex) {
  PostCommand(AppWindows.pageSelector, IDC_SHOW_PAGE);
  if (pageIndex > 0 || Job.pageCount > 0) {
    PostCommand(AppWindows.pageSelector, IDC_PAGE1 + pageIndex);
  }
}

void OnOpenDesign(HWND window) {
  char path[kPathSize];
  if (!ChooseDesignFile(window, path, sizeof path)) return;
  const int page = OpenDesignFile(window, path);
  if (page >= 0) ShowImportedPage(page);
}

void OnDropFiles(HWND window, HDROP drop) {
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  char path[kPathSize];
  int last = -1;
  for (UINT i = 0; i < count; ++i) {
    if (DragQueryFileA(drop, i, path, sizeof path) == 0) continue;
    const int page = OpenDesignFile(window, path);
    if (page < 0) break;  // the message is shown; later files stay out
    last = page;
  }
  DragFinish(drop);
  if (last >= 0) ShowImportedPage(last);
}

void OnSize() {
  struct Place {
    HWND child;
    int x, y, width, height;
  };
  const Place places[] = {
      {AppWindows.optionsBar, 18, 70, 263, 26},    {AppWindows.pageSelector, 295, 72, 135, 22},
      {AppWindows.editorView, 13, 97, 411, 563},   {AppWindows.previews[0], 512, 104, 346, 346},
      {AppWindows.previews[1], 512, 104, 346, 346}, {AppWindows.webView, 505, 470, 360, 135},
  };
  for (const Place& place : places) {
    if (place.child) {
      MoveWindow(place.child, place.x, place.y, place.width, place.height, TRUE);
    }
  }
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  PaintBitmap(dc, g_state.background.get(), 0, 0);
  PaintText(dc, 393, 36, "ver 1.0J", 11, RGB(60, 60, 60), FW_BOLD);
  EndPaint(window, &paint);
}

// Shows side 0 (front) or 1 (back) when it is not the current one.
void SwitchSide(int side) {
  if (Job.currentSide == side) {
    return;
  }
  SetBitmapButtonState(Button(IDC_FRONT), side == 0 ? BtnSelected : BtnNormal, 1);
  SetBitmapButtonState(Button(IDC_BACK), side == 1 ? BtnSelected : BtnNormal, 1);
  if (AppWindows.previews[side]) {
    ShowWindow(AppWindows.previews[side], SW_SHOW);
  }
  if (AppWindows.previews[1 - side]) {
    ShowWindow(AppWindows.previews[1 - side], SW_HIDE);
  }
  Job.currentSide = side;
}

void OnUpload(HWND window) {
  NavigateHelp("%s?page=upload");
  if (!Job.sides[0].image) {
    MessageBoxA(window, "名刺表の画像が切り取られていません。", "アップロード", MB_ICONERROR | MB_OK);
    return;
  }
  DibImage* checked = Job.sides[Job.currentSide].image;
  if (CheckBleed(window, checked, Job) == IDYES && CheckSafeAreaDialog(window, checked, Job) == IDYES &&
      EnsureLogin(window) == 1) {
    ShowUploadDialogs(window, {&Job, ProgramFolder, AppWindows.webView});
  }
}

// Logs in when needed, then opens the user's page of the service.
void OnSite(HWND window) {
  if (EnsureLogin(window) != 1) {
    return;
  }
  char url[kSiteUrlSize];
  if (BuildSiteUrl(url, sizeof url)) {
    OpenInBrowser(window, url);
  }
}

// Returns true when the command was handled.
bool OnCommand(HWND window, int command) {
  switch (command) {
    case IDC_DATA_CUT:
      NavigateHelp("%s?page=data_cut");
      PostCommand(AppWindows.editorView, IDC_DATA_CUT);
      return true;
    case IDC_DATA_CLEAR:
      PostCommand(AppWindows.editorView, IDC_DATA_CLEAR);
      return true;
    case IDC_UPLOAD:
      OnUpload(window);
      return true;
    case IDC_WEBHELP:
      OpenInBrowser(window, HelpUrl);
      return true;
    case IDC_FRONT:
      SwitchSide(0);
      return true;
    case IDC_BACK:
      SwitchSide(1);
      return true;
    case IDC_CLOSE:
      PostMessageA(window, WM_CLOSE, 0, 0);
      return true;
    case IDC_SITE:
      OnSite(window);
      return true;
    case IDC_SHOW_PAGE:
      PostCommand(AppWindows.pageSelector, IDC_SHOW_PAGE);
      return true;
    case IDC_OPEN_DESIGN:
      OnOpenDesign(window);
      return true;
    default:
      return false;
  }
}

void DestroyChild(HWND& child) {
  if (child) {
    DestroyWindow(child);
    child = nullptr;
  }
}

// The shutdown sequence; the window itself is destroyed last.
void OnClose(HWND window) {
  WriteAccountFile(SettingsPath);
  DeletePageFiles(Job.pagePrefix);
  g_state.panelBrush.reset();
  PanelBrush = nullptr;
  for (int index : kButtonDestroyOrder) {
    DestroyBitmapButton(g_state.buttons[index]);
    g_state.buttons[index] = nullptr;
  }
  DestroyChild(AppWindows.editorView);
  DestroyChild(AppWindows.pageSelector);
  DestroyChild(AppWindows.optionsBar);
  DestroyChild(AppWindows.previews[0]);
  DestroyChild(AppWindows.previews[1]);
  DestroyChild(AppWindows.webView);
  DestroyChild(AppWindows.cardNote);
  g_state.background.reset();
  DestroyWindow(window);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_SIZE:
      OnSize();
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_LBUTTONDOWN:
      // The borderless window is dragged by its background.
      PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
      return 0;
    case WM_COMMAND:
      if (OnCommand(window, LOWORD(wParam))) {
        return 1;
      }
      break;
    case WM_DROPFILES:
      OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CLOSE:
      OnClose(window);
      return 0;
    case WM_DESTROY:
      WatchFolder(nullptr, nullptr, 0);
      AppWindows.main = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "A_NORVALISK");
  windowClass.hIconSm = LoadIconA(instance, "SMALL");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = kMainWindowClass;
  return RegisterClassExA(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance, HBITMAP background) {
  g_state = {};
  AppWindows = {};
  g_state.background.reset(background);
  g_state.panelBrush.reset(CreateSolidBrush(RGB(255, 204, 0)));
  PanelBrush = g_state.panelBrush.get();
  BITMAP info = {};
  if (background) {
    GetObjectA(background, sizeof info, &info);
  }
  const int x = (GetSystemMetrics(SM_CXSCREEN) - info.bmWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - info.bmHeight) / 2;
  HWND window = CreateWindowExA(WS_EX_COMPOSITED | WS_EX_APPWINDOW, kMainWindowClass,
                                kMainWindowTitle, WS_POPUP, x, y, info.bmWidth, info.bmHeight,
                                nullptr, nullptr, instance, nullptr);
  if (!window) {
    g_state.background.reset();
    g_state.panelBrush.reset();
    PanelBrush = nullptr;
  }
  return window;
}
