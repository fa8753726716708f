// Tests of the PNG image data made in pieces: libpng itself, writing the same
// rows at level 9 with all filters, is the reference. Its file's IDAT data,
// inflated, gives the filtered rows our filter must reproduce byte for byte;
// our joined stream must inflate (zlib checks the Adler-32) to the same
// bytes, and where the image fits in one piece it must equal libpng's stream.
#include "upload/png_stream.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Top-down rows of a test picture.
struct Picture {
  const char* label;
  uint32_t width;
  uint32_t height;
  uint32_t channels;
  std::vector<Bytes> rows;
  std::vector<const unsigned char*> pointers;
};

// A picture with areas that favour each filter: a horizontal ramp (Sub), a
// vertical ramp (Up), smooth diagonal shading (Average, Paeth), noise (None),
// and flat paper.
Picture MakePicture(const char* label, uint32_t width, uint32_t height, uint32_t channels,
                    unsigned seed) {
  Picture picture{label, width, height, channels, {}, {}};
  std::mt19937 random(seed);
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(size_t(width) * channels);
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t area = (x * 5 / width + y * 3 / std::max(height, 1u)) % 5;
      for (uint32_t c = 0; c < channels; ++c) {
        unsigned v;
        switch (area) {
          case 0: v = x * 3 + c * 40; break;
          case 1: v = y * 2 + c * 17; break;
          case 2: v = (x * x / 7 + y * 5 + c * 9) / 3 + random() % 3; break;
          case 3: v = random(); break;
          default: v = 250 - c; break;
        }
        row[size_t(x) * channels + c] = static_cast<unsigned char>(v);
      }
    }
    picture.rows.push_back(std::move(row));
  }
  for (const Bytes& row : picture.rows) picture.pointers.push_back(row.data());
  return picture;
}

std::vector<Picture> Pictures() {
  std::vector<Picture> pictures;
  pictures.push_back(MakePicture("1 x 1 RGB", 1, 1, 3, 1));
  pictures.push_back(MakePicture("1 x 1 RGBA", 1, 1, 4, 2));
  pictures.push_back(MakePicture("one row", 37, 1, 3, 3));
  pictures.push_back(MakePicture("one column", 1, 23, 3, 4));
  pictures.push_back(MakePicture("3 x 2", 3, 2, 3, 5));
  pictures.push_back(MakePicture("odd width, several pieces", 301, 97, 3, 6));
  pictures.push_back(MakePicture("RGBA, odd width", 131, 67, 4, 7));
  pictures.push_back(MakePicture("more than 32 KB above a row", 2693, 9, 3, 8));
  return pictures;
}

