// Byte buffers over the global-memory allocator (a sized heap block elsewhere).
#include "base/byte_buffer.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

static void* AllocZeroed(size_t size) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }
static void Release(void* block) { GlobalFree(block); }
static size_t AllocatedSize(const void* block) { return GlobalSize(const_cast<void*>(block)); }
static void ReportNullFree() {
  MessageBoxA(nullptr, "NULL pointer error.", "Memory free", MB_OK);
}

#else
#include <cstdio>
#include <cstdlib>

// Off Windows a block is preceded by its size, so that it can report it like GlobalSize.
static constexpr size_t kHeader = alignof(std::max_align_t);

static void* AllocZeroed(size_t size) {
  if (size > static_cast<size_t>(-1) - kHeader) return nullptr;
  unsigned char* raw = static_cast<unsigned char*>(std::calloc(1, kHeader + size));
  if (raw == nullptr) return nullptr;
  std::memcpy(raw, &size, sizeof size);
  return raw + kHeader;
}
static void Release(void* block) { std::free(static_cast<unsigned char*>(block) - kHeader); }
static size_t AllocatedSize(const void* block) {
  size_t size;
  std::memcpy(&size, static_cast<const unsigned char*>(block) - kHeader, sizeof size);
  return size;
}
static void ReportNullFree() { std::fputs("Memory free: NULL pointer error.\n", stderr); }
#endif

ByteBuffer BufferAlloc(size_t size) { return static_cast<ByteBuffer>(AllocZeroed(size)); }

ByteBuffer BufferResize(ByteBuffer block, size_t size) {
  ByteBuffer grown = BufferAlloc(size);
  if (grown == nullptr) return nullptr;
  if (block != nullptr) {
    const size_t old = AllocatedSize(block);
    std::memcpy(grown, block, old < size ? old : size);
    Release(block);
  }
  return grown;
}

void BufferFree(void* block) {
  if (block == nullptr) {
    ReportNullFree();
    return;
  }
  Release(block);
}

size_t BufferSize(const void* block) { return block == nullptr ? 0 : AllocatedSize(block); }
