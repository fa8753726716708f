// Upload and completion dialogs and the upload request.
//
// The conversion to PNG and the request take seconds for a real card. They run
// on a worker thread so that the dialog keeps pumping messages: its status line
// shows, it repaints, and the system never reports it as not responding. The
// order of the steps and what the user sees are those of a blocking dialog:
// the buttons are disabled before the work starts and enabled again only after
// the reply has been shown and the PNG files deleted; until then Esc and close
// requests are ignored. The worker only reads the job record, which nothing
// changes while the modal dialog is up.
#include "upload/upload_dialogs.h"

#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/program_state.h"
#include "app/scoped_handle.h"
#include "controls/bitmap_button.h"
#include "net/account.h"
#include "net/byte_buffer.h"
#include "net/http_client.h"
#include "net/service_requests.h"
#include "resources/resource.h"
#include "upload/png_writer.h"
#include "upload/upload_request.h"
#include "webview/navo.h"

namespace {

// Sent by the worker when the images are written and the request starts.
constexpr UINT kUploadSendingMessage = WM_APP + 1;
// Posted by the worker when the reply is in.
constexpr UINT kUploadDoneMessage = WM_APP + 2;

// State of one upload dialog; lives in ShowUploadDialogs' frame.
struct UploadDialogData {
  HWND dialog;
  HANDLE worker;  // the running conversion and request, or null
  DibImage* front;
  DibImage* back;
  char frontPath[kPathSize];
  char backPath[kPathSize];
  bool notConverted;  // a side that exists could not be written: nothing was sent
  char reply[kServiceReplySize];
};

// The completion dialog's bitmap buttons; they share their ids with hidden
// template buttons, so the dialog keeps their handles.
struct CompleteDialogData {
  HWND buttons[2];
};

HINSTANCE ResourceModule() { return GetModuleHandleA(nullptr); }

// Moves the dialog to the middle of its owner and to the top of the z-order.
void CentreOnOwner(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT ownerRect;
  RECT rect;
  if (owner == nullptr || !GetWindowRect(owner, &ownerRect)) {
    GetWindowRect(GetDesktopWindow(), &ownerRect);
  }
  GetWindowRect(dialog, &rect);
  const int x = CentredEdge(ownerRect.left, ownerRect.right - ownerRect.left, rect.right - rect.left);
  const int y = CentredEdge(ownerRect.top, ownerRect.bottom - ownerRect.top, rect.bottom - rect.top);
  SetWindowPos(dialog, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

void SetUploadButtons(HWND dialog, BOOL enabled) {
  EnableWindow(GetDlgItem(dialog, IDCANCEL), enabled);
  EnableWindow(GetDlgItem(dialog, IDC_SEND), enabled);
}

// Adds the file at `path` as a file part when it can be read whole.
void AddFilePart(MultipartRequest* request, const char* name, const char* fileName,
                 const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return;
  const DWORD length = static_cast<DWORD>(size.QuadPart);
  ByteBuffer bytes = BufferAlloc(length > 0 ? length : 1);
  if (bytes == nullptr) return;
  DWORD total = 0;
  bool ok = true;
  while (total < length) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes + total, length - total, &read, nullptr) || read == 0) {
      ok = false;
      break;
    }
    total += read;
  }
  if (ok) MultipartAddPart(request, name, bytes, total, fileName, kPngContentType);
  BufferFree(bytes);
}

// The two PNG paths in the program folder; a path that does not fit is empty.
void FormCardPngPaths(char* frontPath, char* backPath) {
  CardPngPath(ProgramFolder, kFrontPngName, frontPath, kPathSize);
  CardPngPath(ProgramFolder, kBackPngName, backPath, kPathSize);
}

void DeleteCardPngs(const UploadDialogData* data) {
  if (data->frontPath[0]) DeleteFileA(data->frontPath);
  if (data->backPath[0]) DeleteFileA(data->backPath);
}

