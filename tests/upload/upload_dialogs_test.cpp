// Tests of the upload and completion dialogs against the reference service:
// what the dialogs show, the request they send, what the service stored, the
// temporary PNG files, and that the dialog stays responsive while it works.
#include "upload/upload_dialogs.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_values.h"
#include "net/service_addresses.h"
#include "controls/bitmap_button.h"
#include "dialog_driver.h"
#include "net/account.h"
#include "net/http_client.h"
#include "image/dib_image.h"
#include "png_decoder.h"
#include "resources/resource.h"
#include "service_peer.h"
#include "upload/png_writer.h"
#include "upload/upload_progress.h"
#include "support/win_test_util.h"
#include "webview/navo.h"

namespace {

constexpr char kCompleteCaption[] = "アップロード完了";
constexpr char kNoCaption[] = "";

std::string FailureText(const std::vector<std::string>& failures) {
  std::string text;
  for (const std::string& failure : failures) text += failure + "\n";
  return text;
}

// ---- stand-ins for the main window and the web view ----

std::vector<std::string> navigations;  // URLs the web view was sent
std::vector<int> ownerCommands;        // commands the owner received

LRESULT CALLBACK WebViewStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WVM_NAVIGATE) {
    navigations.emplace_back(reinterpret_cast<const char*>(wParam));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK OwnerStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    ownerCommands.push_back(LOWORD(wParam));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* className, WNDPROC procedure, DWORD style, HWND parent, int x, int y,
                int w, int h) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, className, className, style, x, y, w, h, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// ---- card images ----

// A 24-bit card image with a pattern of gradients and flat colour.
DibImage* MakeCard(int32_t width, int32_t height, int seed) {
  DibImage* image = DibCreate(width, height, 24);
  DibLayout layout;
  DibDescribe(image, &layout);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const bool flat = (x / 64 + y / 64) % 2 == 0;
      DibSetPixel(layout.pixels, &layout, x, y, flat ? 250 : uint8_t(x + seed),
                  flat ? 240 : uint8_t(y * 3), flat ? 230 : uint8_t(x ^ y), 0);
    }
  }
  return image;
}

// The picture of an image as top-down RGB bytes.
std::vector<uint8_t> Picture(DibImage* image) {
  DibLayout layout;
  DibDescribe(image, &layout);
  std::vector<uint8_t> rgb;
  for (int32_t top = 0; top < layout.height; ++top) {
    for (int32_t x = 0; x < layout.width; ++x) {
      unsigned char b, g, r;
      DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, 24, x,
                  layout.height - 1 - top, &b, &g, &r, nullptr);
      rgb.insert(rgb.end(), {r, g, b});
    }
  }
  return rgb;
}

// ---- the request as the service received it ----

struct Part {
  std::string name;
  std::string fileName;  // empty for a text field
  std::string contentType;
  std::string value;
};

// Splits a multipart body with the program's boundary; empty when malformed.
std::vector<Part> SplitParts(const std::string& body) {
  const std::string delimiter = "---7d836b1a4d0b3c";
  std::vector<Part> parts;
  size_t at = 0;
  while (true) {
    if (body.compare(at, delimiter.size(), delimiter) != 0) return {};
    at += delimiter.size();
    if (body.compare(at, 4, "--\r\n") == 0) break;
    if (body.compare(at, 2, "\r\n") != 0) return {};
    at += 2;
    const size_t headEnd = body.find("\r\n\r\n", at);
    const size_t next = body.find("\r\n" + delimiter, headEnd);
    if (headEnd == std::string::npos || next == std::string::npos) return {};
    const std::string head = body.substr(at, headEnd - at);
    Part part;
    auto param = [&](const std::string& key) {
      const size_t p = head.find(key + "=\"");
      if (p == std::string::npos) return std::string();
      const size_t start = p + key.size() + 2;
      return head.substr(start, head.find('"', start) - start);
    };
    part.name = param("name");
    part.fileName = param("filename");
    const size_t type = head.find("Content-Type: ");
    if (type != std::string::npos) part.contentType = head.substr(type + 14);
    part.value = body.substr(headEnd + 4, next - headEnd - 4);
    parts.push_back(part);
    at = next + 2;
  }
  return parts;
}

