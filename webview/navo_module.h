// The library module record of navo.dll: its instance handle, its three locks,
// the lock count of its live objects, the termination callbacks run at detach
// and the hand-over list through which a new hidden window finds its object.
#pragma once

#include <windows.h>

// One termination callback; the list runs newest first at detach.
struct NavoTermEntry {
  void (*callback)(void* data);
  void* data;
  NavoTermEntry* next;
};

// An object waiting for its window's first message on the creating thread.
struct NavoHandOver {
  void* object;
  DWORD threadId;
  NavoHandOver* next;
};

struct NavoModule {
  HINSTANCE instance;
  CRITICAL_SECTION typeInfoLock;      // lazily loaded type information
  CRITICAL_SECTION windowCreateLock;  // class registration and the hand-over list
  CRITICAL_SECTION classTableLock;    // the (empty) object-class table
  LONG lockCount;                     // live host objects; nothing reads it
  NavoTermEntry* termFuncs;
  NavoHandOver* handOver;
  bool ready;
};

extern NavoModule NavoLibrary;

// Process attach: records the instance and sets up the locks; returns TRUE.
BOOL NavoModuleAttach(HINSTANCE instance);
// Process detach: deletes the locks, then runs the termination callbacks.
void NavoModuleDetach();

void NavoModuleLock();
void NavoModuleUnlock();

// Registers `callback(data)` to run when the library is detached.
bool NavoAddTermFunc(void (*callback)(void* data), void* data);

// Puts `object` on the hand-over list for the calling thread (takes the lock).
bool NavoPushHandOver(void* object);
// Takes the first object of the calling thread off the list, or null.
void* NavoTakeHandOver();

// Holds the window-creation lock for one scope.
class WindowCreateLock {
 public:
  WindowCreateLock() { EnterCriticalSection(&NavoLibrary.windowCreateLock); }
  ~WindowCreateLock() { LeaveCriticalSection(&NavoLibrary.windowCreateLock); }
  WindowCreateLock(const WindowCreateLock&) = delete;
  WindowCreateLock& operator=(const WindowCreateLock&) = delete;
};
