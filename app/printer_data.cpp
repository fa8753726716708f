// Decisions of the printer-driver link.
#include "app/printer_data.h"

#include <cstring>

size_t PrinterValueTextLength(const unsigned char* data, uint32_t size) {
  if (!data) {
    return 0;
  }
  const void* nul = std::memchr(data, '\0', size);
  return nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - data) : size;
}

bool ShouldWritePrinterValue(bool readOk, const unsigned char* data, uint32_t size,
                             size_t minLength, const char* ownText) {
  if (!ownText || ownText[0] == '\0') {
    return false;
  }
  return !readOk || PrinterValueTextLength(data, size) < minLength;
}
