// Tests of the reply loop: chunking, the cut at capacity − 1, termination and failed reads.
#include "net/reply_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A reply delivered in pieces of at most `piece` bytes, optionally failing after it.
struct FakeReply {
  std::string bytes;
  size_t piece = kReplyChunkSize;
  bool failAtEnd = false;
  size_t offset = 0;
  int reads = 0;
};

bool ReadFake(void* source, unsigned char* chunk, uint32_t size, uint32_t* got) {
  auto* reply = static_cast<FakeReply*>(source);
  ++reply->reads;
  size_t count = reply->bytes.size() - reply->offset;
  if (count == 0 && reply->failAtEnd) {
    *got = 0;
    return false;
  }
  count = std::min({count, reply->piece, size_t{size}});
  std::memcpy(chunk, reply->bytes.data() + reply->offset, count);
  reply->offset += count;
  *got = static_cast<uint32_t>(count);
  return true;
}

constexpr char kFill = '#';

// Reads `reply` into a buffer of `capacity` bytes pre-filled with kFill; returns the buffer.
std::vector<char> Read(FakeReply* reply, int capacity, int* count) {
  std::vector<char> buffer(static_cast<size_t>(capacity), kFill);
  *count = ReadReply(ReadFake, reply, buffer.data(), capacity);
  return buffer;
}

// ---- ReadReply ----

TEST(ReadReplyTest, ShortReplyIsStoredUnterminated) {
  FakeReply reply{"TRUE"};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 16, &count);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::string(buffer.data(), 4), "TRUE");
  EXPECT_EQ(buffer[4], kFill);
}

TEST(ReadReplyTest, ReplyOfCapacityLessOneIsStoredWholeAndTerminated) {
  FakeReply reply{std::string(15, 'a')};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 16, &count);
  EXPECT_EQ(count, 15);
  EXPECT_EQ(std::string(buffer.data(), 15), std::string(15, 'a'));
  EXPECT_EQ(buffer[15], '\0');
}

TEST(ReadReplyTest, LongReplyIsCutAndTheRestLeftUnread) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>('A' + i % 26));
  FakeReply reply{bytes};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 2048, &count);
  EXPECT_EQ(count, 2047);
  EXPECT_EQ(std::string(buffer.data(), 2047), bytes.substr(0, 2047));
  EXPECT_EQ(buffer[2047], '\0');
  EXPECT_EQ(reply.reads, 2);  // two chunks of 1024 hold byte 2047; nothing more is read
}

TEST(ReadReplyTest, PiecesAreJoined) {
  FakeReply reply{"0123456789", 3};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 64, &count);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(std::string(buffer.data(), 10), "0123456789");
}

TEST(ReadReplyTest, FailedReadEndsTheReplyKeepingWhatCame) {
  FakeReply reply{"partial", kReplyChunkSize, true};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 64, &count);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(std::string(buffer.data(), 7), "partial");
}

TEST(ReadReplyTest, EmptyReplyStoresNothing) {
  FakeReply reply{""};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 8, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(buffer[0], kFill);
}

TEST(ReadReplyTest, NullBufferReadsAndDropsEverything) {
  FakeReply reply{std::string(3000, 'z')};
  EXPECT_EQ(ReadReply(ReadFake, &reply, nullptr, 2048), 0);
  EXPECT_EQ(reply.offset, 3000u);
}

TEST(ReadReplyTest, BufferOfOneByteOnlyGetsTheTerminator) {
  FakeReply reply{"TRUE"};
  int count = 0;
  std::vector<char> buffer = Read(&reply, 1, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