// The newest upload folder the service stored, as a Windows path; empty when none.
std::string NewestStoredUpload() {
  const char* state = std::getenv("NORVALISK_TEST_SERVICE");
  if (state == nullptr) return "";
  std::string folder = std::string("Z:") + state + "/data/uploads";
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  std::string newest;
  if (search == INVALID_HANDLE_VALUE) return "";
  do {
    if (found.cFileName[0] != '.' && std::string(found.cFileName) > newest) newest = found.cFileName;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return newest.empty() ? "" : folder + "\\" + newest;
}

// Posts a new text limit to the title edit of `dialog` and waits until the
// edit has it: the dialog's thread has then taken every message posted to it
// before. False when the dialog went first.
bool PassMarker(HWND dialog) {
  static WPARAM mark = 30000;
  ++mark;
  HWND edit = GetDlgItem(dialog, IDC_TITLE);
  PostMessageA(edit, EM_SETLIMITTEXT, mark, 0);
  WaitFor([&] { return !IsWindow(dialog) || SendMessageA(edit, EM_GETLIMITTEXT, 0, 0) == LRESULT(mark); },
          30000);
  return IsWindow(dialog) && SendMessageA(edit, EM_GETLIMITTEXT, 0, 0) == LRESULT(mark);
}

// ---- fixture ----

// One owner and one web view stand-in for the suite; every test starts with a
// fresh program folder, the default card, a logged-in account and no cut sides.
class UploadDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    owner_ = MakeWindow("UploadTestOwner", OwnerStandIn, WS_POPUP | WS_VISIBLE, nullptr, 100, 80,
                        880, 680);
    AppWindows.main = owner_;
    AppWindows.webView = MakeWindow("UploadTestWebView", WebViewStandIn, WS_CHILD | WS_VISIBLE,
                                    owner_, 505, 470, 360, 135);
  }
  static void TearDownTestSuite() {
    AppWindows = AppWindowSet{};
    DestroyWindow(owner_);
  }

  void SetUp() override {
    if (ServicePort() == 0) GTEST_SKIP() << "NORVALISK_TEST_SERVICE is not set";
    ASSERT_NE(owner_, nullptr);
    ResetService();
    folder_ = std::make_unique<TempFolder>();
    InitCardJob(&Job, folder_->path().c_str());
    InitProgramValues((folder_->path() + "\\Norvalisk.exe").c_str(), ServiceBase().c_str());
    ASSERT_STREQ(ProgramFolder, folder_->path().c_str());
    if (account_.empty()) {
      account_ = UniqueId("up");
      char buffer[2048] = {};
      std::snprintf(buffer, sizeof buffer, "application=norvalisk&mode=regist&id=%s&pwd=card01",
                    account_.c_str());
      ASSERT_EQ(PostForm(ApiUrl, "POST", buffer, sizeof buffer), 4);
    }
    std::snprintf(UserId, sizeof UserId, "%s", account_.c_str());
    std::snprintf(UserPassword, sizeof UserPassword, "card01");
    LoggedIn = 1;
    navigations.clear();
    ownerCommands.clear();
    ResetService();
    storedBefore_ = NewestStoredUpload();
  }

  void TearDown() override {
    for (CardSide& side : Job.sides) EmptyCardSide(&side);
    if (ServicePort() != 0) ResetService();
    folder_.reset();
  }

  void Cut(int side, int32_t width = 300, int32_t height = 186) {
    Job.sides[side].image = MakeCard(width, height, side * 40);
    Job.sides[side].pageIndex = 0;
  }

  bool PngLeft() const {
    return FileExists(folder_->File("front.png")) || FileExists(folder_->File("back.png"));
  }

  int Drive(const std::function<void(DialogDriver&)>& script) {
    std::vector<std::string> failures;
    const int result = DriveModal(
        script, [] { return ShowUploadDialogs(owner_, {&Job, ProgramFolder, AppWindows.webView}); },
        &failures);
    EXPECT_TRUE(failures.empty()) << FailureText(failures);
    return result;
  }

  // Presses 送信開始 with `title` and answers the completion dialog with `button`.
  int UploadAndComplete(const std::string& title, int button) {
    return Drive([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kNoCaption, owner_);
      if (!dialog) return;
      d.SetText(dialog, IDC_TITLE, title);
      d.Command(dialog, IDC_SEND);
      HWND complete = d.WaitDialog(kCompleteCaption, owner_, 60000);
      if (!complete) return;
      d.Command(complete, button);
      d.WaitGone(complete);
    });
  }

  static HWND owner_;
  static std::string account_;
  std::unique_ptr<TempFolder> folder_;
  std::string storedBefore_;  // the newest stored upload when the test began
};

