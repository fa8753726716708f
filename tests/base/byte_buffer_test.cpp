// Tests of the byte buffers: zero filling, and what a resize keeps.
#include "base/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool AllZero(const unsigned char* bytes, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// ---- BufferAlloc ----

TEST(ByteBufferTest, AllocIsZeroFilledAndAtLeastTheSizeAsked) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{17}, size_t{4096}}) {
    SCOPED_TRACE(size);
    ByteBuffer block = BufferAlloc(size);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(BufferSize(block), size);
    EXPECT_TRUE(AllZero(block, 0, size));
    BufferFree(block);
  }
}

// ---- BufferResize ----

struct ResizeCase {
  const char* label;
  size_t from;
  size_t to;
};

const ResizeCase kResizeCases[] = {
    {"grow keeps every byte and zero-fills the rest", 10, 100},
    {"shrink keeps the first bytes", 100, 10},
    {"same size", 32, 32},
    {"to nothing", 32, 0},
};

TEST(ByteBufferTest, ResizeKeepsTheLeadingBytes) {
  for (const ResizeCase& c : kResizeCases) {
    SCOPED_TRACE(c.label);
    ByteBuffer block = BufferAlloc(c.from);
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < c.from; ++i) block[i] = static_cast<unsigned char>(i + 1);
    ByteBuffer resized = BufferResize(block, c.to);
    ASSERT_NE(resized, nullptr);
    EXPECT_GE(BufferSize(resized), c.to);
    const size_t kept = c.from < c.to ? c.from : c.to;
    for (size_t i = 0; i < kept; ++i) {
      ASSERT_EQ(resized[i], static_cast<unsigned char>(i + 1)) << "byte " << i;
    }
    EXPECT_TRUE(AllZero(resized, kept, c.to));
    BufferFree(resized);
  }
}

TEST(ByteBufferTest, ResizingNullAllocates) {
  ByteBuffer block = BufferResize(nullptr, 64);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(BufferSize(block), 64u);
  EXPECT_TRUE(AllZero(block, 0, 64));
  BufferFree(block);
}

TEST(ByteBufferTest, SizeOfNullIsZero) { EXPECT_EQ(BufferSize(nullptr), 0u); }

}  // namespace
