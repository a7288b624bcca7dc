// The reference reader: every step in its plainest form, with 32-bit table
// entries, a stack of 4097 entries and one PutPixel per index.
#include "GifReference.h"

#include <cstring>
#include <memory>

namespace gift {

namespace {

using std::uint32_t;
using std::uint64_t;
using std::uint8_t;

// The file as the reader sees it: reads return fewer bytes at the end.
struct MemoryFile {
  const std::vector<uint8_t>& bytes;
  uint64_t pos = 0;

  uint32_t Read(uint8_t* out, uint32_t count) {
    uint32_t n = 0;
    while (n < count && pos < bytes.size()) out[n++] = bytes[pos++];
    return n;
  }
  void SeekFromCurrent(int64_t offset) {
    pos = static_cast<uint64_t>(static_cast<int64_t>(pos) + offset);
  }
};

class Reference {
 public:
  explicit Reference(const std::vector<uint8_t>& bytes) : file{bytes} {}

  ReferenceOutcome Run() {
    outcome.result = Decode();
    if (outcome.result) outcome.block = block;
    return outcome;
  }

 private:
  int Fail(const char* message) {
    if (message) outcome.messages.push_back(message);
    block.clear();
    return 0;
  }

  int Decode() {
    if (file.bytes.size() <= chunkSize) chunkSize = static_cast<uint32_t>(file.bytes.size());
    file.pos = 0;

    uint8_t sig[6] = {};
    file.Read(sig, 6);
    if (std::memcmp(sig, "GIF89a", 6) != 0 && std::memcmp(sig, "GIF87a", 6) != 0)
      return Fail("Not a GIF file!");

    uint8_t lsd[7] = {};
    file.Read(lsd, 7);
    screenWidth = lsd[0] | lsd[1] << 8;
    screenHeight = lsd[2] | lsd[3] << 8;
    const bool globalTable = (lsd[4] & 0x80) != 0;
    colorCount = 1 << ((lsd[4] & 7) + 1);
    colorMask = static_cast<uint32_t>(colorCount - 1);
    if (lsd[6] != 0) return Fail("Corrupt GIF file!");
    if (!globalTable) return Fail("File has not color table!\n");

    // The block: header, 256 colours, rows and a spare row, below 2 GiB.
    rowBytes = (static_cast<uint64_t>(screenWidth) * 8 + 31) / 32 * 4;
    const uint64_t size = 40 + 1024 + rowBytes * (static_cast<uint64_t>(screenHeight) + 1);
    if (screenWidth <= 0 || screenHeight <= 0 || size > 0x7FFFFFFFu)
      return Fail("Insufissiant Memory!");
    block.assign(size, 0);
    const uint32_t header[10] = {
        40u,
        static_cast<uint32_t>(screenWidth),
        static_cast<uint32_t>(screenHeight),
        1u | (8u << 16),
        0u,
        static_cast<uint32_t>(rowBytes * static_cast<uint64_t>(screenHeight)),
        0u,
        0u,
        256u,
        256u};
    for (int i = 0; i < 10; ++i)
      for (int b = 0; b < 4; ++b) block[4 * i + b] = static_cast<uint8_t>(header[i] >> (8 * b));

    ReadColours(static_cast<uint32_t>(colorCount));

    uint8_t desc[10] = {};
    file.Read(desc, 10);
    if (desc[0] != 0x2C) return Fail("Corrupt GIF file (No image separator)!\n");
    imageWidth = desc[5] | desc[6] << 8;
    imageHeight = desc[7] | desc[8] << 8;
    interlaced = (desc[9] & 0x40) != 0;
    if (desc[9] & 0x80) {
      colorCount = 1 << ((desc[9] & 7) + 1);
      colorMask = static_cast<uint32_t>(colorCount - 1);
      ReadColours(static_cast<uint32_t>(colorCount));
    }
    uint8_t m = 0;
    file.Read(&m, 1);
    if (m > 11) return Fail(nullptr);

    clearCode = 1u << m;
    endCode = clearCode + 1;
    firstFree = freeCode = clearCode + 2;
    initCodeSize = codeSize = m + 1;
    maxCode = 1u << codeSize;
    readMask = maxCode - 1;

    data.assign(chunkSize + 255, 0);
    outcome.bufferBytes = data.size();
    DecodingLoop();
    return 1;
  }

  void ReadColours(uint32_t count) {
    std::vector<uint8_t> table(3 * count, 0);
    file.Read(table.data(), 3 * count);
    for (uint32_t i = 0; i < 256; ++i) {
      uint8_t* q = &block[40 + 4 * i];
      if (i < count) {
        q[0] = table[3 * i + 2];
        q[1] = table[3 * i + 1];
        q[2] = table[3 * i];
      } else {
        q[0] = q[1] = q[2] = 0;
      }
      q[3] = 0;
    }
  }

  uint32_t ReadSubBlocks() {
    uint32_t n = 0;
    uint8_t c = 0;
    for (;;) {
      if (file.Read(&c, 1) == 0) break;
      n += file.Read(&data[n], c);
      if (!(c != 0 && n <= chunkSize)) break;
    }
    ++outcome.fills;
    return n;
  }

