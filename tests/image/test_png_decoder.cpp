// The PNG decoder against pictures written by ImageMagick (data/make-pictures.sh made
// them, with the pixels ImageMagick reads back beside each one), and against damaged files.
#include "image/PngDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/support/SourceFiles.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& name) {
  return mq::test::ReadSourceFile<Bytes>("tests/image/data/" + name);
}

struct Picture {
  const char* name;
  int depth;
  int colorType;
  bool interlaced;
  int width = 37, height = 23;
};

const Picture kPictures[] = {
    {"grey1", 1, 0, false},
    {"grey2", 2, 0, false},
    {"grey4", 4, 0, false},
    {"grey8", 8, 0, false},
    {"grey16", 16, 0, false},
    {"greyalpha8", 8, 4, false},
    {"greyalpha16", 16, 4, false},
    {"rgb8", 8, 2, false},
    {"rgb16", 16, 2, false},
    {"rgba8", 8, 6, false},
    {"rgba16", 16, 6, false},
    {"palette1", 1, 3, false},
    {"palette2", 2, 3, false},
    {"palette4", 4, 3, false},
    {"palette8", 8, 3, false},
    {"palettealpha", 8, 3, false},
    {"greykey", 8, 0, false},
    {"rgbkey", 8, 2, false},
    {"grey1_interlaced", 1, 0, true},
    {"grey2_interlaced", 2, 0, true},
    {"grey4_interlaced", 4, 0, true},
    {"grey8_interlaced", 8, 0, true},
    {"grey16_interlaced", 16, 0, true},
    {"greyalpha8_interlaced", 8, 4, true},
    {"greyalpha16_interlaced", 16, 4, true},
    {"rgb8_interlaced", 8, 2, true},
    {"rgb16_interlaced", 16, 2, true},
    {"rgba8_interlaced", 8, 6, true},
    {"rgba16_interlaced", 16, 6, true},
    {"palette1_interlaced", 1, 3, true},
    {"palette2_interlaced", 2, 3, true},
    {"palette4_interlaced", 4, 3, true},
    {"palette8_interlaced", 8, 3, true},
    {"palettealpha_interlaced", 8, 3, true},
    {"tiny_1x1", 8, 2, true, 1, 1},
    {"tiny_2x3", 8, 2, true, 2, 3},
    {"tiny_5x1", 8, 2, true, 5, 1},
    {"tiny_9x9", 8, 2, true, 9, 9},
};

TEST(PngDecode, EveryPictureMatchesThePixelsTheEncoderReadsBack) {
  for (const Picture& p : kPictures) {
    SCOPED_TRACE(p.name);
    const Bytes png = ReadFile(std::string(p.name) + ".png");
    const Bytes expected = ReadFile(std::string(p.name) + ".rgba");
    ASSERT_FALSE(png.empty());
    mq::DecodedPng img = mq::DecodePng(png);
    EXPECT_EQ(img.width, p.width);
    EXPECT_EQ(img.height, p.height);
    EXPECT_EQ(img.bitDepth, p.depth);
    EXPECT_EQ(img.colorType, p.colorType);
    EXPECT_EQ(img.interlaced, p.interlaced);
    ASSERT_EQ(img.rgba.size(), expected.size());
    // ImageMagick reduces 16-bit samples to 8 bits in its own way, which can differ from
    // rounding by one level; 8-bit and smaller samples must match exactly.
    const int tolerance = p.depth == 16 ? 1 : 0;
    size_t mismatches = 0, first = 0;
    for (size_t i = 0; i < expected.size(); ++i)
      if (std::abs(int(img.rgba[i]) - int(expected[i])) > tolerance && mismatches++ == 0) first = i;
    EXPECT_EQ(mismatches, 0u) << "first at pixel " << first / 4 << " channel " << first % 4 << ": got "
                              << int(img.rgba[first]) << ", encoder says " << int(expected[first]);
  }
}