HWND UploadDialogsTest::owner_ = nullptr;
std::string UploadDialogsTest::account_;

// ---- the upload dialog ----

TEST_F(UploadDialogsTest, OpensCentredWithThePromptAndTheLastTitle) {
  std::snprintf(Job.title, sizeof Job.title, "前回の名刺");
  Cut(0);
  RECT ownerRect, rect;
  GetWindowRect(owner_, &ownerRect);
  std::string status, title;
  bool sendEnabled = false, cancelEnabled = false;
  LONG_PTR style = 0, exStyle = 0;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    style = GetWindowLongPtrA(dialog, GWL_STYLE);
    exStyle = GetWindowLongPtrA(dialog, GWL_EXSTYLE);
    status = d.Text(dialog, IDC_STATUS);
    title = d.Text(dialog, IDC_TITLE);
    sendEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) != FALSE;
    cancelEnabled = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) != FALSE;
    GetWindowRect(dialog, &rect);
    d.Command(dialog, IDCANCEL);
    d.WaitGone(dialog);
  });
  EXPECT_EQ(result, 0);
  // A plain pop-up: no caption, no border, no modal frame.
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME), 0);
  EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE), 0);
  EXPECT_EQ(status, kUploadPrompt);
  EXPECT_EQ(title, "前回の名刺");
  EXPECT_TRUE(sendEnabled);
  EXPECT_TRUE(cancelEnabled);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  EXPECT_EQ(rect.left, ownerRect.left + (ownerRect.right - ownerRect.left - w) / 2);
  EXPECT_EQ(rect.top, ownerRect.top + (ownerRect.bottom - ownerRect.top - h) / 2);
  // Cancelled before sending: nothing written, nothing sent.
  EXPECT_EQ(RecordedRequestCount(), 0);
  EXPECT_FALSE(PngLeft());
}

TEST_F(UploadDialogsTest, SuccessfulUploadSendsTenFieldsAndOpensTheCompletionDialog) {
  Cut(0, 300, 186);
  Cut(1, 186, 300);
  const int result = UploadAndComplete("営業部 名刺", IDC_GO_RET);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(Job.title, "営業部 名刺");
  EXPECT_FALSE(PngLeft());

  const RawRequest request = LastRecordedRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/admin/norvalisk/norvix_api.php");
  EXPECT_EQ(request.Header("User-Agent"), "Norvalisk");
  EXPECT_EQ(request.Header("Content-Type"), "multipart/form-data; boundary=-7d836b1a4d0b3c");
  const std::vector<Part> parts = SplitParts(request.body);
  ASSERT_EQ(parts.size(), 10u);
  const std::string texts[8][2] = {{"application", "norvalisk"}, {"mode", "upload"},
                                   {"title", "営業部 名刺"}, {"width", "91.00"},
                                   {"height", "55.00"}, {"nuritashi", "2.00"},
                                   {"id", account_}, {"pwd", "card01"}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(parts[i].name, texts[i][0]) << i;
    EXPECT_EQ(parts[i].value, texts[i][1]) << i;
    EXPECT_EQ(parts[i].fileName, "") << i;
  }
  const char* names[2] = {"front", "back"};
  for (int side = 0; side < 2; ++side) {
    const Part& part = parts[8 + side];
    EXPECT_EQ(part.name, names[side]);
    EXPECT_EQ(part.fileName, std::string(names[side]) + ".png");
    EXPECT_EQ(part.contentType, "image/png");
    const DecodedPng png = DecodePng(part.value);
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.pixels, Picture(Job.sides[side].image)) << names[side];
  }

  // The service kept both images as sent.
  const std::string stored = NewestStoredUpload();
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(ReadFileBytes(stored + "\\front.png"), parts[8].value);
  EXPECT_EQ(ReadFileBytes(stored + "\\back.png"), parts[9].value);
  const std::string fields = ReadFileBytes(stored + "\\fields.json");
  EXPECT_NE(fields.find("\"nuritashi\": \"2.00\""), std::string::npos) << fields;
}

TEST_F(UploadDialogsTest, OnlyFrontCutSendsNinePartsWithoutBack) {
  Cut(0);
  EXPECT_EQ(UploadAndComplete("", IDC_GO_RET), 1);
  const std::vector<Part> parts = SplitParts(LastRecordedRequest().body);
  ASSERT_EQ(parts.size(), 9u);
  EXPECT_EQ(parts[2].name, "title");
  EXPECT_EQ(parts[2].value, "");
  EXPECT_EQ(parts[8].name, "front");
  EXPECT_FALSE(PngLeft());
}