  uint32_t GetNextCode() {
    if (bitPos >= 8 * dataBytes) {
      bitPos -= 8 * dataBytes;
      dataBytes = ReadSubBlocks();
      if (dataBytes == 0) return endCode;
    }
    const uint32_t i = bitPos / 8;
    if (i > outcome.largestByteIndex) outcome.largestByteIndex = i;
    const uint32_t b0 = i < data.size() ? data[i] : 0;  // past the buffer: 0
    uint32_t b1 = 0, b2 = 0;
    uint32_t fromFile = 0;
    bool step3Read = false;
    bool wentToFile = false;
    uint8_t byte = 0;
    if (i + 1 < dataBytes) {
      b1 = data[i + 1];
    } else {
      step3Read = wentToFile = true;
      fromFile += file.Read(&byte, 1);  // count byte, discarded
      byte = 0;
      const uint32_t got = file.Read(&byte, 1);
      fromFile += got;
      b1 = got ? byte : 0;
    }
    if (codeSize >= 8) {
      if (i + 2 < dataBytes) {
        b2 = data[i + 2];
      } else {
        wentToFile = true;
        if (!step3Read) fromFile += file.Read(&byte, 1);
        byte = 0;
        const uint32_t got = file.Read(&byte, 1);
        fromFile += got;
        b2 = got ? byte : 0;
      }
    }
    if (wentToFile) ++outcome.takeAheads;
    if (fromFile) file.SeekFromCurrent(-static_cast<int64_t>(fromFile));
    const uint32_t code = ((b2 * 65536 + b1 * 256 + b0) >> (bitPos % 8)) & readMask;
    bitPos += static_cast<uint32_t>(codeSize);
    return code;
  }

  void PutPixel(uint32_t index) {
    if (row >= imageHeight) return;
    const int stored = imageHeight - 1 - row;
    if (stored < screenHeight && col < screenWidth)
      block[40 + 1024 + static_cast<uint64_t>(stored) * rowBytes + static_cast<uint64_t>(col)] =
          static_cast<uint8_t>(index);
    col += 1;
    if (col >= imageWidth) {
      col = 0;
      if (!interlaced) {
        row += 1;
      } else {
        static const int step[4] = {8, 8, 4, 2};
        static const int start[4] = {0, 4, 2, 1};
        row += step[pass];
        while (row >= imageHeight && pass < 3) {
          pass += 1;
          row = start[pass];
        }
      }
    }
  }

  void Push(uint32_t value) { stack[stackTop++] = value; }

  void DecodingLoop() {
    for (;;) {
      uint32_t code = GetNextCode();
      if (code == endCode) break;
      if (code == clearCode) {
        codeSize = initCodeSize;
        maxCode = 1u << codeSize;
        readMask = maxCode - 1;
        freeCode = firstFree;
        code = GetNextCode();
        oldCode = code;
        finChar = code & colorMask;
        PutPixel(finChar);
        continue;
      }
      inCode = code;
      curCode = code;
      if (code >= freeCode) {
        curCode = oldCode;
        Push(finChar);
      }
      // Table codes: above the colour mask, or assigned entries.
      while ((curCode > colorMask || curCode >= firstFree) && stackTop < 4096 && curCode < 4096) {
        Push(suffix[curCode]);
        curCode = prefix[curCode];
      }
      finChar = curCode & colorMask;
      Push(finChar);
      while (stackTop > 0) PutPixel(stack[--stackTop]);
      if (freeCode >= 4096) break;
      prefix[freeCode] = oldCode;
      suffix[freeCode] = finChar;
      oldCode = inCode;
      freeCode += 1;
      if (freeCode >= maxCode && codeSize < 12) {
        codeSize += 1;
        maxCode = 1u << codeSize;
        readMask = maxCode - 1;
      }
    }
  }

  MemoryFile file;
  ReferenceOutcome outcome;
  std::vector<uint8_t> block;
  std::vector<uint8_t> data;
  uint64_t rowBytes = 0;
  uint32_t chunkSize = 51200, dataBytes = 0, bitPos = 0;
  int screenWidth = 0, screenHeight = 0, imageWidth = 0, imageHeight = 0;
  int colorCount = 0;
  bool interlaced = false;
  uint32_t colorMask = 0, clearCode = 0, endCode = 0, firstFree = 0, freeCode = 0;
  int codeSize = 0, initCodeSize = 0;
  uint32_t maxCode = 0, readMask = 0;
  uint32_t curCode = 0, oldCode = 0, inCode = 0, finChar = 0;
  int col = 0, row = 0, pass = 0;
  uint32_t prefix[4096] = {};
  uint32_t suffix[4096] = {};
  uint32_t stack[4097] = {};
  int stackTop = 0;
};

}  // namespace

ReferenceOutcome DecodeReference(const std::vector<uint8_t>& file) {
  // About 50 KB of tables: kept off the stack.
  auto reference = std::make_unique<Reference>(file);
  return reference->Run();
}

}  // namespace gift
