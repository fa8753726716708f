// Scoring of a cut card image for missing bleed: how much each edge changes
// between the outer pixel and the pixel on the trim line, and the warning text
// that names the edges whose design seems to stop at the trim line.
#pragma once

#include <cstddef>

struct DibImage;

// Scores of the four edges, as the mean difference per colour channel in
// percent of 255, and the depths of the bleed band in pixels.
struct BleedScores {
  float top;
  float bottom;
  float left;
  float right;
  int dx;  // band depth of the left and right edges
  int dy;  // band depth of the top and bottom edges
};

// An edge is named in the warning when its score is greater than this.
inline constexpr float kBleedScoreLimit = 10.0f;

inline constexpr char kBleedCaption[] = "塗り足しチェック";
inline constexpr char kBleedMessageTail[] =
    "　のフチで塗り足しができていない可能性があります。\nこのままアップロードを続けますか？";

// Depth of the bleed band along an axis of `pixels` pixels for a card side of
// `cardMm` millimetres with `bleedMm` on both ends: the bleed's share of the
// axis, rounded.
int BleedDepth(int pixels, float cardMm, float bleedMm);

// Scores the edges of `image`, read as 24 bits per pixel whatever its header
// says, for a card of cardWidthMm × cardHeightMm with bleedMm on every edge.
// An axis no longer than its band depth (the trim-line pixel would lie outside
// the image) counts as having its bleed: both of its edges score 0. Pixels that
// lie outside the image block are left out of the sums. False for a null image.
bool ScoreBleed(DibImage* image, float cardWidthMm, float cardHeightMm, float bleedMm,
                BleedScores* scores);

// Writes the warning into `out` (size bytes, Shift-JIS): the names of the edges
// scoring above kBleedScoreLimit in the order top, bottom, left, right, joined
// by "・", then kBleedMessageTail. Returns the number of edges named; with none
// named `out` is left empty.
int BleedWarningText(const BleedScores& scores, char* out, size_t size);