void AppendToString(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// libpng's file of the picture (level 9, all filters), or "" on an error.
std::string LibpngFile(const Picture& picture) {
  std::string file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(png, &file, AppendToString, nullptr);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, picture.width, picture.height, 8,
               picture.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(picture.pointers.data()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return file;
}

// The IDAT data of a PNG file, joined.
Bytes IdatStream(const std::string& file) {
  Bytes stream;
  for (size_t at = 8; at + 12 <= file.size();) {
    const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at);
    const size_t length = (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3];
    if (file.compare(at + 4, 4, "IDAT") == 0) stream.insert(stream.end(), p + 8, p + 8 + length);
    at += 12 + length;
  }
  return stream;
}

// Inflates a whole zlib stream; false when it is not valid, its Adler-32
// wrong, or it does not hold exactly `expectedBytes`.
bool Inflate(const Bytes& stream, size_t expectedBytes, Bytes* out) {
  out->assign(expectedBytes + 1, 0);
  uLongf length = out->size();
  if (uncompress(out->data(), &length, stream.data(), stream.size()) != Z_OK) return false;
  out->resize(length);
  return length == expectedBytes;
}

size_t FilteredBytes(const Picture& picture) {
  return (size_t(picture.width) * picture.channels + 1) * picture.height;
}

// Our filtered rows of the whole picture, one after the other.
Bytes FilterPicture(const Picture& picture) {
  const size_t rowBytes = size_t(picture.width) * picture.channels;
  const unsigned filters = PngRowFilters(picture.width, picture.height);
  Bytes out(FilteredBytes(picture));
  Bytes scratch(rowBytes + 1);
  const Bytes zeros(rowBytes, 0);
  for (uint32_t r = 0; r < picture.height; ++r) {
    FilterPngRow(picture.pointers[r], r == 0 ? zeros.data() : picture.pointers[r - 1], rowBytes,
                 picture.channels, filters, out.data() + r * (rowBytes + 1), scratch.data());
  }
  return out;
}

// Plans, compresses and joins the picture's stream.
bool MakeStream(const Picture& picture, size_t pieceBytes, unsigned threads, Bytes* stream,
                size_t* pieces = nullptr) {
  PngStream png;
  if (!PlanPngStream(picture.pointers.data(), picture.width, picture.height, picture.channels,
                     pieceBytes, &png)) {
    return false;
  }
  PngStream* streams[1] = {&png};
  CompressPngStreams(streams, 1, threads, nullptr);
  if (pieces != nullptr) *pieces = png.pieces.size();
  return JoinPngStream(png, stream);
}

// ---- PngRowFilters ----

TEST(PngRowFiltersTest, SmallImagesLoseTheFiltersTheyCannotUse) {
  struct Case {
    uint32_t width, height;
    unsigned filters;
  };
  const Case cases[] = {
      {2693, 1672, kPngAllFilters},
      {5, 1, kPngFilterNone | kPngFilterSub},
      {1, 5, kPngFilterNone | kPngFilterUp},
      {1, 1, kPngFilterNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PngRowFilters(c.width, c.height), c.filters) << c.width << " x " << c.height;
  }
}

// ---- FilterPngRow ----

// Every row is filtered with the filter libpng chooses, to the same bytes.
TEST(FilterPngRowTest, RowsEqualLibpngsFilteredRows) {
  for (const Picture& picture : Pictures()) {
    const std::string file = LibpngFile(picture);
    ASSERT_FALSE(file.empty()) << picture.label;
    Bytes reference;
    ASSERT_TRUE(Inflate(IdatStream(file), FilteredBytes(picture), &reference)) << picture.label;
    EXPECT_EQ(FilterPicture(picture), reference) << picture.label;
  }
}

// The comparison above means something only if libpng used every filter.
TEST(FilterPngRowTest, ThePicturesMakeLibpngChooseEveryFilter) {
  bool chosen[5] = {};
  for (const Picture& picture : Pictures()) {
    Bytes reference;
    ASSERT_TRUE(Inflate(IdatStream(LibpngFile(picture)), FilteredBytes(picture), &reference));
    const size_t lineBytes = size_t(picture.width) * picture.channels + 1;
    for (size_t at = 0; at < reference.size(); at += lineBytes) {
      ASSERT_LT(reference[at], 5);
      chosen[reference[at]] = true;
    }
  }
  for (int type = 0; type < 5; ++type) EXPECT_TRUE(chosen[type]) << "filter " << type;
}

// A tie goes to the earlier filter: a flat row under an equal row is all
// zeros with Sub and Up alike, and a row of zeros is cheapest unfiltered.
TEST(FilterPngRowTest, TiesGoToTheEarlierFilter) {
  const Bytes flat(12, 7);
  const Bytes zeros(12, 0);
  Bytes out(13);
  Bytes scratch(13);
  EXPECT_EQ(FilterPngRow(flat.data(), flat.data(), 12, 3, kPngAllFilters, out.data(), scratch.data()), 2)
      << "Up (all zeros) against Sub (the first pixel stays 7)";
  EXPECT_EQ(FilterPngRow(zeros.data(), flat.data(), 12, 3, kPngAllFilters, out.data(), scratch.data()), 0);
  EXPECT_EQ(out, Bytes(13, 0));
}

// ---- PlanPngStream ----

TEST(PlanPngStreamTest, PiecesAreWholeRowsCoveringTheImage) {
  const Picture picture = MakePicture("plan", 10, 25, 3, 9);  // 31 bytes a row
  struct Case {
    const char* label;
    size_t pieceBytes;
    size_t pieces;
  };
  const Case cases[] = {
      {"smaller than a row: one row a piece", 5, 25},
      {"three rows a piece, a short last piece", 100, 9},
      {"the image in one piece", 1 << 20, 1},
  };
  for (const Case& c : cases) {
    PngStream stream;
    ASSERT_TRUE(PlanPngStream(picture.pointers.data(), 10, 25, 3, c.pieceBytes, &stream)) << c.label;
    ASSERT_EQ(stream.pieces.size(), c.pieces) << c.label;
    uint32_t next = 0;
    for (const PngPiece& piece : stream.pieces) {
      EXPECT_EQ(piece.firstRow, next) << c.label;
      EXPECT_GT(piece.endRow, piece.firstRow) << c.label;
      EXPECT_FALSE(piece.done) << c.label;
      next = piece.endRow;
    }
    EXPECT_EQ(next, 25u) << c.label;
  }
}

TEST(PlanPngStreamTest, RefusesImagesWithoutData) {
  const Picture picture = MakePicture("plan", 4, 4, 3, 10);
  const unsigned char* const* rows = picture.pointers.data();
  PngStream stream;
  EXPECT_FALSE(PlanPngStream(nullptr, 4, 4, 3, 100, &stream)) << "no rows";
  EXPECT_FALSE(PlanPngStream(rows, 0, 4, 3, 100, &stream)) << "no columns";
  EXPECT_FALSE(PlanPngStream(rows, 4, 0, 3, 100, &stream)) << "no rows";
  EXPECT_FALSE(PlanPngStream(rows, 4, 4, 5, 100, &stream)) << "five channels";
  EXPECT_TRUE(stream.pieces.empty());
  EXPECT_FALSE(PlanPngStream(rows, 4, 4, 3, 100, nullptr));
}

// ---- CompressPngStreams and JoinPngStream ----

// Joined pieces form one valid zlib stream of libpng's filtered data, with
// the right Adler-32 and libpng's header, for every size of piece and number
// of threads; the bytes do not depend on the threads.
TEST(PngStreamTest, JoinedPiecesInflateToLibpngsFilteredData) {
  const size_t pieceSizes[] = {1, 4096, 40000, kPngPieceBytes};
  for (const Picture& picture : Pictures()) {
    const Bytes libpngStream = IdatStream(LibpngFile(picture));
    Bytes reference;
    ASSERT_TRUE(Inflate(libpngStream, FilteredBytes(picture), &reference)) << picture.label;
    const uLong adler = adler32(adler32(0, nullptr, 0), reference.data(), uInt(reference.size()));
    for (size_t pieceBytes : pieceSizes) {
      const std::string label = std::string(picture.label) + ", pieces of " +
                                std::to_string(pieceBytes) + " bytes";
      Bytes single;
      size_t pieces = 0;
      ASSERT_TRUE(MakeStream(picture, pieceBytes, 1, &single, &pieces)) << label;
      Bytes inflated;
      ASSERT_TRUE(Inflate(single, reference.size(), &inflated)) << label;
      EXPECT_EQ(inflated, reference) << label;
      ASSERT_GE(single.size(), 6u);
      EXPECT_EQ(single[0], libpngStream[0]) << label << ": window size";
      EXPECT_EQ(single[1], libpngStream[1]) << label << ": level and check bits";
      const uLong trailer = (uLong(single[single.size() - 4]) << 24) |
                            (uLong(single[single.size() - 3]) << 16) |
                            (uLong(single[single.size() - 2]) << 8) | single[single.size() - 1];
      EXPECT_EQ(trailer, adler) << label;
      if (pieces == 1) {
        EXPECT_EQ(single, libpngStream) << label << ": one piece is libpng's stream";
      }
      Bytes pooled;
      ASSERT_TRUE(MakeStream(picture, pieceBytes, 3, &pooled)) << label;
      EXPECT_EQ(pooled, single) << label << ", 3 threads";
    }
  }
}

// The pieces of two images share the pool and each stream comes out whole.
TEST(PngStreamTest, TwoStreamsShareThePool) {
  const Picture front = MakePicture("front", 301, 97, 3, 11);
  const Picture back = MakePicture("back", 17, 200, 4, 12);
  PngStream streams[2];
  const Picture* pictures[2] = {&front, &back};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PlanPngStream(pictures[i]->pointers.data(), pictures[i]->width,
                              pictures[i]->height, pictures[i]->channels, 2000, &streams[i]));
  }
  PngStream* both[2] = {&streams[0], &streams[1]};
  CompressPngStreams(both, 2, 0, nullptr);
  for (int i = 0; i < 2; ++i) {
    Bytes stream, inflated;
    ASSERT_TRUE(JoinPngStream(streams[i], &stream)) << pictures[i]->label;
    ASSERT_TRUE(Inflate(stream, FilteredBytes(*pictures[i]), &inflated)) << pictures[i]->label;
    EXPECT_EQ(inflated, FilterPicture(*pictures[i])) << pictures[i]->label;
  }
}

