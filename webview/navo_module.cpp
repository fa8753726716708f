// The library module record and the entry point of navo.dll.
#include "webview/navo_module.h"

NavoModule NavoLibrary;

BOOL NavoModuleAttach(HINSTANCE instance) {
  NavoLibrary.instance = instance;
  InitializeCriticalSection(&NavoLibrary.typeInfoLock);
  InitializeCriticalSection(&NavoLibrary.windowCreateLock);
  InitializeCriticalSection(&NavoLibrary.classTableLock);
  NavoLibrary.lockCount = 0;
  NavoLibrary.termFuncs = nullptr;
  NavoLibrary.handOver = nullptr;
  NavoLibrary.ready = true;
  return TRUE;
}

void NavoModuleDetach() {
  if (!NavoLibrary.ready) {
    return;
  }
  // The object-class table is empty: the library registers no classes, so
  // walking it is taking its lock once.
  EnterCriticalSection(&NavoLibrary.classTableLock);
  LeaveCriticalSection(&NavoLibrary.classTableLock);
  DeleteCriticalSection(&NavoLibrary.typeInfoLock);
  DeleteCriticalSection(&NavoLibrary.windowCreateLock);
  DeleteCriticalSection(&NavoLibrary.classTableLock);
  while (NavoTermEntry* entry = NavoLibrary.termFuncs) {
    NavoLibrary.termFuncs = entry->next;
    entry->callback(entry->data);
    HeapFree(GetProcessHeap(), 0, entry);
  }
  // Hand-over entries only outlive their window when its creation failed.
  while (NavoHandOver* entry = NavoLibrary.handOver) {
    NavoLibrary.handOver = entry->next;
    HeapFree(GetProcessHeap(), 0, entry);
  }
  NavoLibrary.ready = false;
}

void NavoModuleLock() { InterlockedIncrement(&NavoLibrary.lockCount); }
void NavoModuleUnlock() { InterlockedDecrement(&NavoLibrary.lockCount); }

bool NavoAddTermFunc(void (*callback)(void* data), void* data) {
  auto* entry = static_cast<NavoTermEntry*>(HeapAlloc(GetProcessHeap(), 0, sizeof(NavoTermEntry)));
  if (entry == nullptr) {
    return false;
  }
  entry->callback = callback;
  entry->data = data;
  WindowCreateLock lock;
  entry->next = NavoLibrary.termFuncs;
  NavoLibrary.termFuncs = entry;
  return true;
}

bool NavoPushHandOver(void* object) {
  auto* entry = static_cast<NavoHandOver*>(HeapAlloc(GetProcessHeap(), 0, sizeof(NavoHandOver)));
  if (entry == nullptr) {
    return false;
  }
  entry->object = object;
  entry->threadId = GetCurrentThreadId();
  WindowCreateLock lock;
  entry->next = NavoLibrary.handOver;
  NavoLibrary.handOver = entry;
  return true;
}

void* NavoTakeHandOver() {
  const DWORD thread = GetCurrentThreadId();
  WindowCreateLock lock;
  for (NavoHandOver** link = &NavoLibrary.handOver; *link != nullptr; link = &(*link)->next) {
    NavoHandOver* entry = *link;
    if (entry->threadId == thread) {
      *link = entry->next;
      void* object = entry->object;
      HeapFree(GetProcessHeap(), 0, entry);
      return object;
    }
  }
  return nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return NavoModuleAttach(instance);
    case DLL_PROCESS_DETACH:
      NavoModuleDetach();
      return TRUE;
    default:
      return TRUE;
  }
}
