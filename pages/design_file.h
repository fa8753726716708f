// Opening a design file as the next page: the file is decoded with the
// platform's imaging component, placed on an A4 page at 720 dpi, and written
// into the page folder as the printer driver writes its pages, so that the
// page selector counts it and the editor loads it like a printed page.
#pragma once

#include <windows.h>

#include "pages/design_import.h"

enum DesignImportStatus : int {
  DesignImported = 0,
  DesignUnreadable,    // missing, damaged or not an image
  DesignUnsupported,   // an image, but not PNG, JPEG, TIFF, BMP or GIF
  DesignTooLarge,      // larger than the page at its size
  DesignPagesFull,     // page files 1 to 5 all exist
  DesignWriteFailed,   // the page file could not be written
  DesignNoMemory,
};

// What an import did.
struct DesignImportResult {
  int pageIndex;               // index (0 to 4) of the page written
  DesignPlacement placement;   // where the design landed
  double widthMm;              // the design's size at its resolution (for messages)
  double heightMm;
};

// Decodes `path` (system code page) and writes it as the next free page file
// "%s%d.bmp" of `pagePrefix` (the first n of 1 to 5 whose file is missing):
// written whole under a temporary name, renamed, and its first bytes written
// again so that a folder watcher sees a complete file. Nothing is written
// unless the result is DesignImported.
DesignImportStatus ImportDesignFile(const char* path, const char* pagePrefix,
                                    DesignImportResult* result);

// Size and last write time of page file `pageIndex` + 1 of `prefix`; false
// when it cannot be read.
bool PageFileStamp(const char* prefix, int pageIndex, uint64_t* size, uint64_t* time);

// The Japanese message shown for a failed import, with the file's name.
void DesignImportMessage(DesignImportStatus status, const char* path,
                         const DesignImportResult& result, char* out, size_t outSize);

// Caption of the import's message boxes.
inline constexpr char kDesignOpenCaption[] = "デザインを開く";
