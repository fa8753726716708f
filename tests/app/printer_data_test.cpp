// Tests of the printer-driver link's decisions: the length of a stored text
// and when a stored value is renewed.
#include "app/printer_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// ---- PrinterValueTextLength -------------------------------------------------------

TEST(PrinterValueTextLength, StopsAtTheFirstNulOrAtTheBytesRead) {
  const struct {
    const char* label;
    std::string bytes;
    uint32_t size;
    size_t length;
  } cases[] = {
      {"stored without NUL", "C:\\Norvalisk", 12, 12},
      {"stored with NUL", std::string("C:\\x\0", 5), 5, 4},
      {"NUL inside", std::string("ab\0cdefghijklmn", 15), 15, 2},
      {"nothing read", "", 0, 0},
      {"fewer bytes read than held", "C:\\Norvalisk", 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrinterValueTextLength(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.size),
              c.length)
        << c.label;
  }
  EXPECT_EQ(PrinterValueTextLength(nullptr, 5), 0u);
}

TEST(PrinterValueTextLength, FullBufferWithoutNulReadsNoFurther) {
  // Exactly the buffer's size on the heap: a read past it trips the sanitizer.
  auto full = std::make_unique<unsigned char[]>(kPrinterValueBufferSize);
  std::memset(full.get(), 'a', kPrinterValueBufferSize);
  EXPECT_EQ(PrinterValueTextLength(full.get(), kPrinterValueBufferSize), kPrinterValueBufferSize);
}

// ---- ShouldWritePrinterValue -------------------------------------------------------

TEST(ShouldWritePrinterValue, RenewsMissingAndShortValuesOnly) {
  const std::string path11 = "C:\\Norvali\\";  // 11 characters
  const std::string path12 = "D:\\elsewhere";  // 12 characters, not the program's own
  const struct {
    const char* label;
    bool readOk;
    std::string stored;
    size_t minLength;
    bool write;
  } cases[] = {
      {"read failed", false, "", kMinAppPathLength, true},
      {"read failed, stale bytes", false, path12, kMinAppPathLength, true},
      {"path of 11", true, path11, kMinAppPathLength, true},
      {"path of 12 kept", true, path12, kMinAppPathLength, false},
      {"path empty", true, "", kMinAppPathLength, true},
      {"folder C: kept", true, "C:", kMinAppFolderLength, false},
      {"folder of 1", true, "C", kMinAppFolderLength, true},
      {"folder of 3 kept", true, "C:\\", kMinAppFolderLength, false},
      {"NUL shortens the text", true, std::string("C\0:\\folder", 10), kMinAppFolderLength, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShouldWritePrinterValue(c.readOk,
                                      reinterpret_cast<const unsigned char*>(c.stored.data()),
                                      static_cast<uint32_t>(c.stored.size()), c.minLength,
                                      "C:\\Program Files\\Norvalisk\\Norvalisk.exe"),
              c.write)
        << c.label;
  }
}

TEST(ShouldWritePrinterValue, NeverStoresAnEmptyText) {
  for (const char* own : {"", static_cast<const char*>(nullptr)}) {
    EXPECT_FALSE(ShouldWritePrinterValue(false, nullptr, 0, kMinAppPathLength, own));
  }
}

}  // namespace
