// The image record: defaults, attributes, the packed DIB layout, release,
// the size check and the palette object.
#include <gtest/gtest.h>

#include <cstring>

#include "ImageDataModel.h"
#include "support/AllocationFaults.h"
#include "support/TestSupport.h"

namespace {

// Exposes the protected fields, as a host's derived class may.
class RecordProbe : public CImageDataModel {
 public:
  using CImageDataModel::CImageDataModel;
  using CImageDataModel::m_crBackground;
  using CImageDataModel::m_nID;
  using CImageDataModel::m_nLineBytes;
  using CImageDataModel::m_nRuler;
  using CImageDataModel::m_pBits;
  using CImageDataModel::m_pBmh;
  using CImageDataModel::m_pPalette;
};

TEST(ImageRecord, DefaultsOfBothConstructors) {
  CImageDataModel image;
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetID(), -1);
  EXPECT_EQ(image.GetRuler(), 4);
  EXPECT_EQ(image.GetScale(), 1.0);
  EXPECT_EQ(image.GetBKColor(), 0x00EBEBEBu);
  EXPECT_EQ(image.GetPrecision(), 20);
  EXPECT_EQ(image.GetWidth(), 0u);
  EXPECT_EQ(image.GetHeight(), 0u);
  EXPECT_EQ(image.GetRange(), CRect(0, 0, 0, 0));
  EXPECT_TRUE(image.GetName().IsEmpty());
  EXPECT_EQ(image.GetColorPixel(), 0);
  EXPECT_EQ(image.GetImageColors(), 0);
  EXPECT_EQ(image.GetDIBPalette(), nullptr);
  EXPECT_EQ(image.GetHandle(), nullptr);
  EXPECT_EQ(image.FreeImage(), 0);

  RecordProbe ranged(CRect(1, 2, 3, 4));
  EXPECT_EQ(ranged.GetRange(), CRect(1, 2, 3, 4));
  EXPECT_EQ(ranged.m_nID, -1);
  EXPECT_EQ(ranged.m_nRuler, 4);
  EXPECT_EQ(ranged.m_crBackground, 0x00EBEBEBu);
  EXPECT_EQ(ranged.m_nLineBytes, 0u);
  EXPECT_EQ(ranged.GetPrecision(), 20);
  EXPECT_EQ(ranged.IsEmpty(), 1);
}

TEST(ImageRecord, AttributeStoresClampsAndWraps) {
  CImageDataModel image;
  const int precisions[][2] = {{10, 15}, {15, 15}, {16, 16}, {27, 27},
                               {40, 40}, {41, 40}, {-5, 15}};
  for (const auto& [given, stored] : precisions) {
    image.SetPrecision(given);
    EXPECT_EQ(image.GetPrecision(), stored) << given;
  }
  image.SetBKColor(1, 2, 3);
  EXPECT_EQ(image.GetBKColor(), 0x00030201u);
  image.SetRuler(70000);
  EXPECT_EQ(image.GetRuler(), 4464);
  image.SetRuler(-1);
  EXPECT_EQ(image.GetRuler(), -1);
  image.SetRuler(0x8000);
  EXPECT_EQ(image.GetRuler(), -32768);
  image.SetRange(5, 0, 3, 0);
  EXPECT_EQ(image.GetRangeWidth(), 4294967294u);
  EXPECT_EQ(image.GetRangeHeight(), 0u);
  image.SetRange(RECT{-2147483647 - 1, 0, 2147483647, 7});
  EXPECT_EQ(image.GetRangeWidth(), 0xFFFFFFFFu);
  EXPECT_EQ(image.GetRangeHeight(), 7u);
  image.SetID(123456);
  image.SetName("sheet 7");
  image.SetScale(0.25);
  EXPECT_EQ(image.GetID(), 123456);
  EXPECT_EQ(image.GetName(), "sheet 7");
  EXPECT_EQ(image.GetScale(), 0.25);
}

TEST(ImageRecord, EightBitBlockLayout) {
  RecordProbe image;
  ASSERT_EQ(image.InitImage(100, 50, 8), 1);
  EXPECT_EQ(image.GetWidth(), 100u);
  EXPECT_EQ(image.GetHeight(), 50u);
  EXPECT_EQ(image.m_nLineBytes, 100u);
  EXPECT_EQ(image.GetColorPixel(), 8);
  EXPECT_EQ(image.GetImageColors(), 256);
  EXPECT_EQ(image.GetRange(), CRect(0, 0, 99, 49));
  EXPECT_EQ(image.GetRangeWidth(), 99u);

  const BYTE* block = reinterpret_cast<const BYTE*>(image.GetBmh());
  EXPECT_EQ(reinterpret_cast<const BYTE*>(image.GetPalette()), block + 40);
  EXPECT_EQ(image.GetBuffer(), block + 40 + 1024);
  const BITMAPINFOHEADER& h = *image.GetBmh();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 100);
  EXPECT_EQ(h.biHeight, 50);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 5000u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biClrImportant, 256u);

  // Colour table, pixel rows and the spare row are all zero; the whole
  // 6164-byte block is addressable (the sanitizer build checks the bound).
  const std::size_t blockBytes = 40 + 1024 + 100 * 51;
  for (std::size_t i = 40; i < blockBytes; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
}