TEST(PngDecode, InterlacedAndPlainPicturesDecodeToTheSamePixels) {
  for (const char* name : {"rgb8", "rgba16", "palette4", "grey1"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(mq::DecodePng(ReadFile(std::string(name) + ".png")).rgba,
              mq::DecodePng(ReadFile(std::string(name) + "_interlaced.png")).rgba);
  }
}

TEST(PngDecode, ColourKeysAndPaletteAlphaMakePixelsTransparent) {
  for (const char* name : {"greykey", "rgbkey", "palettealpha", "rgba8"}) {
    SCOPED_TRACE(name);
    mq::DecodedPng img = mq::DecodePng(ReadFile(std::string(name) + ".png"));
    int transparent = 0, opaque = 0;
    for (size_t i = 3; i < img.rgba.size(); i += 4) {
      transparent += img.rgba[i] == 0;
      opaque += img.rgba[i] == 255;
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, 0);
  }
}

// --- damaged data -----------------------------------------------------------------------

void PutBe32(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
}

void AddChunk(Bytes& png, const char* type, const Bytes& body) {
  PutBe32(png, std::uint32_t(body.size()));
  size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  PutBe32(png, std::uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

struct Built {
  std::uint32_t width = 2, height = 2;
  std::uint8_t depth = 8, colorType = 2, interlace = 0;
  Bytes scanlines;  // filter byte + row, already laid out
  Bytes palette;
  bool withPalette = false;
  bool withData = true;
  bool withEnd = true;
  const char* extraChunk = nullptr;
};

Bytes Build(const Built& b) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutBe32(ihdr, b.width);
  PutBe32(ihdr, b.height);
  ihdr.insert(ihdr.end(), {b.depth, b.colorType, 0, 0, b.interlace});
  AddChunk(png, "IHDR", ihdr);
  if (b.withPalette) AddChunk(png, "PLTE", b.palette);
  if (b.extraChunk) AddChunk(png, b.extraChunk, {1, 2, 3});
  if (b.withData) {
    uLongf len = compressBound(uLong(b.scanlines.size()));
    Bytes z(len);
    compress(z.data(), &len, b.scanlines.data(), uLong(b.scanlines.size()));
    z.resize(len);
    AddChunk(png, "IDAT", z);
  }
  if (b.withEnd) AddChunk(png, "IEND", {});
  return png;
}

// Two rows of two RGB pixels, filter 0.
Bytes Rgb2x2() { return {0, 1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12}; }

TEST(PngDecode, BuiltPictureWithEachFilterDecodes) {
  // Row 2 encoded with each filter against row 1 = (10,20,30)(40,50,60); row 2 = (15,25,35)(45,55,65).
  const Bytes row1 = {10, 20, 30, 40, 50, 60};
  const Bytes row2 = {15, 25, 35, 45, 55, 65};
  auto paeth = [](int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
  };
  for (std::uint8_t filter = 0; filter <= 4; ++filter) {
    SCOPED_TRACE(int(filter));
    Bytes enc(6);
    for (int i = 0; i < 6; ++i) {
      int left = i >= 3 ? row2[i - 3] : 0, up = row1[i], ul = i >= 3 ? row1[i - 3] : 0;
      int pred = filter == 0   ? 0
                 : filter == 1 ? left
                 : filter == 2 ? up
                 : filter == 3 ? (left + up) / 2
                               : paeth(left, up, ul);
      enc[i] = std::uint8_t(row2[i] - pred);
    }
    Built b;
    b.scanlines = {0};
    b.scanlines.insert(b.scanlines.end(), row1.begin(), row1.end());
    b.scanlines.push_back(filter);
    b.scanlines.insert(b.scanlines.end(), enc.begin(), enc.end());
    mq::DecodedPng img = mq::DecodePng(Build(b));
    EXPECT_EQ(img.Pixel(0, 1)[0], 15);
    EXPECT_EQ(img.Pixel(1, 1)[2], 65);
    EXPECT_EQ(img.Pixel(1, 1)[3], 255);
  }
}

struct Damage {
  const char* what;
  Built built;
  const char* message;  // part of the error text
};

TEST(PngDecode, DamagedPicturesGiveAClearError) {
  Built good;
  good.scanlines = Rgb2x2();
  ASSERT_NO_THROW(mq::DecodePng(Build(good)));

  std::vector<Damage> cases;
  auto with = [&](const char* what, const char* message, auto change) {
    Built b = good;
    change(b);
    cases.push_back({what, b, message});
  };
  with("unknown filter", "row filter", [](Built& b) { b.scanlines[0] = 5; });
  with("truncated image data", "truncated", [](Built& b) { b.scanlines.resize(9); });
  with("zero width", "no pixels", [](Built& b) { b.width = 0; });
  with("huge size", "too large", [](Built& b) { b.width = b.height = 0x7FFFFFFF; });
  with("many pixels", "too large", [](Built& b) { b.width = 16000, b.height = 16000; });
  with("bad colour type", "colour type", [](Built& b) { b.colorType = 5; });
  with("bad depth", "bit depth", [](Built& b) { b.depth = 4; });
  with("bad interlace", "interlace", [](Built& b) { b.interlace = 2; });
  with("no IDAT", "IDAT", [](Built& b) { b.withData = false; });
  with("no IEND", "IEND", [](Built& b) { b.withEnd = false; });
  with("unknown critical chunk", "critical chunk", [](Built& b) { b.extraChunk = "ABCD"; });
  with("palette missing", "PLTE", [](Built& b) {
    b.colorType = 3;
    b.scanlines = {0, 0, 0, 0, 0, 0};
  });
  with("palette index out of range", "out of range", [](Built& b) {
    b.colorType = 3;
    b.withPalette = true;
    b.palette = {255, 0, 0};
    b.scanlines = {0, 0, 1, 0, 0, 0};
  });
  with("palette of bad length", "PLTE", [](Built& b) {
    b.colorType = 3;
    b.withPalette = true;
    b.palette = {255, 0};
    b.scanlines = {0, 0, 0, 0, 0, 0};
  });
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    try {
      mq::DecodePng(Build(d.built));
      ADD_FAILURE() << "no error";
    } catch (const mq::EPngError& e) {
      EXPECT_NE(std::string(e.what()).find(d.message), std::string::npos) << e.what();
    }
  }
}

TEST(PngDecode, AncillaryChunksAreSkipped) {
  Built b;
  b.scanlines = Rgb2x2();
  b.extraChunk = "tEXt";
  EXPECT_EQ(mq::DecodePng(Build(b)).Pixel(1, 0)[0], 4);
}

TEST(PngDecode, EveryTruncationAndEveryFlippedByteFailsCleanly) {
  const Bytes png = ReadFile("palettealpha_interlaced.png");
  for (size_t len = 0; len < png.size(); ++len) {
    Bytes cut(png.begin(), png.begin() + len);
    EXPECT_THROW(mq::DecodePng(cut), mq::EPngError) << "length " << len;
  }
  // A flipped byte anywhere is caught by the signature or a chunk checksum.
  for (size_t i = 0; i < png.size(); i += 7) {
    Bytes bad = png;
    bad[i] ^= 0x40;
    EXPECT_THROW(mq::DecodePng(bad), mq::EPngError) << "byte " << i;
  }
}

TEST(PngDecode, SignatureIsRecognised) {
  const Bytes png = ReadFile("rgb8.png");
  EXPECT_TRUE(mq::IsPng(png));
  EXPECT_FALSE(mq::IsPng(Bytes(png.begin(), png.begin() + 7)));
  EXPECT_FALSE(mq::IsPng(Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_THROW(mq::DecodePng(Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0}), mq::EPngError);
}

}  // namespace