// ---- only what this upload converted is sent ----

// A PNG left in the program folder by an earlier run (or put there by anything
// else) is never sent as a side of this card.
TEST_F(UploadDialogsTest, StaleBackPngIsNotSentWhenOnlyTheFrontIsCut) {
  DibImage* stale = MakeCard(120, 80, 99);
  ASSERT_EQ(WriteCardPng(stale, folder_->File("back.png").c_str()), 1);
  DibFree(stale);
  Cut(0);
  EXPECT_EQ(UploadAndComplete("", IDC_GO_RET), 1);
  const std::vector<Part> parts = SplitParts(LastRecordedRequest().body);
  ASSERT_EQ(parts.size(), 9u);
  EXPECT_EQ(parts[8].name, "front");
  const DecodedPng front = DecodePng(parts[8].value);
  ASSERT_TRUE(front.ok) << front.error;
  EXPECT_EQ(front.pixels, Picture(Job.sides[0].image));
  const std::string stored = NewestStoredUpload();
  ASSERT_FALSE(stored.empty());
  EXPECT_FALSE(FileExists(stored + "\\back.png"));
  EXPECT_FALSE(PngLeft());
}

// A side that exists but cannot be converted stops the upload: nothing goes
// out (a stale front.png least of all), the user is told, and the dialog is
// ready for another try.
TEST_F(UploadDialogsTest, FrontThatCannotBeConvertedSendsNothing) {
  DibImage* stale = MakeCard(120, 80, 99);
  ASSERT_EQ(WriteCardPng(stale, folder_->File("front.png").c_str()), 1);
  DibFree(stale);
  Cut(0);
  Cut(1);
  // A 16-bit image is not a depth the PNG step takes.
  DibLayout layout;
  DibDescribe(Job.sides[0].image, &layout);
  layout.bitmapHeader[14] = 16;
  std::string message, status;
  bool enabled = false;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    d.Command(dialog, IDC_SEND);
    HWND box = d.WaitDialog(kUploadCaption, dialog, 60000);
    if (!box) return;
    message = d.BoxText(box);
    d.Command(box, IDOK);
    d.WaitGone(box);
    WaitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) != FALSE; }, 5000);
    enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) && IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
    status = d.Text(dialog, IDC_STATUS);
    d.Command(dialog, IDCANCEL);
    d.WaitGone(dialog);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(message, kUploadNotConverted);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(status, kUploadPrompt);
  EXPECT_EQ(RecordedRequestCount(), 0);
  EXPECT_EQ(NewestStoredUpload(), storedBefore_) << "nothing stored";
  EXPECT_FALSE(PngLeft());
}

TEST_F(UploadDialogsTest, LongTitleIsCutTo47Bytes) {
  Cut(0);
  const std::string sixty = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX";
  ASSERT_EQ(sixty.size(), 60u);
  EXPECT_EQ(UploadAndComplete(sixty, IDC_GO_RET), 1);
  EXPECT_EQ(std::string(Job.title), sixty.substr(0, 47));
  const std::vector<Part> parts = SplitParts(LastRecordedRequest().body);
  ASSERT_GE(parts.size(), 3u);
  EXPECT_EQ(parts[2].value, sixty.substr(0, 47));
}

