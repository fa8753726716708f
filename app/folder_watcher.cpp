// The page-folder watcher. The thread waits on the change notification and on
// a stop event side by side; a stop sets the event and waits for the thread
// to end before closing the handles, so no post can follow the stop.
#include "app/folder_watcher.h"

#include "base/scoped_handle.h"

namespace {

// The one watcher of the program. Filled before the thread starts; the
// thread only reads it.
struct WatcherRecord {
  ScopedChangeNotification notification;  // empty when closed
  ScopedKernelHandle stopEvent;             // set to end the thread, empty when closed
  ScopedKernelHandle thread;                // empty when not running
  HWND window;
  WORD command;
};

WatcherRecord g_watcher;

DWORD WINAPI WatchThread(void* parameter) {
  const WatcherRecord* record = static_cast<const WatcherRecord*>(parameter);
  const HANDLE waits[2] = {record->stopEvent.get(), record->notification.get()};
  for (;;) {
    // The stop event comes first, so a stop wins over a pending change.
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
      return 0;
    }
    PostMessageA(record->window, WM_COMMAND, record->command, 0);
    // A notification that cannot be re-armed would stay signalled and post
    // without end: the thread ends instead.
    if (!FindNextChangeNotification(record->notification.get())) {
      return 0;
    }
  }
}

void CloseWatcherHandles() {
  g_watcher.notification.reset();
  g_watcher.stopEvent.reset();
}

int StopWatcher() {
  if (g_watcher.thread) {
    SetEvent(g_watcher.stopEvent.get());
    WaitForSingleObject(g_watcher.thread.get(), INFINITE);
    g_watcher.thread.reset();
  }
  CloseWatcherHandles();
  return 1;
}

int StartWatcher(const char* path, HWND window, int command) {
  if (g_watcher.thread || g_watcher.notification) {
    return 0;  // one watcher at a time; the running one is left alone
  }
  HANDLE notification =
      FindFirstChangeNotificationA(path, TRUE, FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (notification == INVALID_HANDLE_VALUE || notification == nullptr) {
    return 0;
  }
  g_watcher.notification.reset(notification);
  g_watcher.stopEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  g_watcher.window = window;
  g_watcher.command = LOWORD(command);
  if (!g_watcher.stopEvent) {
    return 0;  // the notification stays open until the stop
  }
  g_watcher.thread.reset(CreateThread(nullptr, 0, WatchThread, &g_watcher, 0, nullptr));
  return g_watcher.thread ? 1 : 0;
}

}  // namespace

int WatchFolder(const char* path, HWND window, int command) {
  return command == 0 ? StopWatcher() : StartWatcher(path, window, command);
}
