// Shrinking: one in-place pass whose removals spread right and down, the
// untouched outermost ring, and the colour table of 8-bit images.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

constexpr COLORREF kInk = RGB(30, 90, 30);

/// Builds an image from rows of '#' (ink) and '.' (background). At 8 bits
/// every pixel gets a colour-table entry of its own, so that recolouring an
/// entry changes one pixel only.
void MakeFromPicture(CImageDataModel& image, const std::vector<std::string>& rows, int bits = 24) {
  zt::MakeImage(image, static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), bits);
  for (UINT y = 0; y < rows.size(); ++y) {
    for (UINT x = 0; x < rows[y].size(); ++x) {
      if (bits == 8) zt::SetIndexAt(image, x, y, static_cast<std::uint8_t>(y * rows[y].size() + x));
      image.SetPixel(x, y, rows[y][x] == '#' ? kInk : image.GetBKColor());
    }
  }
}

/// The image as rows of '#' and '.'.
std::vector<std::string> Picture(const CImageDataModel& image) {
  std::vector<std::string> rows;
  for (UINT y = 0; y < image.GetHeight(); ++y) {
    std::string row;
    for (UINT x = 0; x < image.GetWidth(); ++x) row += image.IsBackground(x, y) ? '.' : '#';
    rows.push_back(row);
  }
  return rows;
}

TEST(Shrink, InnerRegionDisappearsCompletely) {
  CImageDataModel image;
  MakeFromPicture(image, {"........", "........", "..#####.", "..#####.", "..#####.", "..#####.",
                          "........", "........"});
  EXPECT_EQ(image.Shrink(), 1);
  EXPECT_EQ(Picture(image), std::vector<std::string>(8, "........"));
}

TEST(Shrink, RemovalSpreadsDownOnlyFromTheBackground) {
  CImageDataModel image;
  MakeFromPicture(image, {"########", "########", "########", "########", "########", "........",
                          "........", "........"});
  EXPECT_EQ(image.Shrink(), 1);
  EXPECT_EQ(Picture(image),
            (std::vector<std::string>{"########", "########", "########", "########", "#......#",
                                      "........", "........", "........"}));
}

TEST(Shrink, HoleGrowsRightAndDownInOnePass) {
  for (int bits : {24, 8}) {
    CImageDataModel image;
    MakeFromPicture(image, {"######", "######", "######", "###.##", "######", "######"}, bits);
    EXPECT_EQ(image.Shrink(), 1);
    EXPECT_EQ(Picture(image), (std::vector<std::string>{"######", "######", "##...#", "#....#",
                                                        "#....#", "######"}))
        << bits;
    // Cleared pixels take the background colour itself.
    EXPECT_EQ(image.GetPixel(2, 2), image.GetBKColor());
  }
}

TEST(Shrink, EightBitRemovalRecoloursEveryPixelOfTheIndex) {
  CImageDataModel image;
  zt::MakeImage(image, 6, 6, 8);
  image.SetBKColor(200, 210, 220);
  RGBQUAD* table = image.GetPalette();
  table[0] = RGBQUAD{220, 210, 200, 0};  // background
  table[5] = RGBQUAD{0, 0, 0, 9};        // ink
  table[6] = RGBQUAD{0, 0, 90, 0};       // other ink
  for (UINT y = 1; y <= 4; ++y)
    for (UINT x = 1; x <= 4; ++x) zt::SetIndexAt(image, x, y, 6);
  zt::SetIndexAt(image, 1, 1, 5);  // removed first
  zt::SetIndexAt(image, 0, 5, 5);  // on the border, shares the index
  EXPECT_EQ(image.Shrink(), 1);
  EXPECT_EQ(image.GetPixel(0, 5), RGB(200, 210, 220));
  EXPECT_EQ(table[5].rgbReserved, 9);
  EXPECT_EQ(zt::IndexAt(image, 1, 1), 5);
  // (2, 1) touches the background above it, so index 6 goes too.
  EXPECT_EQ(image.GetPixel(3, 3), RGB(200, 210, 220));
}

TEST(Shrink, ImagesWithNothingToRemove) {
  CImageDataModel full;
  MakeFromPicture(full, {"#####", "#####", "#####", "#####"});
  full.SetPixel(2, 1, RGB(1, 2, 3));
  EXPECT_EQ(full.Shrink(), 1);
  EXPECT_EQ(Picture(full), std::vector<std::string>(4, "#####"));
  EXPECT_EQ(full.GetPixel(2, 1), RGB(1, 2, 3));

  CImageDataModel narrow;  // no interior pixel
  MakeFromPicture(narrow, {"##", "#.", "##"});
  EXPECT_EQ(narrow.Shrink(), 1);
  EXPECT_EQ(Picture(narrow), (std::vector<std::string>{"##", "#.", "##"}));
  CImageDataModel empty;
  EXPECT_EQ(empty.Shrink(), 0);
}

}  // namespace