// A refusal or a failed request shows the reply (empty for a failure) under
// "アップロード"; the dialog stays with its buttons enabled again and the
// status unchanged, and the PNG files are gone.
TEST_F(UploadDialogsTest, RefusedOrFailedUploadShowsTheReplyAndStays) {
  struct Case {
    const char* label;
    std::string control;
    bool closedPort;
    std::string message;
  };
  const Case cases[] = {
      {"service refusal", "set?mode=refuse&text=" + QueryEncode("表面の画像がありません。"), false,
       "表面の画像がありません。"},
      {"TRUE with a line end", "set?mode=reply&text=" + QueryEncode("TRUE\r\n"), false, "TRUE\r\n"},
      {"dropped connection", "set?mode=drop", false, ""},
      {"nothing listening", "", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Cut(0);
    Cut(1);
    ResetService();
    if (!c.control.empty()) ServiceControl(c.control);
    if (c.closedPort) {
      std::snprintf(ApiUrl, sizeof ApiUrl, "http://127.0.0.1:%d/admin/norvalisk/norvix_api.php",
                    ClosedPort());
    }
    std::string message, status;
    bool stayed = false, enabled = false, filesWhileShown = false;
    const int result = Drive([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kNoCaption, owner_);
      if (!dialog) return;
      d.Command(dialog, IDC_SEND);
      HWND box = d.WaitDialog(kUploadCaption, dialog, 60000);
      if (!box) return;
      message = d.BoxText(box);
      filesWhileShown = PngLeft();
      d.Command(box, IDOK);
      d.WaitGone(box);
      WaitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) != FALSE; }, 5000);
      stayed = IsWindow(dialog) != FALSE;
      enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) && IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
      status = d.Text(dialog, IDC_STATUS);
      d.Command(dialog, IDCANCEL);
      d.WaitGone(dialog);
    });
    std::snprintf(ApiUrl, sizeof ApiUrl, "%s/admin/norvalisk/norvix_api.php", ServiceBase().c_str());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, c.message);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(status, kUploadSending);
    EXPECT_TRUE(filesWhileShown) << "the files are deleted after the message, not before";
    EXPECT_FALSE(PngLeft());
    EXPECT_TRUE(navigations.empty());
  }
}

// The conversion and the request run while the dialog keeps pumping: while
// the service holds its reply the status shows, the dialog answers and
// repaints, 送信開始 waits and 中止 is at hand.
TEST_F(UploadDialogsTest, DialogStaysResponsiveWhileConvertingAndSending) {
  Cut(0, 2693, 1672);
  Cut(1, 2693, 1672);
  ServiceControl("set?hold=1");
  std::vector<std::string> statuses;
  bool answered = false, repainted = false, disabled = false, notHung = false, stayed = false;
  int inFlight = 0;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    d.Command(dialog, IDC_SEND);
    // Every status the dialog shows, in order, once the posted command is taken
    // (until then the prompt is still up).
    WaitFor(
        [&] {
          const std::string now = d.Text(dialog, IDC_STATUS);
          if (statuses.empty() && now == kUploadPrompt) return false;
          if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
          return now == kUploadSending;
        },
        60000);
    // The request reaches the service a moment after the status changes; the
    // service holds its reply until this script releases it.
    WaitFor([&] { return ServiceState("held") >= 1; }, 60000);
    inFlight = IsWindow(dialog) ? RecordedRequestCount() : -1;
    disabled = !IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) &&
               IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
    DWORD_PTR reply = 0;
    answered = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &reply) != 0;
    InvalidateRect(dialog, nullptr, TRUE);
    repainted = WaitFor([&] { return GetUpdateRect(dialog, nullptr, FALSE) == FALSE; }, 1000);
    notHung = IsHungAppWindow(dialog) == FALSE;
    // A second 送信開始 is not taken while the first is under way.
    d.Command(dialog, IDC_SEND);
    stayed = PassMarker(dialog) && IsWindow(dialog);
    ServiceControl("release");
    HWND complete = d.WaitDialog(kCompleteCaption, owner_, 60000);
    if (!complete) return;
    d.Command(complete, IDC_GO_RET);
    d.WaitGone(complete);
  });
  EXPECT_EQ(result, 1);
  // Converting, then sending; on a busy machine the short conversion may pass
  // between two looks, but no other text and no other order may show.
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back(), kUploadSending);
  EXPECT_LE(statuses.size(), 2u);
  if (statuses.size() == 2) {
    EXPECT_EQ(statuses.front(), kUploadConverting);
  }
  EXPECT_EQ(inFlight, 1) << "the reply had already come";
  EXPECT_TRUE(disabled);
  EXPECT_TRUE(answered);
  EXPECT_TRUE(repainted);
  EXPECT_TRUE(notHung);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(RecordedRequestCount(), 1);
  EXPECT_FALSE(PngLeft());
  const std::vector<Part> parts = SplitParts(LastRecordedRequest().body);
  ASSERT_EQ(parts.size(), 10u);
  const DecodedPng back = DecodePng(parts[9].value);
  ASSERT_TRUE(back.ok) << back.error;
  EXPECT_EQ(back.pixels, Picture(Job.sides[1].image));
}

// ---- progress, 中止 and the time limits ----

// The state of the upload dialog as the user sees it.
struct DialogLook {
  bool ready = false;  // both buttons enabled
  std::string status;
  std::string sent;  // the "<sent> / <total> KB" text, empty while hidden
  int position = -1;  // the progress bar's position, −1 while hidden
};

