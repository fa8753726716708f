// The link to the virtual printer's driver: at start-up the program stores its
// own path and folder in the per-printer data of the printer "Norvalisk",
// where the driver looks them up.
#pragma once

#include <windows.h>

#include <winspool.h>

// The spooler and message-box calls the link makes. The program uses the
// system's own (RealSpoolerCalls); tests stand in a spooler of their own.
struct SpoolerCalls {
  BOOL(WINAPI* openPrinter)(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
  DWORD(WINAPI* getPrinterDataEx)(HANDLE printer, LPCSTR key, LPCSTR value, LPDWORD type,
                                  LPBYTE data, DWORD size, LPDWORD needed);
  DWORD(WINAPI* setPrinterDataEx)(HANDLE printer, LPCSTR key, LPCSTR value, DWORD type,
                                  LPBYTE data, DWORD size);
  BOOL(WINAPI* closePrinter)(HANDLE printer);
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
};

// The print spooler's functions and the system message box.
const SpoolerCalls& RealSpoolerCalls();

// Opens the printer "Norvalisk" with full access; when it has no APP_PATH of
// 12 or more characters or no APP_FOLDER of 2 or more under NORVALISK_APP,
// writes `exePath` or `programFolder` there and shows one information box.
// Does nothing at all when the printer cannot be opened.
void LinkPrinterDriverWith(const SpoolerCalls& calls, const char* exePath,
                           const char* programFolder);

// The start-up step: LinkPrinterDriverWith the real spooler, ExePath and ProgramFolder;
// skipped when the program folder is not known.
void LinkPrinterDriver();
