// The tests' GIF writer.
#include "GifWriter.h"

#include <algorithm>
#include <utility>

namespace gift {

namespace {

void Put16(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutTable(Bytes& out, const Bytes& colours, int bits, unsigned seed) {
  Bytes table = colours;
  if (table.size() < 3u * (1u << bits)) MakeColours(table, 1 << bits, seed);
  table.resize(3u << bits);
  out.insert(out.end(), table.begin(), table.end());
}

}  // namespace

std::vector<std::uint32_t> LzwCodes(const Bytes& indices, int minCodeSize,
                                    const LzwOptions& options,
                                    std::vector<std::uint32_t>* lengths) {
  const std::uint32_t clear = 1u << minCodeSize;
  const std::uint32_t end = clear + 1;
  std::vector<std::uint32_t> codes;
  // String table as an open-addressing hash: key (prefix code, index) to
  // code; a slot holds key + 1 (0 when empty).
  constexpr std::size_t kSlots = 1 << 14;
  std::vector<std::uint32_t> keys(kSlots, 0);
  std::vector<std::uint16_t> values(kSlots, 0);
  auto slotOf = [&](std::uint32_t key) {
    std::size_t slot = (key * 2654435761u) >> 18;
    while (keys[slot] != 0 && keys[slot] != key + 1) slot = (slot + 1) & (kSlots - 1);
    return slot;
  };
  std::uint32_t next = clear + 2;
  std::vector<std::uint32_t> length(4096, 1);
  auto emit = [&](std::uint32_t code, std::uint32_t n) {
    codes.push_back(code);
    if (lengths) lengths->push_back(n);
  };
  if (options.initialClear) emit(clear, 0);
  if (!indices.empty()) {
    std::uint32_t current = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const std::uint32_t key = current << 8 | indices[i];
      const std::size_t slot = slotOf(key);
      if (keys[slot] != 0) {
        current = values[slot];
        continue;
      }
      emit(current, length[current]);
      if (next < 4096) {
        length[next] = length[current] + 1;
        keys[slot] = key + 1;
        values[slot] = static_cast<std::uint16_t>(next++);
      } else if (options.clearWhenFull) {
        emit(clear, 0);
        std::fill(keys.begin(), keys.end(), 0);
        next = clear + 2;
      }
      current = indices[i];
    }
    emit(current, length[current]);
  }
  if (options.endCode) emit(end, 0);
  return codes;
}

Bytes PackCodes(const std::vector<std::uint32_t>& codes, int minCodeSize) {
  const std::uint32_t clear = 1u << minCodeSize;
  const std::uint32_t end = clear + 1;
  int size = minCodeSize + 1;
  std::uint32_t free = clear + 2;
  bool literalNext = false;
  Bytes out;
  std::uint64_t buffer = 0;
  int bits = 0;
  for (std::uint32_t code : codes) {
    buffer |= static_cast<std::uint64_t>(code & ((1u << size) - 1)) << bits;
    bits += size;
    while (bits >= 8) {
      out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
      buffer >>= 8;
      bits -= 8;
    }
    if (code == clear) {
      size = minCodeSize + 1;
      free = clear + 2;
      literalNext = true;
    } else if (literalNext) {
      literalNext = false;
    } else if (code != end && free < 4096) {
      if (++free >= (1u << size) && size < 12) ++size;
    }
  }
  if (bits > 0) out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
  return out;
}

Bytes SubBlocks(const Bytes& bytes, int blockSize, bool terminate) {
  Bytes out;
  for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(blockSize)) {
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(blockSize), bytes.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  if (terminate) out.push_back(0);
  return out;
}

Bytes SubBlocksOfSizes(const Bytes& bytes, const std::vector<int>& sizes) {
  Bytes out;
  std::size_t at = 0;
  for (std::size_t k = 0; at < bytes.size(); ++k) {
    const std::size_t size = static_cast<std::size_t>(sizes[std::min(k, sizes.size() - 1)]);
    const std::size_t n = std::min(size, bytes.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  out.push_back(0);
  return out;
}

Bytes EncodeData(const Bytes& indices, int minCodeSize, const LzwOptions& options) {
  return SubBlocks(PackCodes(LzwCodes(indices, minCodeSize, options), minCodeSize));
}

void MakeColours(Bytes& colours, int entries, unsigned seed) {
  colours.clear();
  for (int i = 0; i < entries; ++i) {
    const unsigned v = (static_cast<unsigned>(i) + 1) * 2654435761u + seed * 40503u;
    colours.push_back(static_cast<std::uint8_t>(v >> 24));
    colours.push_back(static_cast<std::uint8_t>(v >> 16));
    colours.push_back(static_cast<std::uint8_t>(v >> 8));
  }
}

Bytes Assemble(const GifPieces& p) {
  Bytes out(p.signature.begin(), p.signature.end());
  Put16(out, p.screenWidth);
  Put16(out, p.screenHeight);
  out.push_back(
      static_cast<std::uint8_t>((p.globalTable ? 0x80 : 0) | (7 << 4) | ((p.globalBits - 1) & 7)));
  out.push_back(p.background);
  out.push_back(p.pixelRatio);
  if (p.globalTable) PutTable(out, p.globalColours, p.globalBits, 1);
  out.insert(out.end(), p.beforeImage.begin(), p.beforeImage.end());
  out.push_back(0x2C);
  Put16(out, p.left);
  Put16(out, p.top);
  Put16(out, p.imageWidth);
  Put16(out, p.imageHeight);
  out.push_back(static_cast<std::uint8_t>((p.localTable ? 0x80 : 0) | (p.interlaced ? 0x40 : 0) |
                                          (p.localTable ? ((p.localBits - 1) & 7) : 0)));
  if (p.localTable) PutTable(out, p.localColours, p.localBits, 2);
  out.push_back(static_cast<std::uint8_t>(p.minCodeSize));
  out.insert(out.end(), p.data.begin(), p.data.end());
  out.insert(out.end(), p.trailer.begin(), p.trailer.end());
  return out;
}

GifPieces SimpleGif(int width, int height, const Bytes& indices, int bits, int minCodeSize) {
  GifPieces p;
  p.screenWidth = p.imageWidth = width;
  p.screenHeight = p.imageHeight = height;
  p.globalBits = bits;
  p.minCodeSize = minCodeSize;
  p.data = EncodeData(indices, minCodeSize);
  return p;
}

Bytes InterlaceRows(const Bytes& indices, int width, int height) {
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  Bytes out;
  for (int pass = 0; pass < 4; ++pass)
    for (int row = kStart[pass]; row < height; row += kStep[pass])
      out.insert(out.end(), indices.begin() + static_cast<std::ptrdiff_t>(row) * width,
                 indices.begin() + static_cast<std::ptrdiff_t>(row + 1) * width);
  return out;
}

Bytes GraphicControlExtension() { return {0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00}; }

}  // namespace gift
