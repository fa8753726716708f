// The reply loop shared by the form request and the multipart request.
#include "net/reply_reader.h"

int ReadReply(ReplyChunkReader read, void* source, char* buffer, int capacity) {
  unsigned char chunk[kReplyChunkSize];
  const bool storing = buffer != nullptr && capacity > 1;
  if (buffer != nullptr && capacity == 1) buffer[0] = '\0';
  int count = 0;
  for (;;) {
    uint32_t got = 0;
    if (!read(source, chunk, sizeof chunk, &got) || got == 0) return count;
    if (got > sizeof chunk) got = sizeof chunk;
    if (!storing) continue;
    for (uint32_t i = 0; i < got; ++i) {
      buffer[count++] = static_cast<char>(chunk[i]);
      if (count == capacity - 1) {
        buffer[count] = '\0';
        return count;
      }
    }
  }
}
