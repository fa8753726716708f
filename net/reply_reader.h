// Copying a reply into the caller's buffer, chunk by chunk, cut safely at the buffer's end.
#pragma once

#include <cstdint>

// Size of the local chunk each read fills.
inline constexpr uint32_t kReplyChunkSize = 1024;

// Reads the next piece of a reply into `chunk` (at most `size` bytes) and stores the count
// in `got`; returns false when the read fails.
using ReplyChunkReader = bool (*)(void* source, unsigned char* chunk, uint32_t size, uint32_t* got);

// Reads a whole reply into `buffer` and returns the number of bytes stored. A successful
// read of 0 bytes ends the reply, unterminated. When the count reaches capacity − 1 a NUL is
// written after the bytes, the rest of the reply is left unread and capacity − 1 is
// returned. A failed read ends the reply too, keeping what was stored. With a null buffer
// (or no room at all) the reply is read and dropped and the result is 0.
int ReadReply(ReplyChunkReader read, void* source, char* buffer, int capacity);
