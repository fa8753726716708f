// Upload and completion dialogs and the upload request.
//
// The conversion to PNG and the request take seconds for a real card, minutes
// over a poor link. They run on a worker thread so that the dialog keeps
// pumping messages: its status line and progress show, it repaints, and 中止
// (or Esc) works at every moment.
//
// One send is an UploadAttempt, shared by the dialog and its worker and freed
// by whichever lets go of it last. The worker converts the sides, builds the
// request and sends its body in pieces, posting each step to the dialog. The
// dialog watches the steps against the time limits. To stop a send it marks
// the attempt stopped and lets go of it at once: the dialog is ready again
// while the worker, which no longer posts anything, gives up the request at
// its next step and writes no file. A call the worker is blocked in (a piece
// the service does not take, a reply that does not come) ends by WinINet's own
// time limits, which are twice the dialog's. A stop during the conversion ends
// it inside the side being written and leaves no file.
#include "upload/upload_dialogs.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "base/byte_buffer.h"
#include "base/scoped_handle.h"
#include "controls/bitmap_button.h"
#include "job/card_job.h"
#include "net/account.h"
#include "net/http_client.h"
#include "net/service_addresses.h"
#include "net/service_requests.h"
#include "resources/resource.h"
#include "upload/png_writer.h"
#include "upload/upload_progress.h"
#include "upload/upload_request.h"
#include "webview/navo.h"

namespace {

// Posted by the worker; wParam is the attempt's serial number, so that a step
// of an attempt the dialog has let go of is recognised and dropped.
constexpr UINT kUploadConnectingMessage = WM_APP + 1;  // lParam unused
constexpr UINT kUploadSendingMessage = WM_APP + 2;     // lParam: body length
constexpr UINT kUploadSentMessage = WM_APP + 3;        // lParam: body bytes sent
constexpr UINT kUploadDoneMessage = WM_APP + 4;        // lParam unused

// The timer that checks the transfer against its limits.
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchIntervalMs = 200;
// Range of the progress bar.
constexpr int kProgressRange = 1000;

// How one attempt ended.
enum class UploadOutcome {
  kReplied,       // the service answered (or the request failed): show the reply
  kNotConverted,  // a side that exists could not be written: nothing was sent
  kStopped,       // stopped by 中止 or Esc
};

// One press of 送信開始, shared by the dialog and its worker.
struct UploadAttempt {
  LONG references;  // the dialog's and the worker's
  CRITICAL_SECTION lock;
  // Guarded by `lock`: the dialog to report to (null once it let go).
  HWND dialog;
  std::atomic<bool> stopped;
  WPARAM serial;
  // What to do, fixed before the worker starts.
  UploadLinks links;  // a copy: a worker that was let go may outlive the dialog
  DibImage* front;
  DibImage* back;
  char frontPath[kPathSize];
  char backPath[kPathSize];
  UploadLimits limits;
  // Results, read by the dialog once the done message came.
  UploadOutcome outcome;
  char reply[kServiceReplySize];
};

UploadAttempt* NewAttempt() {
  auto* attempt = new (std::nothrow) UploadAttempt();
  if (attempt == nullptr) return nullptr;
  attempt->references = 2;
  InitializeCriticalSection(&attempt->lock);
  return attempt;
}

void ReleaseAttempt(UploadAttempt* attempt) {
  if (InterlockedDecrement(&attempt->references) == 0) {
    DeleteCriticalSection(&attempt->lock);
    delete attempt;
  }
}

// Posts a step to the dialog unless the dialog has let go of the attempt.
void Report(UploadAttempt* attempt, UINT message, LPARAM lParam) {
  EnterCriticalSection(&attempt->lock);
  if (attempt->dialog != nullptr) PostMessageA(attempt->dialog, message, attempt->serial, lParam);
  LeaveCriticalSection(&attempt->lock);
}

// State of one upload dialog; lives in ShowUploadDialogs' frame.
struct UploadDialogData {
  const UploadLinks* links;
  HWND dialog;
  UploadAttempt* attempt;      // the attempt under way, or null
  ScopedKernelHandle worker;  // its thread, or empty
  WPARAM serial;           // serial number of the latest attempt
  TransferWatch watch;
  uint32_t total;  // body length of the request going out
  bool stopping;  // 中止 was pressed during the conversion; waiting for the worker
  char frontPath[kPathSize];
  char backPath[kPathSize];
};

// The completion dialog's bitmap buttons; they share their ids with hidden
// template buttons, so the dialog keeps their handles.
struct CompleteDialogData {
  const UploadLinks* links;
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

// Ready for a send: both buttons enabled, no progress shown.
void ShowReady(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_SEND), TRUE);
  ShowWindow(GetDlgItem(dialog, IDC_UPLOAD_PROGRESS), SW_HIDE);
  ShowWindow(GetDlgItem(dialog, IDC_UPLOAD_SENT), SW_HIDE);
}

