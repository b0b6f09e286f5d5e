#include "image/PngDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <array>
#include <cstring>

namespace mq {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWhole = {0, 0, 1, 1};

int Channels(int colorType) {
  switch (colorType) {
    case 0:
      return 1;
    case 2:
      return 3;
    case 3:
      return 1;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 0;
  }
}

bool ValidDepth(int colorType, int depth) {
  switch (colorType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::string ChunkName(const std::uint8_t* type) {
  std::string name;
  for (int i = 0; i < 4; ++i) {
    char c = char(type[i]);
    name += (std::isalpha(static_cast<unsigned char>(c)) ? c : '?');
  }
  return name;
}

struct Header {
  int width = 0, height = 0, depth = 0, colorType = 0;
  bool interlaced = false;
  int bitsPerPixel() const { return depth * Channels(colorType); }
  std::size_t RowBytes(int cols) const { return (std::size_t(cols) * bitsPerPixel() + 7) / 8; }
};

int PassCols(const Header& h, const Pass& p) {
  return h.width > p.x0 ? (h.width - p.x0 + p.dx - 1) / p.dx : 0;
}
int PassRows(const Header& h, const Pass& p) {
  return h.height > p.y0 ? (h.height - p.y0 + p.dy - 1) / p.dy : 0;
}

// Inflates the zlib stream of the image data into exactly `expected` bytes.
std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& compressed, std::size_t expected) {
  std::vector<std::uint8_t> out;
  out.resize(std::min<std::size_t>(expected, std::max<std::size_t>(compressed.size() * 4, 4096)));
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw EPngError("cannot start the decompressor");
  struct Guard {
    z_stream* z;
    ~Guard() { inflateEnd(z); }
  } guard{&zs};
  zs.next_in = const_cast<Bytef*>(compressed.data());
  zs.avail_in = uInt(compressed.size());
  std::size_t produced = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() == expected) break;  // all the image data is there; the rest is ignored
      out.resize(std::min(expected, out.size() * 2));
    }
    zs.next_out = out.data() + produced;
    std::size_t room = out.size() - produced;
    zs.avail_out = uInt(std::min<std::size_t>(room, 1u << 30));
    int r = inflate(&zs, Z_NO_FLUSH);
    produced = std::size_t(zs.next_out - out.data());
    if (r == Z_STREAM_END) break;
    if (r == Z_BUF_ERROR && zs.avail_in == 0) break;
    if (r != Z_OK)
      throw EPngError(std::string("damaged image data (") + (zs.msg ? zs.msg : "inflate error") + ")");
  }
  if (produced < expected) throw EPngError("image data is truncated");
  out.resize(expected);
  return out;
}

std::uint8_t Paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return std::uint8_t(a);
  if (pb <= pc) return std::uint8_t(b);
  return std::uint8_t(c);
}

// Undoes the row filters of one pass in place; returns the offset after the pass.
std::size_t Unfilter(std::vector<std::uint8_t>& raw, std::size_t offset, int rows, std::size_t rowBytes,
                     int bpp) {
  std::uint8_t* prev = nullptr;
  for (int y = 0; y < rows; ++y) {
    std::uint8_t filter = raw[offset];
    std::uint8_t* row = raw.data() + offset + 1;
    switch (filter) {
      case 0:
        break;
      case 1:
        for (std::size_t i = bpp; i < rowBytes; ++i) row[i] = std::uint8_t(row[i] + row[i - bpp]);
        break;
      case 2:
        if (prev)
          for (std::size_t i = 0; i < rowBytes; ++i) row[i] = std::uint8_t(row[i] + prev[i]);
        break;
      case 3:
        for (std::size_t i = 0; i < rowBytes; ++i) {
          int left = i >= std::size_t(bpp) ? row[i - bpp] : 0;
          int up = prev ? prev[i] : 0;
          row[i] = std::uint8_t(row[i] + ((left + up) >> 1));
        }
        break;
      case 4:
        for (std::size_t i = 0; i < rowBytes; ++i) {
          int left = i >= std::size_t(bpp) ? row[i - bpp] : 0;
          int up = prev ? prev[i] : 0;
          int ul = (prev && i >= std::size_t(bpp)) ? prev[i - bpp] : 0;
          row[i] = std::uint8_t(row[i] + Paeth(left, up, ul));
        }
        break;
      default:
        throw EPngError("unknown row filter " + std::to_string(filter));
    }
    prev = row;
    offset += 1 + rowBytes;
  }
  return offset;
}

