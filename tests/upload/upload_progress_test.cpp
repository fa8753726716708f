// Tests of the upload's limits, progress text and transfer watch.
#include "upload/upload_progress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ---- ParseUploadLimits --------------------------------------------------------

TEST(ParseUploadLimits, ShortensOnlyWithValidValues) {
  struct Case {
    const char* text;
    uint32_t connectMs;
    uint32_t stallMs;
  };
  const Case cases[] = {
      {nullptr, 15000, 60000},       // unset
      {"", 15000, 60000},            // empty
      {"2000,1500", 2000, 1500},     // both shortened
      {"15000,60000", 15000, 60000}, // the defaults themselves
      {"1,1", 1, 1},
      {"20000,1500", 15000, 1500},   // longer than the default: ignored
      {"2000,600000", 2000, 60000},
      {"0,0", 15000, 60000},         // zero would switch the limit off
      {"-5,100", 15000, 100},
      {"2000", 15000, 60000},        // no comma
      {"2000,", 2000, 60000},
      {",1500", 15000, 1500},
      {"2 000,1500", 15000, 1500},   // not a plain number
      {"2000,1500,9", 2000, 60000},
      {"99999999999999999999,1500", 15000, 1500},  // would overflow
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    const UploadLimits limits = ParseUploadLimits(c.text);
    EXPECT_EQ(limits.connectMs, c.connectMs);
    EXPECT_EQ(limits.stallMs, c.stallMs);
  }
}

// ---- FormatSentKilobytes and ProgressPosition ---------------------------------

TEST(FormatSentKilobytes, GroupsDigitsAndReachesTheTotalOnlyAtTheEnd) {
  struct Case {
    uint64_t sent;
    uint64_t total;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, "0 / 0 KB"},
      {0, 1, "0 / 1 KB"},
      {1, 1, "1 / 1 KB"},
      {1023, 1025, "0 / 2 KB"},
      {1024, 1025, "1 / 2 KB"},
      {1025, 1025, "2 / 2 KB"},
      {4505600 - 1, 4505600, "4,399 / 4,400 KB"},  // one byte short is not the whole
      {4505600, 4505600, "4,400 / 4,400 KB"},
      {999 * 1024, 1000 * 1024, "999 / 1,000 KB"},
      {1234567ull * 1024, 1234567ull * 1024, "1,234,567 / 1,234,567 KB"},
      {5000, 100, "1 / 1 KB"},  // more than the total counts as the total
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char out[64];
    ASSERT_TRUE(FormatSentKilobytes(c.sent, c.total, out, sizeof out));
    EXPECT_EQ(std::string(out), c.text);
  }
  char small[8];
  EXPECT_FALSE(FormatSentKilobytes(4505600, 4505600, small, sizeof small));
}

TEST(ProgressPosition, ScalesAndRoundsDown) {
  EXPECT_EQ(ProgressPosition(0, 1000, 1000), 0);
  EXPECT_EQ(ProgressPosition(999, 1000, 1000), 999);
  EXPECT_EQ(ProgressPosition(1, 3, 1000), 333);
  EXPECT_EQ(ProgressPosition(4505599, 4505600, 1000), 999);
  EXPECT_EQ(ProgressPosition(4505600, 4505600, 1000), 1000);
  EXPECT_EQ(ProgressPosition(0, 0, 1000), 1000);
  // Totals near the top of the 64-bit range do not overflow in the product.
  EXPECT_EQ(ProgressPosition(1ull << 40, 1ull << 41, 1000), 500);
}

// ---- CheckTransfer ----------------------------------------------------------

TEST(CheckTransfer, EachPhaseHasItsLimit) {
  const UploadLimits limits = {15000, 60000};
  struct Case {
    TransferPhase phase;
    uint32_t since;
    uint32_t now;
    TransferExpiry expected;
  };
  const Case cases[] = {
      {TransferPhase::kIdle, 0, 1000000, TransferExpiry::kNone},
      {TransferPhase::kConverting, 0, 1000000, TransferExpiry::kNone},
      {TransferPhase::kConnecting, 1000, 15999, TransferExpiry::kNone},
      {TransferPhase::kConnecting, 1000, 16000, TransferExpiry::kConnect},
      {TransferPhase::kSending, 1000, 60999, TransferExpiry::kNone},
      {TransferPhase::kSending, 1000, 61000, TransferExpiry::kStall},
      // The millisecond counter wrapped between the step and now.
      {TransferPhase::kSending, 0xFFFFF000u, 0x00001000u, TransferExpiry::kNone},
      {TransferPhase::kSending, 0xFFFFF000u, 60000u, TransferExpiry::kStall},
      {TransferPhase::kConnecting, 0xFFFFFF00u, 15000u, TransferExpiry::kConnect},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.phase) << " " << c.since << " " << c.now);
    EXPECT_EQ(CheckTransfer({c.phase, c.since}, c.now, limits), c.expected);
  }
}

}  // namespace