// Busy: 送信開始 waits, 中止 stays at hand.
void ShowBusy(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDC_SEND), FALSE);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
}

void ShowProgress(HWND dialog, uint32_t sent, uint32_t total) {
  char text[64];
  FormatSentKilobytes(sent, total, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_UPLOAD_SENT, text);
  SendDlgItemMessageA(dialog, IDC_UPLOAD_PROGRESS, PBM_SETPOS,
                      static_cast<WPARAM>(ProgressPosition(sent, total, kProgressRange)), 0);
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

// The two PNG paths in the program folder; a path that cannot be formed is empty.
void FormCardPngPaths(const char* programFolder, char* frontPath, char* backPath) {
  CardPngPath(programFolder, kFrontPngName, frontPath, kPathSize);
  CardPngPath(programFolder, kBackPngName, backPath, kPathSize);
}

void DeleteCardPngs(const char* frontPath, const char* backPath) {
  if (frontPath[0]) DeleteFileA(frontPath);
  if (backPath[0]) DeleteFileA(backPath);
}

// The send of UploadCards as the worker follows it: each step goes to the
// dialog, and a stop is honoured before connecting and before every piece.
struct AttemptObserver {
  static void Connecting(void* context) {
    Report(static_cast<UploadAttempt*>(context), kUploadConnectingMessage, 0);
  }
  static void Sent(void* context, uint32_t sent, uint32_t total) {
    auto* attempt = static_cast<UploadAttempt*>(context);
    if (sent == 0) {
      Report(attempt, kUploadSendingMessage, static_cast<LPARAM>(total));
    } else {
      Report(attempt, kUploadSentMessage, static_cast<LPARAM>(sent));
    }
  }
  static bool Stopped(void* context) { return static_cast<UploadAttempt*>(context)->stopped; }
};

// Writes both sides at once; a stop ends the conversion inside a side and
// leaves no file. Returns false when stopped.
bool ConvertSides(UploadAttempt* attempt, int written[2]) {
  if (attempt->stopped) return false;
  DibImage* front = attempt->frontPath[0] != '\0' ? attempt->front : nullptr;
  DibImage* back = attempt->backPath[0] != '\0' ? attempt->back : nullptr;
  WriteCardPngPair(front, attempt->frontPath, back, attempt->backPath, &written[0], &written[1],
                   &attempt->stopped);
  return !attempt->stopped;
}

// The worker's whole job: converts both sides and sends them. Only a file
// written by this conversion is ever sent: both paths are cleared first, and
// when a side that exists cannot be written nothing is sent at all.
void RunAttempt(UploadAttempt* attempt) {
  DeleteCardPngs(attempt->frontPath, attempt->backPath);
  int written[2] = {0, 0};
  if (!ConvertSides(attempt, written)) {
    attempt->outcome = UploadOutcome::kStopped;
    return;
  }
  if ((attempt->front != nullptr && !written[0]) || (attempt->back != nullptr && !written[1])) {
    attempt->outcome = UploadOutcome::kNotConverted;
    return;
  }
  SendObserver observer = {};
  observer.context = attempt;
  observer.connecting = AttemptObserver::Connecting;
  observer.sent = AttemptObserver::Sent;
  observer.stopped = AttemptObserver::Stopped;
  // WinINet's own limits only end a worker the dialog has let go of: the
  // dialog's watch, at half these times, decides what the user is told.
  observer.connectTimeoutMs = attempt->limits.connectMs * 2;
  observer.transferTimeoutMs = attempt->limits.stallMs * 2;
  const int count = UploadCards(attempt->links, ApiUrl, written[0] ? attempt->frontPath : nullptr,
                                written[1] ? attempt->backPath : nullptr, attempt->reply,
                                kServiceReplySize, &observer);
  attempt->reply[count >= 0 && count < kServiceReplySize ? count : 0] = '\0';
  attempt->outcome = attempt->stopped ? UploadOutcome::kStopped : UploadOutcome::kReplied;
}

DWORD WINAPI UploadWorker(void* context) {
  auto* attempt = static_cast<UploadAttempt*>(context);
  RunAttempt(attempt);
  Report(attempt, kUploadDoneMessage, 0);
  ReleaseAttempt(attempt);
  return 0;
}

// Tells the worker to stop at its next step. When `letGo`, the worker also
// reports nothing more.
void StopAttempt(UploadAttempt* attempt, bool letGo) {
  EnterCriticalSection(&attempt->lock);
  attempt->stopped = true;
  if (letGo) attempt->dialog = nullptr;
  LeaveCriticalSection(&attempt->lock);
}

// Lets go of the attempt under way: its worker stops and reports nothing more,
// and finishes on its own.
void LetGoOfAttempt(UploadDialogData* data) {
  UploadAttempt* attempt = data->attempt;
  if (attempt == nullptr) return;
  StopAttempt(attempt, true);
  ReleaseAttempt(attempt);
  data->attempt = nullptr;
  data->worker.reset();
  KillTimer(data->dialog, kWatchTimer);
  data->watch = {TransferPhase::kIdle, 0};
}

// Ends a send that is under way, for a stop or a time limit: the dialog is
// ready at once, nothing is reported as sent and both files are gone.
void EndTransfer(UploadDialogData* data, const char* status) {
  LetGoOfAttempt(data);
  DeleteCardPngs(data->frontPath, data->backPath);
  SetDlgItemTextA(data->dialog, IDC_STATUS, status);
  ShowReady(data->dialog);
}

void OnSend(UploadDialogData* data) {
  CardJob& Job = *data->links->job;
  HWND dialog = data->dialog;
  char text[512] = "";
  GetDlgItemTextA(dialog, IDC_TITLE, text, sizeof text);
  CutCardTitle(text, Job.title);
  ShowBusy(dialog);
  SetDlgItemTextA(dialog, IDC_STATUS, kUploadConverting);
  FormCardPngPaths(data->links->programFolder, data->frontPath, data->backPath);
  UploadAttempt* attempt = NewAttempt();
  if (attempt == nullptr) {
    MessageBoxA(dialog, kUploadNotConverted, kUploadCaption, MB_ICONERROR | MB_OK);
    SetDlgItemTextA(dialog, IDC_STATUS, kUploadPrompt);
    ShowReady(dialog);
    return;
  }
  attempt->dialog = dialog;
  attempt->serial = ++data->serial;
  attempt->links = *data->links;
  attempt->front = Job.sides[0].image;
  attempt->back = Job.sides[1].image;
  std::memcpy(attempt->frontPath, data->frontPath, kPathSize);
  std::memcpy(attempt->backPath, data->backPath, kPathSize);
  char limits[64];
  const DWORD length = GetEnvironmentVariableA(kUploadLimitsVariable, limits, sizeof limits);
  attempt->limits = ParseUploadLimits(length > 0 && length < sizeof limits ? limits : nullptr);
  data->attempt = attempt;
  data->stopping = false;
  data->watch = {TransferPhase::kConverting, GetTickCount()};
  SetTimer(dialog, kWatchTimer, kWatchIntervalMs, nullptr);
  data->worker.reset(CreateThread(nullptr, 0, UploadWorker, attempt, 0, nullptr));
  if (!data->worker) {
    // No thread to be had: do the work here, as a blocking dialog would.
    UpdateWindow(dialog);
    UploadWorker(attempt);
  }
}

void OnUploadDone(UploadDialogData* data) {
  HWND dialog = data->dialog;
  UploadAttempt* attempt = data->attempt;
  data->attempt = nullptr;
  // The worker ends right after this message; it holds nothing more.
  data->worker.reset();
  KillTimer(dialog, kWatchTimer);
  data->watch = {TransferPhase::kIdle, 0};
  data->stopping = false;
  switch (attempt->outcome) {
    case UploadOutcome::kStopped:
      SetDlgItemTextA(dialog, IDC_STATUS, kUploadStopped);
      break;
    case UploadOutcome::kNotConverted:
      MessageBoxA(dialog, kUploadNotConverted, kUploadCaption, MB_ICONERROR | MB_OK);
      SetDlgItemTextA(dialog, IDC_STATUS, kUploadPrompt);
      break;
    case UploadOutcome::kReplied:
      if (IsSuccessReply(attempt->reply)) {
        EndDialog(dialog, 1);
      } else {
        MessageBoxA(dialog, attempt->reply, kUploadCaption, MB_ICONERROR | MB_OK);
      }
      break;
  }
  ReleaseAttempt(attempt);
  DeleteCardPngs(data->frontPath, data->backPath);
  ShowReady(dialog);
}

// 中止 or Esc: ends the dialog when nothing is under way, else stops the send.
void OnCancel(UploadDialogData* data) {
  if (data->attempt == nullptr) {
    EndDialog(data->dialog, 0);
    return;
  }
  if (data->watch.phase == TransferPhase::kConverting) {
    // The worker may be writing a file: it stops after that side and reports.
    StopAttempt(data->attempt, false);
    data->stopping = true;
    SetDlgItemTextA(data->dialog, IDC_STATUS, kUploadStopping);
    EnableWindow(GetDlgItem(data->dialog, IDCANCEL), FALSE);
    return;
  }
  EndTransfer(data, kUploadStopped);
}

void OnWatchTimer(UploadDialogData* data) {
  if (data->attempt == nullptr) return;
  const TransferExpiry expiry = CheckTransfer(data->watch, GetTickCount(), data->attempt->limits);
  if (expiry == TransferExpiry::kNone) return;
  const bool connect = expiry == TransferExpiry::kConnect;
  EndTransfer(data, kUploadTimedOut);
  MessageBoxA(data->dialog, connect ? kUploadNoConnection : kUploadNoResponse, kUploadCaption,
              MB_ICONERROR | MB_OK);
}

// A step posted by the current attempt's worker; steps of an attempt the
// dialog has let go of are dropped.
bool IsCurrent(const UploadDialogData* data, WPARAM serial) {
  return data != nullptr && data->attempt != nullptr && serial == data->attempt->serial;
}

// Called by the dialog's procedure while the worker runs: a dialog that goes
// away lets go of a send; a conversion is waited for, since it reads the card
// images, which the main window may free once the dialog is gone.
void OnDestroy(UploadDialogData* data) {
  if (data == nullptr || data->attempt == nullptr) return;
  if (data->watch.phase == TransferPhase::kConverting && data->worker) {
    StopAttempt(data->attempt, false);
    WaitForSingleObject(data->worker.get(), INFINITE);
  }
  LetGoOfAttempt(data);
  DeleteCardPngs(data->frontPath, data->backPath);
}

// Shows the service's information page in the web view.
void NavigateToInfo(const UploadLinks& links) {
  if (links.webView == nullptr) return;
  char url[kUrlSize + 16];
  std::snprintf(url, sizeof url, "%s?page=info", HelpPageUrl);
  SendMessageA(links.webView, WVM_NAVIGATE, reinterpret_cast<WPARAM>(url), 0);
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

int UploadCards(const UploadLinks& links, const char* url, const char* frontPath, const char* backPath,
                char* reply, int capacity, SendObserver* observer) {
  const CardJob& Job = *links.job;
  MultipartRequest* request = MultipartOpen(AgentName, url);
  if (request == nullptr) return 0;
  const UploadCardData card{Job.title, Job.cardWidthMm, Job.cardHeightMm, Job.bleedMm, UserId,
                            UserPassword};
  AddUploadTextParts(request, card);
  AddFilePart(request, "front", kFrontPngName, frontPath);
  AddFilePart(request, "back", kBackPngName, backPath);
  const int count = MultipartSendObserved(request, reply, capacity, observer);
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
      SetDlgItemTextA(dialog, IDC_TITLE, data->links->job->title);
      SendDlgItemMessageA(dialog, IDC_UPLOAD_PROGRESS, PBM_SETRANGE32, 0, kProgressRange);
      ShowReady(dialog);
      return TRUE;
    case WM_COMMAND:
      if (data == nullptr) break;
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          if (!data->stopping) OnCancel(data);
          return TRUE;
        case IDC_SEND:
          if (data->attempt == nullptr) OnSend(data);
          return TRUE;
      }
      break;
    case WM_TIMER:
      if (data != nullptr && wParam == kWatchTimer) OnWatchTimer(data);
      return TRUE;
    case kUploadConnectingMessage:
      if (IsCurrent(data, wParam) && !data->stopping) {
        data->watch = {TransferPhase::kConnecting, GetTickCount()};
        SetDlgItemTextA(dialog, IDC_STATUS, kUploadSending);
      }
      return TRUE;
    case kUploadSendingMessage:
      if (IsCurrent(data, wParam) && !data->stopping) {
        data->watch = {TransferPhase::kSending, GetTickCount()};
        data->total = static_cast<uint32_t>(lParam);
        ShowProgress(dialog, 0, data->total);
        ShowWindow(GetDlgItem(dialog, IDC_UPLOAD_PROGRESS), SW_SHOW);
        ShowWindow(GetDlgItem(dialog, IDC_UPLOAD_SENT), SW_SHOW);
      }
      return TRUE;
    case kUploadSentMessage:
      if (IsCurrent(data, wParam) && !data->stopping) {
        data->watch.since = GetTickCount();
        ShowProgress(dialog, static_cast<uint32_t>(lParam), data->total);
      }
      return TRUE;
    case kUploadDoneMessage:
      if (IsCurrent(data, wParam)) OnUploadDone(data);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(data);
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
          if (data != nullptr) NavigateToInfo(*data->links);
          PostMessageA(GetWindow(dialog, GW_OWNER), WM_COMMAND, IDC_SITE, 0);
          EndDialog(dialog, 1);
          return TRUE;
        case IDC_GO_RET:
          if (data != nullptr) NavigateToInfo(*data->links);
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

int ShowUploadDialogs(HWND owner, const UploadLinks& links) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  UploadDialogData upload = {};
  upload.links = &links;
  const INT_PTR result = DialogBoxParamA(ResourceModule(), "UPLOADDLG", owner, UploadDialogProc,
                                         reinterpret_cast<LPARAM>(&upload));
  if (result == 1) {
    CompleteDialogData complete = {};
    complete.links = &links;
    DialogBoxParamA(ResourceModule(), "COMPLETEDLG", owner, CompleteDialogProc,
                    reinterpret_cast<LPARAM>(&complete));
  }
  return static_cast<int>(result);
}
