// Every way a block enters the record leaves the record's storage fields
// describing that block, and releases the block it replaces.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

/// A width × height GIF87a file of colour indices 0..3 (top row first),
/// each index sent as a literal right after a clear code, so that the
/// 3-bit code width never grows.
Bytes TinyGif(int width, int height, const Bytes& indices) {
  Bytes file = {'G',
                'I',
                'F',
                '8',
                '7',
                'a',
                static_cast<std::uint8_t>(width),
                0,
                static_cast<std::uint8_t>(height),
                0,
                0x81,
                0,
                0};
  for (int i = 0; i < 4; ++i) file.insert(file.end(), {static_cast<std::uint8_t>(60 * i), 7, 9});
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, static_cast<std::uint8_t>(width), 0,
                           static_cast<std::uint8_t>(height), 0, 0, 2});
  Bytes data;
  std::uint32_t pending = 0;
  int count = 0;
  auto code = [&](std::uint32_t value) {
    pending |= value << count;
    for (count += 3; count >= 8; count -= 8, pending >>= 8)
      data.push_back(static_cast<std::uint8_t>(pending));
  };
  for (std::uint8_t index : indices) {
    code(4);
    code(index);
  }
  code(5);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(pending));
  file.push_back(static_cast<std::uint8_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  file.insert(file.end(), {0, 0x3B});
  return file;
}

struct Entry {
  const char* name;
  std::function<int(CImageDataModel&)> install;
  UINT width, height;
  int bits;
};

TEST(BlockKeeper, EveryWayInLeavesTheRecordDescribingItsBlock) {
  zt::TempDir dir;
  for (int bits : {8, 24}) {
    CImageDataModel source;
    zt::MakeImage(source, 5, 3, bits);
    ASSERT_EQ(source.SaveBMPImage(dir.File(std::to_string(bits) + ".bmp").c_str()), 1);
  }
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("a.gif"), TinyGif(3, 2, {0, 1, 2, 3, 2, 1})));
  const std::string bmp8 = dir.File("8.bmp"), bmp24 = dir.File("24.bmp");
  const std::string gif = dir.File("a.gif");
  const std::vector<Entry> entries = {
      {"InitImage", [](CImageDataModel& r) { return r.InitImage(5, 3, 8); }, 5, 3, 8},
      {"narrow BMP", [&](CImageDataModel& r) { return r.ReadBMPImage(bmp24.c_str()); }, 5, 3, 24},
      {"widened BMP",
       [&](CImageDataModel& r) { return r.ReadBMPImage(bmp8.c_str(), ZENTREL_READ_WIDE); }, 5, 3,
       8},
      {"GIF", [&](CImageDataModel& r) { return r.ReadGIFImage(gif.c_str()); }, 3, 2, 8},
      // 4 × 2 at 8 bits turns into a new block; 5 × 3 at 24 bits within its own.
      {"Left90 new block", [](CImageDataModel& r) { return r.InitImage(4, 2, 8) && r.Left90(); }, 2,
       4, 8},
      {"Right90 same block",
       [](CImageDataModel& r) { return r.InitImage(5, 3, 24) && r.Right90(); }, 3, 5, 24},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    CImageDataModel record;
    zt::MakeImage(record, 9, 7, 24);  // a block the new one replaces
    record.SetRange(1, 2, 3, 4);
    ASSERT_EQ(e.install(record), 1);
    const UINT colours = e.bits == 8 ? 256 : 0;
    const UINT line = (e.width * e.bits + 31) / 32 * 4;
    EXPECT_EQ(record.GetWidth(), e.width);
    EXPECT_EQ(record.GetHeight(), e.height);
    EXPECT_EQ(record.GetLineBytes(), line);
    EXPECT_EQ(record.GetRange(), CRect(0, 0, e.width - 1, e.height - 1));
    const BITMAPINFOHEADER* header = record.GetBmh();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, static_cast<LONG>(e.width));
    EXPECT_EQ(header->biHeight, static_cast<LONG>(e.height));
    EXPECT_EQ(record.GetColorPixel(), e.bits);
    const BYTE* start = reinterpret_cast<const BYTE*>(header);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(record.GetPalette()), start + 40);
    EXPECT_EQ(record.GetBuffer(), start + 40 + 4 * colours);
    EXPECT_NE(record.GetHandle(), nullptr);
  }
}

}  // namespace