// Rows made on demand by a source (from several threads, each piece making
// the row above it and its dictionary rows again) give the same stream as
// ready rows.
TEST(PngStreamTest, RowsFromASourceGiveTheSameStream) {
  const Picture picture = MakePicture("source", 301, 97, 3, 15);
  const PngRowSource source = [](const void* context, uint32_t row, unsigned char* out) {
    const auto* p = static_cast<const Picture*>(context);
    std::copy(p->rows[row].begin(), p->rows[row].end(), out);
  };
  for (size_t pieceBytes : {size_t(1), size_t(4096), kPngPieceBytes}) {
    Bytes ready;
    ASSERT_TRUE(MakeStream(picture, pieceBytes, 1, &ready));
    PngStream stream;
    ASSERT_TRUE(PlanPngStream(source, &picture, 301, 97, 3, pieceBytes, &stream));
    PngStream* streams[1] = {&stream};
    CompressPngStreams(streams, 1, 3, nullptr);
    Bytes made;
    ASSERT_TRUE(JoinPngStream(stream, &made));
    EXPECT_EQ(made, ready) << "pieces of " << pieceBytes << " bytes";
  }
}

// A set flag stops the work: no piece is done and nothing can be joined.
TEST(PngStreamTest, CancelledPiecesAreNotDone) {
  const Picture picture = MakePicture("cancel", 301, 97, 3, 13);
  std::atomic<bool> cancel{true};
  PngStream stream;
  ASSERT_TRUE(PlanPngStream(picture.pointers.data(), 301, 97, 3, 4096, &stream));
  EXPECT_FALSE(CompressPngPiece(&stream, 1, &cancel));
  PngStream* streams[1] = {&stream};
  CompressPngStreams(streams, 1, 2, &cancel);
  for (const PngPiece& piece : stream.pieces) EXPECT_FALSE(piece.done);
  Bytes joined;
  EXPECT_FALSE(JoinPngStream(stream, &joined));

  // The same pieces are made once the flag is clear again.
  cancel = false;
  CompressPngStreams(streams, 1, 2, &cancel);
  ASSERT_TRUE(JoinPngStream(stream, &joined));
  Bytes inflated;
  ASSERT_TRUE(Inflate(joined, FilteredBytes(picture), &inflated));
  EXPECT_EQ(inflated, FilterPicture(picture));
}

// A piece left out cannot be hidden: joining refuses the stream.
TEST(PngStreamTest, JoinRefusesAMissingPiece) {
  const Picture picture = MakePicture("missing", 50, 40, 3, 14);
  PngStream stream;
  ASSERT_TRUE(PlanPngStream(picture.pointers.data(), 50, 40, 3, 1000, &stream));
  ASSERT_GT(stream.pieces.size(), 2u);
  for (size_t i = 0; i < stream.pieces.size(); ++i) {
    if (i != 1) {
      ASSERT_TRUE(CompressPngPiece(&stream, i, nullptr));
    }
  }
  Bytes joined;
  EXPECT_FALSE(JoinPngStream(stream, &joined));
  ASSERT_TRUE(CompressPngPiece(&stream, 1, nullptr));
  EXPECT_TRUE(JoinPngStream(stream, &joined));
}

}  // namespace
