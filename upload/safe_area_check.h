// Safe-area check of a cut card image: which edges have content (text, a
// logo) lying less than 3 mm inside the trim line, where the cutter's
// tolerance could clip it, and the warning text that names those edges.
//
// The rule. The cut image holds the card with its bleed on every edge. Around
// the trim box lies the bleed; inside it, along each edge, the safe band 3 mm
// deep. Background is what is continuous with the bleed: starting from every
// pixel of the bleed, it spreads to a neighbouring pixel (left, right, up,
// down) of the bleed and the safe bands whose colour differs from the pixel
// it comes from by at most kSafeAreaStep in every channel. So a uniform
// background, a band or a photo running out into the bleed, and a background
// of several colours whose boundaries cross the edge are background, however
// they vary across the band, as long as they vary smoothly or reach the bleed
// on both sides of each sharp boundary. What is left in the bands splits into
// connected pieces (8-neighbourhood); a piece is content when it has at least
// 0.05 mm² of pixels and comes no nearer than 0.1 mm to the trim line. A
// piece that starts at the trim line (or a hair inside it, as when a design
// without bleed is cut a pixel too large) without reaching the bleed is a
// background missing its bleed, which the bleed check reports. An edge is named when a content
// pixel lies in its band; content in a corner, within 3 mm of two edges,
// names both. Content 3 mm or more inside the trim line is never looked at.
// As a consequence a frame drawn parallel to an edge inside the band, whose
// inside is not connected to the bleed, is content: such a frame may come
// out visibly uneven after the cut.
#pragma once

#include <cstddef>
#include <cstdint>

struct DibImage;

// Edges as flags, in the order the warning names them.
enum SafeAreaEdge : uint32_t {
  kSafeAreaTop = 1,
  kSafeAreaBottom = 2,
  kSafeAreaLeft = 4,
  kSafeAreaRight = 8,
};

// Depth of the safe band inside the trim line.
inline constexpr float kSafeAreaMm = 3.0f;

// Largest difference of a colour channel between neighbours that still
// continues the background.
inline constexpr int kSafeAreaStep = 40;

// Smallest content piece, in square millimetres.
inline constexpr float kSafeAreaMinContentMm2 = 0.05f;

// A piece starting this near the trim line starts at it, in millimetres.
inline constexpr float kSafeAreaTrimSlackMm = 0.1f;

inline constexpr char kSafeAreaCaption[] = "文字切れチェック";
inline constexpr char kSafeAreaMessageTail[] =
    "　のフチから３mm以内に文字やロゴがあり、断裁で切れる可能性があります。\n"
    "このままアップロードを続けますか？";

// A cut card image's pixels: 24 bits per pixel (blue, green, red), line y
// counted from the top of the picture at top + y × stride (negative stride
// for bottom-up rows, as the cut images are stored).
struct SideImageView {
  const unsigned char* top;
  int64_t stride;
  int32_t width;
  int32_t height;
};

// Where the trim box and the safe bands lie in a cut image, in pixels.
struct SafeAreaGeometry {
  int32_t bleedX;  // trim inset of the left and right edges
  int32_t bleedY;  // trim inset of the top and bottom edges
  int32_t safeX;   // depth of the left and right safe bands
  int32_t safeY;   // depth of the top and bottom safe bands
  int32_t minContentPixels;
  int32_t trimSlack;  // pieces this near the trim line (or nearer) start at it
};

// The geometry of a cut image width × height for a card of cardWidthMm ×
// cardHeightMm with bleedMm on every edge: the insets as the bleed check takes
// them (BleedDepth), the 3-mm bands, the smallest piece and the slack at the
// trim line at the same scale.
SafeAreaGeometry SafeAreaGeometryFor(int32_t width, int32_t height, float cardWidthMm,
                                     float cardHeightMm, float bleedMm);

// The edges (SafeAreaEdge flags) of `image` that have content in their safe
// band, by the rule above. 0 when none has, when the image is too small to
// hold its bands, or for an empty view.
uint32_t CheckSafeAreaPixels(const SideImageView& image, const SafeAreaGeometry& geometry);

// The same for a cut card side (read as 24 bits per pixel, either row order)
// of a card of cardWidthMm × cardHeightMm with bleedMm on every edge, the
// values of the job record. 0 for a null image.
uint32_t CheckSafeArea(DibImage* image, float cardWidthMm, float cardHeightMm, float bleedMm);

// Writes the warning into `out` (size bytes, Shift-JIS): the names of the
// flagged edges in the order top, bottom, left, right ("上", "下", "左",
// "右"), joined by "・", then kSafeAreaMessageTail, cut to whole characters
// when `size` is too small. Returns the number of edges named; with none
// `out` is left empty.
int SafeAreaWarningText(uint32_t edges, char* out, size_t size);