// Converts both sides and sends them; runs on the worker thread (or on the
// dialog's own thread when no thread could be started). Only a file written
// by this conversion is ever sent: both paths are cleared first, and when a
// side that exists cannot be written nothing is sent at all.
void RunUpload(UploadDialogData* data) {
  std::memset(data->reply, 0, sizeof data->reply);
  data->notConverted = false;
  DeleteCardPngs(data);
  int written[2] = {0, 0};
  WriteCardPngPair(data->frontPath[0] ? data->front : nullptr, data->frontPath,
                   data->backPath[0] ? data->back : nullptr, data->backPath, &written[0],
                   &written[1]);
  if ((data->front != nullptr && !written[0]) || (data->back != nullptr && !written[1])) {
    data->notConverted = true;
    return;
  }
  SendMessageA(data->dialog, kUploadSendingMessage, 0, 0);
  const int count = UploadCards(ApiUrl, written[0] ? data->frontPath : nullptr,
                                written[1] ? data->backPath : nullptr, data->reply,
                                kServiceReplySize);
  data->reply[count >= 0 && count < kServiceReplySize ? count : 0] = '\0';
}

DWORD WINAPI UploadWorker(void* context) {
  auto* data = static_cast<UploadDialogData*>(context);
  RunUpload(data);
  PostMessageA(data->dialog, kUploadDoneMessage, 0, 0);
  return 0;
}

void OnSend(UploadDialogData* data) {
  HWND dialog = data->dialog;
  char text[512] = "";
  GetDlgItemTextA(dialog, IDC_TITLE, text, sizeof text);
  CutCardTitle(text, Job.title);
  SetUploadButtons(dialog, FALSE);
  SetDlgItemTextA(dialog, IDC_STATUS, kUploadConverting);
  FormCardPngPaths(data->frontPath, data->backPath);
  data->front = Job.sides[0].image;
  data->back = Job.sides[1].image;
  data->worker = CreateThread(nullptr, 0, UploadWorker, data, 0, nullptr);
  if (data->worker == nullptr) {
    // No thread to be had: do the work here, as a blocking dialog would.
    UpdateWindow(dialog);
    RunUpload(data);
    PostMessageA(dialog, kUploadDoneMessage, 0, 0);
  }
}

void OnUploadDone(UploadDialogData* data) {
  HWND dialog = data->dialog;
  if (data->worker != nullptr) {
    WaitForSingleObject(data->worker, INFINITE);
    CloseHandle(data->worker);
    data->worker = nullptr;
  }
  if (data->notConverted) {
    MessageBoxA(dialog, kUploadNotConverted, kUploadCaption, MB_ICONERROR | MB_OK);
    SetDlgItemTextA(dialog, IDC_STATUS, kUploadPrompt);
  } else if (IsSuccessReply(data->reply)) {
    EndDialog(dialog, 1);
  } else {
    MessageBoxA(dialog, data->reply, kUploadCaption, MB_ICONERROR | MB_OK);
  }
  DeleteCardPngs(data);
  SetUploadButtons(dialog, TRUE);
}

// Waits for a worker that is still running when the dialog goes, answering
// the message it may be sending meanwhile.
void WaitForWorker(UploadDialogData* data) {
  if (data == nullptr || data->worker == nullptr) return;
  while (MsgWaitForMultipleObjects(1, &data->worker, FALSE, INFINITE, QS_SENDMESSAGE) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(data->worker);
  data->worker = nullptr;
  DeleteCardPngs(data);
}

// Shows the service's information page in the web view.
void NavigateToInfo() {
  if (AppWindows.webView == nullptr) return;
  char url[kUrlSize + 16];
  std::snprintf(url, sizeof url, "%s?page=info", HelpPageUrl);
  SendMessageA(AppWindows.webView, WVM_NAVIGATE, reinterpret_cast<WPARAM>(url), 0);
}

struct CompleteButtonPlace {
  int id;
  int x, y;
  const char* normal;
  const char* hover;
};

constexpr CompleteButtonPlace kCompleteButtons[] = {
    {IDC_GO_RET, 50, 75, "BTN_GO_RET", "BTN_GO_RET_HV"},
    {IDC_GO_MYPAGE, 220, 75, "BTN_GO_MYPAGE", "BTN_GO_MYPAGE_HV"},
};

void DestroyCompleteButtons(CompleteDialogData* data) {
  if (data == nullptr) return;
  for (HWND& button : data->buttons) {
    DestroyBitmapButton(button);
    button = nullptr;
  }
}

}  // namespace