struct Transparency {
  bool hasKey = false;
  std::uint16_t key[3] = {0, 0, 0};  // grey, or red, green, blue
};

// Sample n of a row at the given bit depth (unscaled).
unsigned Sample(const std::uint8_t* row, std::size_t n, int depth) {
  switch (depth) {
    case 16:
      return Be16(row + n * 2);
    case 8:
      return row[n];
    default: {
      std::size_t bit = n * depth;
      unsigned byte = row[bit / 8];
      unsigned shift = 8 - unsigned(depth) - unsigned(bit % 8);
      return (byte >> shift) & ((1u << depth) - 1);
    }
  }
}

std::uint8_t Scale8(unsigned v, int depth) {
  switch (depth) {
    case 16:
      return std::uint8_t((v * 255u + 32767u) / 65535u);
    case 8:
      return std::uint8_t(v);
    default:
      return std::uint8_t(v * 255 / ((1u << depth) - 1));
  }
}

}  // namespace

bool IsPng(std::span<const std::uint8_t> data) noexcept {
  return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
}

// One pass over the chunks in file order, each branch reading into the state the later
// chunks and the decoding below depend on (header, palette, transparency, data); kept whole
// so that order and state stay in one view.
// NOLINTNEXTLINE(readability-function-size)
DecodedPng DecodePng(std::span<const std::uint8_t> data) {
  if (!IsPng(data)) throw EPngError("not a PNG picture (signature missing)");
  Header h;
  bool haveHeader = false, haveEnd = false;
  std::vector<std::array<std::uint8_t, 4>> palette;  // RGBA
  Transparency trns;
  std::vector<std::uint8_t> trnsPalette;
  std::vector<std::uint8_t> compressed;
  bool idatSeen = false;

  std::size_t pos = 8;
  while (!haveEnd) {
    if (data.size() - pos < 12)
      throw EPngError(haveHeader ? "file is truncated (no IEND chunk)" : "file is truncated");
    std::uint32_t length = Be32(data.data() + pos);
    const std::uint8_t* type = data.data() + pos + 4;
    if (length > 0x7FFFFFFFu || data.size() - pos - 12 < length)
      throw EPngError("chunk " + ChunkName(type) + " runs past the end of the file");
    const std::uint8_t* body = type + 4;
    std::uint32_t crc = Be32(body + length);
    if (std::uint32_t(crc32(crc32(0, nullptr, 0), type, 4 + length)) != crc)
      throw EPngError("checksum error in chunk " + ChunkName(type));
    pos += 12 + std::size_t(length);
    const std::string name(reinterpret_cast<const char*>(type), 4);

    if (!haveHeader) {
      if (name != "IHDR") throw EPngError("first chunk is not IHDR");
      if (length != 13) throw EPngError("IHDR has the wrong length");
      std::uint32_t w = Be32(body), ht = Be32(body + 4);
      h.depth = body[8];
      h.colorType = body[9];
      if (w == 0 || ht == 0) throw EPngError("image has no pixels");
      if (w > std::uint32_t(kPngMaxDimension) || ht > std::uint32_t(kPngMaxDimension) ||
          std::size_t(w) * ht > kPngMaxPixels)
        throw EPngError("image is too large (" + std::to_string(w) + " x " + std::to_string(ht) + ")");
      h.width = int(w);
      h.height = int(ht);
      if (Channels(h.colorType) == 0)
        throw EPngError("unknown colour type " + std::to_string(h.colorType));
      if (!ValidDepth(h.colorType, h.depth))
        throw EPngError("bit depth " + std::to_string(h.depth) + " is not allowed for colour type " +
                        std::to_string(h.colorType));
      if (body[10] != 0) throw EPngError("unknown compression method");
      if (body[11] != 0) throw EPngError("unknown filter method");
      if (body[12] > 1) throw EPngError("unknown interlace method");
      h.interlaced = body[12] == 1;
      haveHeader = true;
      continue;
    }

    if (name == "IHDR") {
      throw EPngError("second IHDR chunk");
    } else if (name == "PLTE") {
      if (idatSeen) throw EPngError("PLTE after image data");
      if (length % 3 != 0 || length == 0 || length / 3 > 256)
        throw EPngError("PLTE has the wrong length");
      palette.clear();
      for (std::uint32_t i = 0; i < length; i += 3)
        palette.push_back({body[i], body[i + 1], body[i + 2], 255});
    } else if (name == "tRNS") {
      if (h.colorType == 3) {
        trnsPalette.assign(body, body + length);
      } else if (h.colorType == 0) {
        if (length != 2) throw EPngError("tRNS has the wrong length");
        trns.hasKey = true;
        trns.key[0] = Be16(body);
      } else if (h.colorType == 2) {
        if (length != 6) throw EPngError("tRNS has the wrong length");
        trns.hasKey = true;
        for (int i = 0; i < 3; ++i) trns.key[i] = Be16(body + std::ptrdiff_t{2} * i);
      }
      // Grey + alpha and RGBA carry their own alpha: a tRNS there is ignored.
    } else if (name == "IDAT") {
      idatSeen = true;
      if (compressed.size() + length > (std::size_t(1) << 31)) throw EPngError("too much image data");
      compressed.insert(compressed.end(), body, body + length);
    } else if (name == "IEND") {
      haveEnd = true;
    } else if ((type[0] & 0x20) == 0) {
      throw EPngError("unknown critical chunk " + ChunkName(type));
    }
  }

  if (!idatSeen) throw EPngError("no image data (IDAT chunk missing)");
  if (h.colorType == 3) {
    if (palette.empty()) throw EPngError("palette image without PLTE chunk");
    if (trnsPalette.size() > palette.size()) throw EPngError("tRNS has more entries than the palette");
    for (std::size_t i = 0; i < trnsPalette.size(); ++i) palette[i][3] = trnsPalette[i];
  }

  const Pass* passes = h.interlaced ? kAdam7 : &kWhole;
  const int passCount = h.interlaced ? 7 : 1;
  std::size_t expected = 0;
  for (int p = 0; p < passCount; ++p) {
    int cols = PassCols(h, passes[p]), rows = PassRows(h, passes[p]);
    if (cols > 0 && rows > 0) expected += std::size_t(rows) * (1 + h.RowBytes(cols));
  }

  std::vector<std::uint8_t> raw = Inflate(compressed, expected);
  compressed.clear();
  compressed.shrink_to_fit();

  DecodedPng out{h.width,      h.height,
                 h.depth,      h.colorType,
                 h.interlaced, std::vector<std::uint8_t>(std::size_t(h.width) * h.height * 4, 0)};

  const int bpp = std::max(1, h.bitsPerPixel() / 8);
  const int channels = Channels(h.colorType);
  std::size_t offset = 0;
  for (int p = 0; p < passCount; ++p) {
    const Pass& pass = passes[p];
    int cols = PassCols(h, pass), rows = PassRows(h, pass);
    if (cols == 0 || rows == 0) continue;
    const std::size_t rowBytes = h.RowBytes(cols);
    const std::size_t start = offset;
    offset = Unfilter(raw, offset, rows, rowBytes, bpp);
    for (int r = 0; r < rows; ++r) {
      const std::uint8_t* row = raw.data() + start + std::size_t(r) * (1 + rowBytes) + 1;
      const int y = pass.y0 + r * pass.dy;
      for (int c = 0; c < cols; ++c) {
        const int x = pass.x0 + c * pass.dx;
        std::uint8_t* px = out.rgba.data() + (std::size_t(y) * h.width + x) * 4;
        const std::size_t n = std::size_t(c) * channels;
        switch (h.colorType) {
          case 0: {
            unsigned g = Sample(row, n, h.depth);
            px[0] = px[1] = px[2] = Scale8(g, h.depth);
            px[3] = (trns.hasKey && g == trns.key[0]) ? 0 : 255;
            break;
          }
          case 2: {
            unsigned r8 = Sample(row, n, h.depth), g8 = Sample(row, n + 1, h.depth),
                     b8 = Sample(row, n + 2, h.depth);
            px[0] = Scale8(r8, h.depth);
            px[1] = Scale8(g8, h.depth);
            px[2] = Scale8(b8, h.depth);
            px[3] =
                (trns.hasKey && r8 == trns.key[0] && g8 == trns.key[1] && b8 == trns.key[2]) ? 0 : 255;
            break;
          }
          case 3: {
            unsigned idx = Sample(row, n, h.depth);
            if (idx >= palette.size())
              throw EPngError("palette index " + std::to_string(idx) + " out of range");
            std::memcpy(px, palette[idx].data(), 4);
            break;
          }
          case 4:
            px[0] = px[1] = px[2] = Scale8(Sample(row, n, h.depth), h.depth);
            px[3] = Scale8(Sample(row, n + 1, h.depth), h.depth);
            break;
          case 6:
            for (int k = 0; k < 4; ++k) px[k] = Scale8(Sample(row, n + k, h.depth), h.depth);
            break;
        }
      }
    }
  }
  return out;
}

}  // namespace mq