TEST(ImageRecord, TrueColourBlockLayoutAndRowLengths) {
  RecordProbe image;
  ASSERT_EQ(image.InitImage(10, 10, 24), 1);
  EXPECT_EQ(image.m_nLineBytes, 32u);
  EXPECT_EQ(image.GetImageColors(), 0);
  EXPECT_EQ(image.GetBmh()->biClrUsed, 0u);
  EXPECT_EQ(image.GetBmh()->biSizeImage, 320u);
  EXPECT_EQ(reinterpret_cast<BYTE*>(image.GetPalette()), image.GetBuffer());
  EXPECT_EQ(image.GetBuffer(), reinterpret_cast<BYTE*>(image.GetBmh()) + 40);
  const BYTE* bits = image.GetBuffer();
  for (std::size_t i = 0; i < 392 - 40; ++i) ASSERT_EQ(bits[i], 0);

  RecordProbe narrow;
  ASSERT_EQ(narrow.InitImage(3, 1, 8), 1);
  EXPECT_EQ(narrow.m_nLineBytes, 4u);
  RecordProbe tiny;
  ASSERT_EQ(tiny.InitImage(1, 1, 24), 1);
  EXPECT_EQ(tiny.m_nLineBytes, 4u);
}

TEST(ImageRecord, InitImageRefusesBadRequests) {
  CImageDataModel image;
  for (int bits : {0, 1, 4, 16, 32}) EXPECT_EQ(image.InitImage(4, 4, bits), 0) << bits;
  EXPECT_EQ(image.InitImage(0, 4, 8), 0);
  EXPECT_EQ(image.InitImage(4, -3, 24), 0);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.GetWidth(), 0u);
}

// block-size-cap: a block over 2 GiB − 1 bytes is refused before any memory
// is asked for, and the image held before is released; the largest block
// within the cap is asked for (and refused here by the simulated fault).
TEST(ImageRecord, BlockSizeCapRefusesInitImageWithAnEmptyRecord) {
  struct Request {
    int width, height, bits;
    bool asked;
  };
  // 24-bit, one pixel wide: 40 + 4 × (height + 1) bytes; 8-bit, four
  // pixels wide: 40 + 1024 + 4 × (height + 1).
  for (const Request& r :
       {Request{1, 536870900, 24, true}, Request{1, 536870901, 24, false},
        Request{4, 536870644, 8, true}, Request{4, 536870645, 8, false},
        Request{46341, 46341, 8, false},  // 2^31 pixels
        Request{65536, 65535, 8, false},  // 32-bit block size wraps
        Request{2147483647, 1, 24, false}, Request{2147483647, 2147483647, 24, false}}) {
    CImageDataModel image;
    ASSERT_EQ(image.InitImage(4, 4, 8), 1);
    zt::FailNthAllocation fail(1);
    EXPECT_EQ(image.InitImage(r.width, r.height, r.bits), 0) << r.width << "x" << r.height;
    EXPECT_EQ(fail.Triggered(), r.asked) << r.width << "x" << r.height;
    EXPECT_EQ(image.IsEmpty(), 1);
    EXPECT_EQ(image.GetBuffer(), nullptr);
  }
}

TEST(ImageRecord, FreeKeepsSizeAndInitImageRebuilds) {
  CImageDataModel image;
  ASSERT_EQ(image.InitImage(7, 5, 8), 1);
  image.SetRange(1, 1, 2, 2);
  EXPECT_EQ(image.FreeImage(), 1);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.FreeImage(), 0);
  EXPECT_EQ(image.GetWidth(), 7u);
  EXPECT_EQ(image.GetHeight(), 5u);
  EXPECT_EQ(image.GetRange(), CRect(1, 1, 2, 2));
  EXPECT_EQ(image.GetBuffer(), nullptr);
  EXPECT_EQ(image.GetPalette(), nullptr);
  EXPECT_EQ(image.GetBmh(), nullptr);

  ASSERT_EQ(image.InitImage(24), 1);
  EXPECT_EQ(image.GetColorPixel(), 24);
  EXPECT_EQ(image.GetWidth(), 7u);
  EXPECT_EQ(image.GetLineBytes(), 24u);
  EXPECT_EQ(image.GetRange(), CRect(0, 0, 6, 4));
}