int UploadCards(const char* url, const char* frontPath, const char* backPath, char* reply,
                int capacity) {
  MultipartRequest* request = MultipartOpen(AgentName, url);
  if (request == nullptr) return 0;
  const UploadCardData card{Job.title, Job.cardWidthMm, Job.cardHeightMm, Job.bleedMm, UserId,
                            UserPassword};
  AddUploadTextParts(request, card);
  AddFilePart(request, "front", kFrontPngName, frontPath);
  AddFilePart(request, "back", kBackPngName, backPath);
  const int count = MultipartSend(request, reply, capacity);
  MultipartClose(request);
  return count;
}

INT_PTR CALLBACK UploadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<UploadDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      data = reinterpret_cast<UploadDialogData*>(lParam);
      data->dialog = dialog;
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
      CentreOnOwner(dialog);
      SetDlgItemTextA(dialog, IDC_STATUS, kUploadPrompt);
      SetDlgItemTextA(dialog, IDC_TITLE, Job.title);
      return TRUE;
    case WM_COMMAND:
      if (data == nullptr) break;
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          if (data->worker == nullptr) EndDialog(dialog, 0);
          return TRUE;
        case IDC_SEND:
          if (data->worker == nullptr) OnSend(data);
          return TRUE;
      }
      break;
    case WM_CLOSE:
      // Busy: the close request waits like the buttons do.
      if (data != nullptr && data->worker != nullptr) return TRUE;
      break;
    case kUploadSendingMessage:
      SetDlgItemTextA(dialog, IDC_STATUS, kUploadSending);
      return TRUE;
    case kUploadDoneMessage:
      if (data != nullptr) OnUploadDone(data);
      return TRUE;
    case WM_DESTROY:
      WaitForWorker(data);
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK CompleteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<CompleteDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      data = reinterpret_cast<CompleteDialogData*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
      CentreOnOwner(dialog);
      for (int i = 0; i < 2; ++i) {
        const CompleteButtonPlace& place = kCompleteButtons[i];
        data->buttons[i] = CreateBitmapButton(dialog, place.id, place.x, place.y, place.normal,
                                              place.hover, place.normal, place.normal,
                                              kSkinButtonFlags);
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_GO_MYPAGE:
          NavigateToInfo();
          PostMessageA(GetWindow(dialog, GW_OWNER), WM_COMMAND, IDC_SITE, 0);
          EndDialog(dialog, 1);
          return TRUE;
        case IDC_GO_RET:
          NavigateToInfo();
          EndDialog(dialog, 0);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
    case WM_CLOSE:
      DestroyCompleteButtons(data);
      return FALSE;  // default processing turns it into IDCANCEL
    case WM_DESTROY:
      // The dialog also ends by its buttons; the bitmaps the buttons own go with it.
      DestroyCompleteButtons(data);
      return FALSE;
  }
  return FALSE;
}

int ShowUploadDialogs(HWND owner) {
  UploadDialogData upload = {};
  const INT_PTR result = DialogBoxParamA(ResourceModule(), "UPLOADDLG", owner, UploadDialogProc,
                                         reinterpret_cast<LPARAM>(&upload));
  if (result == 1) {
    CompleteDialogData complete = {};
    DialogBoxParamA(ResourceModule(), "COMPLETEDLG", owner, CompleteDialogProc,
                    reinterpret_cast<LPARAM>(&complete));
  }
  return static_cast<int>(result);
}
