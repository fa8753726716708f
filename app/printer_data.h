// What the program leaves in the per-printer data of the virtual printer so
// that its driver finds the program, and when a stored value is renewed.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char kDriverPrinterName[] = "Norvalisk";
inline constexpr char kDriverDataKey[] = "NORVALISK_APP";
inline constexpr char kAppPathValue[] = "APP_PATH";
inline constexpr char kAppFolderValue[] = "APP_FOLDER";

// Size of the buffer a stored value is read back into; a longer value cannot
// be read and counts as missing.
inline constexpr uint32_t kPrinterValueBufferSize = 512;

// Shortest stored texts that are kept as they are.
inline constexpr size_t kMinAppPathLength = 12;
inline constexpr size_t kMinAppFolderLength = 2;

// Length of the text in a value read back: the bytes before the first NUL of
// the `size` bytes read (the program stores its texts without a NUL).
size_t PrinterValueTextLength(const unsigned char* data, uint32_t size);

// True when a value is to be written: the read failed or its text is shorter
// than `minLength`, and the program has a non-empty text of its own to store.
// A stored text that is long enough is kept even when it names another path.
bool ShouldWritePrinterValue(bool readOk, const unsigned char* data, uint32_t size,
                             size_t minLength, const char* ownText);