DialogLook Look(DialogDriver& d, HWND dialog) {
  DialogLook look;
  look.ready = IsWindowEnabled(GetDlgItem(dialog, IDC_SEND)) && IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
  look.status = d.Text(dialog, IDC_STATUS);
  HWND sent = GetDlgItem(dialog, IDC_UPLOAD_SENT);
  HWND bar = GetDlgItem(dialog, IDC_UPLOAD_PROGRESS);
  if (IsWindowVisible(sent)) look.sent = d.Text(dialog, IDC_UPLOAD_SENT);
  if (IsWindowVisible(bar)) look.position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
  return look;
}

// Saves the screen rectangle of `window` as a 24-bit BMP file, for looking at
// the dialog as a user sees it (when NORVALISK_UPLOAD_SHOT names the file).
void SaveShot(HWND window) {
  const char* path = std::getenv("NORVALISK_UPLOAD_SHOT");
  if (path == nullptr) return;
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (w * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(stride) * h, '\0');
  GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfSize = static_cast<DWORD>(14 + 40 + pixels.size());
  file.bfOffBits = 54;
  std::string bytes(reinterpret_cast<const char*>(&file), 14);
  bytes.append(reinterpret_cast<const char*>(&info), 40);
  bytes += pixels;
  WriteFileBytes(path, bytes);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// A card side of noise: its PNG is as large as the pixels, more than the
// sockets between the program and the service can hold, so the body is still
// going out while the service stalls.
DibImage* MakeNoiseCard(int32_t width, int32_t height, uint32_t seed) {
  DibImage* image = DibCreate(width, height, 24);
  DibLayout layout;
  DibDescribe(image, &layout);
  uint32_t state = seed * 2654435761u + 1;
  for (int32_t y = 0; y < height; ++y) {
    unsigned char* row = layout.pixels + static_cast<size_t>(y) * layout.stride;
    for (int32_t i = 0; i < width * 3; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      row[i] = static_cast<unsigned char>(state >> 24);
    }
  }
  return image;
}

// While the service reads the body only as far as the test feeds it, the
// dialog shows the kilobytes sent and the bar moving on; at the end the whole
// card arrives as it would in one go.
TEST_F(UploadDialogsTest, ProgressShowsWhileTheServiceReadsSlowly) {
  Job.sides[0].image = MakeNoiseCard(2693, 1672, 7);
  Job.sides[0].pageIndex = 0;
  Cut(1);
  ServiceControl("set?stall=1&hold=1");
  std::vector<DialogLook> looks;  // every different look while sending
  std::string statusWhileSending;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    auto watch = [&] {
      const DialogLook now = Look(d, dialog);
      if (!now.sent.empty() && (looks.empty() || looks.back().sent != now.sent)) looks.push_back(now);
      return now;
    };
    d.Command(dialog, IDC_SEND);
    if (!WaitFor([&] { return !watch().sent.empty(); }, 120000)) return d.Fail("no progress shown");
    statusWhileSending = d.Text(dialog, IDC_STATUS);
    // The sockets take in what they hold; then each piece the service reads
    // lets the program send more.
    for (int feed = 0; feed < 40 && looks.size() < 4; ++feed) {
      const std::string before = watch().sent;
      ServiceControl("feed?bytes=262144");
      WaitFor([&] { return watch().sent != before; }, 20000);
    }
    SaveShot(dialog);
    ServiceControl("release");
    HWND complete = d.WaitDialog(kCompleteCaption, owner_, 120000);
    if (!complete) return;
    d.Command(complete, IDC_GO_RET);
    d.WaitGone(complete);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(statusWhileSending, kUploadSending);
  ASSERT_GE(looks.size(), 4u);
  // Three or more values before the end, each further on than the one before.
  const std::string& first = looks.front().sent;
  const std::string total = first.substr(first.find(" / ") + 3);
  for (size_t i = 0; i < looks.size(); ++i) {
    const std::string& text = looks[i].sent;
    SCOPED_TRACE(text);
    ASSERT_NE(text.find(" / "), std::string::npos);
    EXPECT_EQ(text.substr(text.find(" / ") + 3), total);
    EXPECT_NE(text.substr(0, text.find(" / ")) + " KB", total) << "the end came before the release";
    EXPECT_FALSE(looks[i].ready);
    EXPECT_GE(looks[i].position, 0);
    EXPECT_LT(looks[i].position, 1000);
    if (i > 0) {
      EXPECT_GE(looks[i].position, looks[i - 1].position);
    }
  }
  EXPECT_FALSE(PngLeft());
  const std::vector<Part> parts = SplitParts(LastRecordedRequest().body);
  ASSERT_EQ(parts.size(), 10u);
  const DecodedPng front = DecodePng(parts[8].value);
  ASSERT_TRUE(front.ok) << front.error;
  EXPECT_EQ(front.pixels, Picture(Job.sides[0].image));
}

// 中止 and Esc during a send the service has stalled: the dialog is ready
// again at once with the stopped status, nothing is reported as sent, no PNG
// file is left, and the service never gets a whole request to keep: once it
// reads on, the connection ends before the body is whole.
TEST_F(UploadDialogsTest, StopDuringAStalledSendLeavesNothing) {
  struct Case {
    const char* label;
    bool escapeKey;
  };
  for (const Case& c : {Case{"中止", false}, Case{"Esc", true}}) {
    SCOPED_TRACE(c.label);
    ResetService();
    for (CardSide& side : Job.sides) EmptyCardSide(&side);
    Job.sides[0].image = MakeNoiseCard(2693, 1672, 11);
    Job.sides[0].pageIndex = 0;
    Cut(1);
    ServiceControl("set?stall=1");
    bool readyInTime = false, alone = false, filesWhileSending = false;
    DialogLook after;
    const int result = Drive([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kNoCaption, owner_);
      if (!dialog) return;
      d.Command(dialog, IDC_SEND);
      // Stalled with the body still going out: the service has the header,
      // the dialog shows the progress.
      if (!WaitFor([&] { return ServiceState("stalled") >= 1 && !Look(d, dialog).sent.empty(); }, 120000)) {
        return d.Fail("the send never stalled");
      }
      filesWhileSending = PngLeft();
      if (c.escapeKey) {
        PostMessageA(GetDlgItem(dialog, IDC_TITLE), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      } else {
        d.Command(dialog, IDCANCEL);
      }
      readyInTime = WaitFor([&] { return Look(d, dialog).ready; }, 1000);
      after = Look(d, dialog);
      alone = d.OpenDialogs().size() == 1;
      // The service is let go; whatever it reads of the body then is not whole.
      ServiceControl("release");
      if (!WaitFor([] { return ServiceState("aborted") >= 1; }, 120000)) d.Fail("the request never ended");
      d.Command(dialog, IDCANCEL);
      d.WaitGone(dialog);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(filesWhileSending);
    EXPECT_TRUE(readyInTime) << "not ready within 1 s";
    EXPECT_EQ(after.status, kUploadStopped);
    EXPECT_EQ(after.sent, "");
    EXPECT_TRUE(alone) << "a message or the completion dialog showed";
    EXPECT_FALSE(PngLeft());
    EXPECT_EQ(ServiceState("answered"), 0);
    EXPECT_EQ(RecordedRequestCount(), 0);
    EXPECT_EQ(NewestStoredUpload(), storedBefore_) << "nothing stored";
  }
}

// 中止 pressed while the sides are being converted stops the conversion: no
// request is sent and no file is left.
TEST_F(UploadDialogsTest, StopDuringConversionSendsNothing) {
  Job.sides[0].image = MakeNoiseCard(2693, 1672, 21);
  Job.sides[0].pageIndex = 0;
  Job.sides[1].image = MakeNoiseCard(2693, 1672, 22);
  Job.sides[1].pageIndex = 0;
  std::vector<std::string> statuses;
  DialogLook after;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    // Both taken in order by the dialog: 中止 meets the conversion just begun.
    d.Command(dialog, IDC_SEND);
    d.Command(dialog, IDCANCEL);
    WaitFor(
        [&] {
          const DialogLook now = Look(d, dialog);
          if (statuses.empty() || statuses.back() != now.status) statuses.push_back(now.status);
          return now.ready && now.status == kUploadStopped;
        },
        120000);
    after = Look(d, dialog);
    d.Command(dialog, IDCANCEL);
    d.WaitGone(dialog);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(after.ready);
  EXPECT_EQ(after.status, kUploadStopped);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), std::string(kUploadSending)), 0);
  EXPECT_EQ(ServiceState("started"), 0);
  EXPECT_EQ(RecordedRequestCount(), 0);
  EXPECT_FALSE(PngLeft());
}

