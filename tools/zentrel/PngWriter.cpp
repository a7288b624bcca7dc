// PNG encoding with a minimal deflate: literals and matches at distance 1
// (runs) or one row back, all with the fixed Huffman codes.
#include "PngWriter.h"

#include <array>

namespace cli {
namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : m_out(out) {}
  void Bits(std::uint32_t value, int count) {  // least significant bit first
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, int length) {  // Huffman codes go most significant bit first
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  void Flush() {
    if (m_count) m_out.push_back(m_byte);
    m_byte = 0;
    m_count = 0;
  }

 private:
  void Bit(std::uint32_t bit) {
    m_byte |= static_cast<std::uint8_t>(bit << m_count);
    if (++m_count == 8) Flush();
  }
  std::vector<std::uint8_t>& m_out;
  std::uint8_t m_byte = 0;
  int m_count = 0;
};

void LiteralOrLength(BitWriter& w, int symbol) {
  if (symbol < 144)
    w.Code(0x30 + symbol, 8);
  else if (symbol < 256)
    w.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    w.Code(symbol - 256, 7);
  else
    w.Code(0xC0 + symbol - 280, 8);
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void Match(BitWriter& w, int length, int distance) {
  int l = 28;
  while (kLengthBase[l] > length) --l;
  LiteralOrLength(w, 257 + l);
  w.Bits(length - kLengthBase[l], kLengthExtra[l]);
  int d = 29;
  while (kDistanceBase[d] > distance) --d;
  w.Code(d, 5);
  w.Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
}

std::size_t MatchLength(const std::vector<std::uint8_t>& data, std::size_t at,
                        std::size_t distance) {
  if (distance == 0 || distance > 32768 || at < distance) return 0;
  std::size_t n = 0;
  while (n < 258 && at + n < data.size() && data[at + n] == data[at + n - distance]) ++n;
  return n;
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, std::size_t stride) {
  std::vector<std::uint8_t> out = {0x78, 0x01};  // zlib header: deflate, 32 KiB window
  BitWriter w(out);
  w.Bits(1, 1);  // final block
  w.Bits(1, 2);  // fixed Huffman codes
  for (std::size_t i = 0; i < data.size();) {
    const std::size_t run = MatchLength(data, i, 1);
    const std::size_t up = MatchLength(data, i, stride);
    const std::size_t best = std::max(run, up);
    if (best >= 3) {
      Match(w, static_cast<int>(best), static_cast<int>(up >= run ? stride : 1));
      i += best;
    } else {
      LiteralOrLength(w, data[i++]);
    }
  }
  LiteralOrLength(w, 256);
  w.Flush();
  std::uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed data
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  const std::uint32_t adler = (b << 16) | a;
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(adler >> shift));
  return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void Chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& body) {
  const std::uint32_t n = static_cast<std::uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(n >> shift));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  const std::uint32_t crc = Crc32(png.data() + start, png.size() - start);
  for (int shift = 24; shift >= 0; shift -= 8)
    png.push_back(static_cast<std::uint8_t>(crc >> shift));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const CImageDataModel& image) {
  const UINT width = image.GetWidth(), height = image.GetHeight();
  const bool palette = image.GetColorPixel() == 8;
  const std::size_t stride = 1 + static_cast<std::size_t>(width) * (palette ? 1 : 3);
  std::vector<std::uint8_t> raw;
  raw.reserve(stride * height);
  for (UINT y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    const BYTE* row =
        image.GetBuffer() + static_cast<std::size_t>(height - 1 - y) * image.GetLineBytes();
    for (UINT x = 0; x < width; ++x) {
      if (palette) {
        raw.push_back(row[x]);
      } else {
        raw.push_back(row[3 * x + 2]);
        raw.push_back(row[3 * x + 1]);
        raw.push_back(row[3 * x]);
      }
    }
  }
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  Put32(header, width);
  Put32(header, height);
  header.insert(header.end(), {8, static_cast<std::uint8_t>(palette ? 3 : 2), 0, 0, 0});
  Chunk(png, "IHDR", header);
  if (palette) {
    std::vector<std::uint8_t> entries;
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& q = image.GetPalette()[i];
      entries.insert(entries.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
    Chunk(png, "PLTE", entries);
  }
  Chunk(png, "IDAT", Deflate(raw, stride));
  Chunk(png, "IEND", {});
  return png;
}

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= bytes[i + 2];
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

}  // namespace cli
