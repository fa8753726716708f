// Growable, zero-filled blocks of memory for request bodies, replies and file contents.
#pragma once

#include <cstddef>

// A fixed, zero-filled block from the global-memory allocator. It carries no header of its
// own: its size is the size the allocator reports, which can exceed the size asked for.
using ByteBuffer = unsigned char*;

// Returns a zero-filled block of at least `size` bytes, or null.
ByteBuffer BufferAlloc(size_t size);

// Returns a new zero-filled block of `size` bytes that starts with the first
// min(old size, size) bytes of `block`, and releases `block`. A null block counts as empty.
// When the new block cannot be had the result is null and `block` stays as it was.
ByteBuffer BufferResize(ByteBuffer block, size_t size);

// Releases the block. A null block releases nothing and shows "NULL pointer error.".
void BufferFree(void* block);

// The allocator's size of the block; 0 for null.
size_t BufferSize(const void* block);
