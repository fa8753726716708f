// Limits, progress text and the transfer watch of the upload dialog.
#include "upload/upload_progress.h"

#include <cstdio>

namespace {

// A decimal value from 1 to `limit` at `text`, ending at `end`; 0 otherwise.
uint32_t LimitValue(const char* text, const char* end, uint32_t limit) {
  if (text == end) return 0;
  uint64_t value = 0;
  for (const char* p = text; p != end; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (value > limit) return 0;
  }
  return static_cast<uint32_t>(value);
}

// Writes `value` with a comma before every third digit from the right.
int FormatGrouped(uint64_t value, char* out, size_t size) {
  char digits[32];
  const int count = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
  char grouped[48];
  int at = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) grouped[at++] = ',';
    grouped[at++] = digits[i];
  }
  grouped[at] = '\0';
  return std::snprintf(out, size, "%s", grouped);
}

}  // namespace

UploadLimits ParseUploadLimits(const char* text) {
  UploadLimits limits = kDefaultUploadLimits;
  if (text == nullptr) return limits;
  const char* comma = text;
  while (*comma != '\0' && *comma != ',') ++comma;
  if (*comma != ',') return limits;
  const char* end = comma + 1;
  while (*end != '\0') ++end;
  const uint32_t connect = LimitValue(text, comma, kDefaultUploadLimits.connectMs);
  const uint32_t stall = LimitValue(comma + 1, end, kDefaultUploadLimits.stallMs);
  if (connect != 0) limits.connectMs = connect;
  if (stall != 0) limits.stallMs = stall;
  return limits;
}

bool FormatSentKilobytes(uint64_t sent, uint64_t total, char* out, size_t size) {
  if (sent > total) sent = total;
  const uint64_t totalKb = (total + 1023) / 1024;
  const uint64_t sentKb = sent == total ? totalKb : sent / 1024;
  char sentText[32];
  char totalText[32];
  FormatGrouped(sentKb, sentText, sizeof sentText);
  FormatGrouped(totalKb, totalText, sizeof totalText);
  const int written = std::snprintf(out, size, "%s / %s KB", sentText, totalText);
  return written >= 0 && static_cast<size_t>(written) < size;
}

int ProgressPosition(uint64_t sent, uint64_t total, int range) {
  if (total == 0 || sent >= total) return range;
  return static_cast<int>(sent * static_cast<uint64_t>(range) / total);
}

TransferExpiry CheckTransfer(const TransferWatch& watch, uint32_t now, const UploadLimits& limits) {
  const uint32_t waited = now - watch.since;
  switch (watch.phase) {
    case TransferPhase::kConnecting:
      return waited >= limits.connectMs ? TransferExpiry::kConnect : TransferExpiry::kNone;
    case TransferPhase::kSending:
      return waited >= limits.stallMs ? TransferExpiry::kStall : TransferExpiry::kNone;
    case TransferPhase::kIdle:
    case TransferPhase::kConverting:
      break;
  }
  return TransferExpiry::kNone;
}
