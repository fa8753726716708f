// The end of the upload road: the upload dialog (UPLOADDLG), where the user
// names the card and starts the transfer, the request that carries the card
// data and both PNG images to the service, and the completion dialog
// (COMPLETEDLG) with the way on to the service's order pages.
#pragma once

#include <windows.h>

struct CardJob;

// What the upload road is handed by the window that starts it.
struct UploadLinks {
  CardJob* job;               // title is written here; sides and card settings are sent
  const char* programFolder;  // where front.png and back.png are written
  HWND webView;               // shown the information page after an upload (may be null)
};
struct SendObserver;

// Status texts of the upload dialog.
inline constexpr char kUploadPrompt[] = "名称を入力して送信開始してください。";
inline constexpr char kUploadConverting[] = "画像ファイル変換中...";
inline constexpr char kUploadSending[] = "アップロード中...";
// Caption of the message that shows a refused upload.
inline constexpr char kUploadCaption[] = "アップロード";
// Status texts of a send that was stopped: while the side being written is
// finished, once stopped, and after a time limit ended it.
inline constexpr char kUploadStopping[] = "中止しています...";
inline constexpr char kUploadStopped[] = "アップロードを中止しました。";
inline constexpr char kUploadTimedOut[] = "送信を打ち切りました。";
// Messages of the time limits.
inline constexpr char kUploadNoConnection[] =
    "サービスに接続できませんでした。\n"
    "ネットワークの接続を確かめて、もう一度お試しください。";
inline constexpr char kUploadNoResponse[] =
    "サービスからの応答がないため、送信を打ち切りました。\n"
    "しばらくしてから、もう一度お試しください。";
// Shown when a cut side could not be written as a PNG file; nothing is sent then.
inline constexpr char kUploadNotConverted[] =
    "画像ファイルを作成できなかったため、送信しませんでした。\n"
    "空き容量や書き込みの権限を確かめて、もう一度お試しください。";

// Shows UPLOADDLG modally, owned by `owner`; when it ends with 1 (the service
// took the card) shows COMPLETEDLG with the same owner. Returns the upload
// dialog's result.
int ShowUploadDialogs(HWND owner, const UploadLinks& links);

// Sends the multipart upload to `url`: the eight text fields of the job and
// the account, then the PNG files at `frontPath` and `backPath` (those written
// by this upload; null or empty for a side that is not sent) when they can be
// read. Stores the reply in `reply` (capacity bytes, not terminated) and
// returns its length; 0 when the request could not be opened or sent. The body
// goes out in pieces, reported to `observer` (may be null).
int UploadCards(const UploadLinks& links, const char* url, const char* frontPath, const char* backPath,
                char* reply, int capacity, SendObserver* observer = nullptr);

// Dialog procedures of the two templates. The upload dialog converts and sends
// on a worker thread while its own message loop keeps it painted and
// responsive; it shows the progress of the body, and 中止, Esc and close stop a
// send at any moment. A send that stops making progress is ended by the time
// limits (kDefaultUploadLimits, shortened for tests by kUploadLimitsVariable).
INT_PTR CALLBACK UploadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CompleteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