// A service that stops reading: the no-progress limit (shortened here through
// the hidden setting) ends the send with a message, and the dialog is ready.
TEST_F(UploadDialogsTest, NoProgressLimitEndsAStall) {
  Job.sides[0].image = MakeNoiseCard(2693, 1672, 31);
  Job.sides[0].pageIndex = 0;
  ServiceControl("set?stall=1");
  SetEnvironmentVariableA(kUploadLimitsVariable, "15000,1500");
  std::string message;
  DialogLook after;
  const int result = Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    d.Command(dialog, IDC_SEND);
    HWND box = d.WaitDialog(kUploadCaption, dialog, 120000);
    if (!box) return;
    message = d.BoxText(box);
    d.Command(box, IDOK);
    d.WaitGone(box);
    after = Look(d, dialog);
    ServiceControl("release");
    if (!WaitFor([] { return ServiceState("aborted") >= 1; }, 120000)) d.Fail("the request never ended");
    d.Command(dialog, IDCANCEL);
    d.WaitGone(dialog);
  });
  SetEnvironmentVariableA(kUploadLimitsVariable, nullptr);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(message, kUploadNoResponse);
  EXPECT_TRUE(after.ready);
  EXPECT_EQ(after.status, kUploadTimedOut);
  EXPECT_FALSE(PngLeft());
  EXPECT_EQ(ServiceState("answered"), 0);
  EXPECT_EQ(NewestStoredUpload(), storedBefore_) << "nothing stored";
}