TEST(ImageRecord, InitImageReplacesAHeldImage) {
  CImageDataModel image;
  ASSERT_EQ(image.InitImage(4, 4, 8), 1);
  image.GetBuffer()[0] = 9;
  ASSERT_EQ(image.InitImage(6, 2, 24), 1);  // the old block is released, not leaked
  EXPECT_EQ(image.GetWidth(), 6u);
  EXPECT_EQ(image.GetColorPixel(), 24);
  EXPECT_EQ(image.GetBuffer()[0], 0);
}

TEST(ImageRecord, ColourDepthStatementIsLimitedToTheBlock) {
  CImageDataModel empty;
  empty.SetColorPixel(8);
  EXPECT_EQ(empty.GetColorPixel(), 0);

  CImageDataModel image;
  ASSERT_EQ(image.InitImage(2, 2, 8), 1);
  image.SetColorPixel(24);  // would read three bytes per pixel: refused
  EXPECT_EQ(image.GetColorPixel(), 8);
  // A host may write the header directly; the count follows its depth.
  for (const auto& [depth, colours] : std::vector<std::pair<WORD, short>>{
           {4, 16}, {0, 1}, {12, 4096}, {15, -32768}, {16, 0}, {24, 0}}) {
    image.GetBmh()->biBitCount = depth;
    EXPECT_EQ(image.GetImageColors(), colours) << depth;
  }
  image.SetColorPixel(8);
  EXPECT_EQ(image.GetColorPixel(), 8);

  ASSERT_EQ(image.InitImage(2, 2, 24), 1);
  image.SetColorPixel(8);  // no colour table in this block: refused
  EXPECT_EQ(image.GetColorPixel(), 24);
  image.GetBmh()->biBitCount = 32;
  EXPECT_EQ(image.GetImageColors(), 0);
}

TEST(ImageRecord, SizeCheckReleasesLargeMapsWithItsMessage) {
  zt::MessageCapture messages;
  CImageDataModel empty;
  EXPECT_EQ(empty.InitDIBData(), 0);
  EXPECT_TRUE(messages.texts().empty());

  CImageDataModel wide;
  ASSERT_EQ(wide.InitImage(10001, 20, 24), 1);
  EXPECT_EQ(wide.InitDIBData(), 0);
  EXPECT_EQ(wide.IsEmpty(), 1);
  ASSERT_EQ(messages.texts().size(), 1u);
  EXPECT_EQ(messages.texts()[0], "Map is too large");
  EXPECT_EQ(messages.styles()[0], 0x40u);

  CImageDataModel high;
  ASSERT_EQ(high.InitImage(3, 10001, 8), 1);
  EXPECT_EQ(high.InitDIBData(), 0);
  EXPECT_EQ(messages.texts().size(), 2u);

  CImageDataModel limit;
  ASSERT_EQ(limit.InitImage(10000, 10000, 8), 1);
  EXPECT_EQ(limit.InitDIBData(), 1);
  EXPECT_EQ(messages.texts().size(), 2u);
}

TEST(ImageRecord, PaletteObjectSnapshotsTheColourTable) {
  CImageDataModel colour;
  ASSERT_EQ(colour.InitImage(3, 3, 24), 1);
  EXPECT_EQ(colour.InitDIBData(), 1);
  EXPECT_EQ(colour.GetDIBPalette(), nullptr);
  EXPECT_EQ(colour.CreateDIBPalette(), 0);

  CImageDataModel image;
  ASSERT_EQ(image.InitImage(3, 3, 8), 1);
  EXPECT_EQ(image.CreateDIBPalette(), 0);  // no palette object yet
  RGBQUAD* table = image.GetPalette();
  for (int i = 0; i < 256; ++i)
    table[i] =
        RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 7};
  ASSERT_EQ(image.InitDIBData(), 1);
  CPalette* palette = image.GetDIBPalette();
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->GetEntryCount(), 256);
  PALETTEENTRY entries[256];
  ASSERT_EQ(palette->GetPaletteEntries(0, 256, entries), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(entries[i].peRed, i / 2);
    EXPECT_EQ(entries[i].peGreen, 255 - i);
    EXPECT_EQ(entries[i].peBlue, i);
    EXPECT_EQ(entries[i].peFlags, 0);
  }

  // Later colour-table changes reach a palette only when it is rebuilt.
  table[5].rgbRed = 200;
  palette->GetPaletteEntries(5, 1, entries);
  EXPECT_EQ(entries[0].peRed, 2);
  EXPECT_EQ(image.CreateDIBPalette(), 1);
  palette->GetPaletteEntries(5, 1, entries);
  EXPECT_EQ(entries[0].peRed, 200);

  // A second InitDIBData replaces the palette object.
  ASSERT_EQ(image.InitDIBData(), 1);
  ASSERT_NE(image.GetDIBPalette(), nullptr);
  EXPECT_EQ(image.GetDIBPalette()->GetEntryCount(), 256);
}

}  // namespace
