// What the upload dialog shows and watches while a card goes out: the time
// limits of a transfer, the kilobytes sent of the total, and the watch that
// tells when a transfer has waited too long to connect or to move on.
#pragma once

#include <cstddef>
#include <cstdint>

// How long a transfer may take to connect, and how long it may go without
// sending a piece or getting its reply, in milliseconds.
struct UploadLimits {
  uint32_t connectMs;
  uint32_t stallMs;
};

inline constexpr UploadLimits kDefaultUploadLimits = {15000, 60000};

// Name of the environment variable that shortens the limits for tests:
// "<connect ms>,<stall ms>". It is not a user setting and is not documented
// to users.
inline constexpr char kUploadLimitsVariable[] = "NORVALISK_UPLOAD_LIMITS";

// The limits from the variable's text (null when unset). Each value must be a
// decimal number from 1 up to its default; anything else leaves the default.
// The limits can be shortened this way, never lengthened or switched off.
UploadLimits ParseUploadLimits(const char* text);

// "<sent> / <total> KB" with thousands separators, in kilobytes of 1024 bytes:
// the sent amount rounded down, the total rounded up, so that the two are equal
// only when everything went out. Returns false when `out` is too small.
bool FormatSentKilobytes(uint64_t sent, uint64_t total, char* out, size_t size);

// Position of a progress bar of range 0 to `range` for `sent` of `total`
// bytes, rounded down; `range` for an empty total.
int ProgressPosition(uint64_t sent, uint64_t total, int range);

// Where a transfer stands, as the dialog sees it.
enum class TransferPhase {
  kIdle,        // nothing under way
  kConverting,  // writing the PNG files; no limit
  kConnecting,  // the request is being connected and its header sent
  kSending,     // the body goes out piece by piece, then the reply is awaited
};

// What a watched transfer has run into.
enum class TransferExpiry {
  kNone,
  kConnect,  // not connected within the connect limit
  kStall,    // no piece sent and no reply within the stall limit
};

// The phase and the tick (milliseconds, wrapping) of its last step.
struct TransferWatch {
  TransferPhase phase;
  uint32_t since;
};

// Checks the watch at tick `now` against the limits. Tick differences are
// taken modulo 2^32, so the millisecond counter may wrap.
TransferExpiry CheckTransfer(const TransferWatch& watch, uint32_t now, const UploadLimits& limits);