// ---- the completion dialog ----

TEST_F(UploadDialogsTest, CompletionDialogHasTwoBitmapButtonsAndCentres) {
  Cut(0);
  std::vector<std::pair<int, POINT>> buttons;
  RECT ownerRect, rect = {};
  GetWindowRect(owner_, &ownerRect);
  Drive([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kNoCaption, owner_);
    if (!dialog) return;
    d.Command(dialog, IDC_SEND);
    HWND complete = d.WaitDialog(kCompleteCaption, owner_, 60000);
    if (!complete) return;
    GetWindowRect(complete, &rect);
    for (HWND child = GetWindow(complete, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char className[64] = "";
      GetClassNameA(child, className, sizeof className);
      if (std::strcmp(className, kBitmapButtonClass) != 0) continue;
      RECT r;
      GetWindowRect(child, &r);
      POINT place = {r.left, r.top};
      ScreenToClient(complete, &place);
      buttons.push_back({GetDlgCtrlID(child), place});
    }
    d.Command(complete, IDCANCEL);
    d.WaitGone(complete);
  });
  ASSERT_EQ(buttons.size(), 2u);
  std::sort(buttons.begin(), buttons.end(), [](auto& a, auto& b) { return a.first < b.first; });
  EXPECT_EQ(buttons[0].first, IDC_GO_MYPAGE);
  EXPECT_EQ(buttons[0].second.x, 220);
  EXPECT_EQ(buttons[0].second.y, 75);
  EXPECT_EQ(buttons[1].first, IDC_GO_RET);
  EXPECT_EQ(buttons[1].second.x, 50);
  EXPECT_EQ(buttons[1].second.y, 75);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  EXPECT_EQ(rect.left, ownerRect.left + (ownerRect.right - ownerRect.left - w) / 2);
  EXPECT_EQ(rect.top, ownerRect.top + (ownerRect.bottom - ownerRect.top - h) / 2);
  EXPECT_TRUE(navigations.empty()) << "closing navigates nowhere";
}

TEST_F(UploadDialogsTest, CompletionButtonsNavigateAndMyPageRunsTheSiteCommand) {
  struct Case {
    const char* label;
    int button;
    bool siteCommand;
  };
  const Case cases[] = {{"注文画面へ", IDC_GO_MYPAGE, true}, {"続ける", IDC_GO_RET, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Cut(0);
    navigations.clear();
    ownerCommands.clear();
    EXPECT_EQ(UploadAndComplete("x", c.button), 1);
    PumpMessages();
    ASSERT_EQ(navigations.size(), 1u);
    EXPECT_EQ(navigations[0], ServiceBase() + "/admin/norvalisk/help_page.php?page=info");
    if (c.siteCommand) {
      EXPECT_EQ(ownerCommands, std::vector<int>{IDC_SITE});
    } else {
      EXPECT_TRUE(ownerCommands.empty());
    }
    for (CardSide& side : Job.sides) EmptyCardSide(&side);
  }
}

}  // namespace
