// The printer-driver link through the print spooler's per-printer data.
#include "app/printer_link.h"

#include <cstring>

#include "app/main_window.h"
#include "app/printer_data.h"
#include "app/program_values.h"

namespace {

int WINAPI SystemMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}

// Reads `value` under the driver's key and, when it is missing or too short,
// stores `ownText` in its place. Returns true when a value was written.
bool RenewValue(const SpoolerCalls& calls, HANDLE printer, const char* value, size_t minLength,
                const char* ownText) {
  unsigned char stored[kPrinterValueBufferSize] = {};
  DWORD type = 0;
  DWORD needed = 0;
  const bool readOk = calls.getPrinterDataEx(printer, kDriverDataKey, value, &type, stored,
                                             sizeof stored, &needed) == ERROR_SUCCESS;
  const uint32_t size = needed < sizeof stored ? needed : sizeof stored;
  if (!ShouldWritePrinterValue(readOk, stored, size, minLength, ownText)) {
    return false;
  }
  // The driver reads the text without a terminating NUL; a failing write is
  // not reported.
  calls.setPrinterDataEx(printer, kDriverDataKey, value, REG_SZ,
                         reinterpret_cast<LPBYTE>(const_cast<char*>(ownText)),
                         static_cast<DWORD>(std::strlen(ownText)));
  return true;
}

}  // namespace

const SpoolerCalls& RealSpoolerCalls() {
  static const SpoolerCalls calls = {OpenPrinterA, GetPrinterDataExA, SetPrinterDataExA,
                                     ClosePrinter, SystemMessageBox};
  return calls;
}

void LinkPrinterDriverWith(const SpoolerCalls& calls, const char* exePath,
                           const char* programFolder) {
  char name[sizeof kDriverPrinterName];
  std::memcpy(name, kDriverPrinterName, sizeof name);
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!calls.openPrinter(name, &printer, &defaults)) {
    return;  // no such printer, or no right to change it: the link is skipped
  }
  bool written = RenewValue(calls, printer, kAppPathValue, kMinAppPathLength, exePath);
  written |= RenewValue(calls, printer, kAppFolderValue, kMinAppFolderLength, programFolder);
  calls.closePrinter(printer);
  if (written) {
    calls.messageBox(nullptr, "プリンタドライパ連携を初期化しました。", kMainWindowTitle,
                     MB_ICONINFORMATION | MB_OK);
  }
}

void LinkPrinterDriver() {
  // A driver told an empty folder would print to the drive's root.
  if (ProgramFolder[0] == '\0') return;
  LinkPrinterDriverWith(RealSpoolerCalls(), ExePath, ProgramFolder);
}
