// A host that writes the depth or size fields of the block's header: no
// operation may then read or write outside the block (the sanitizer build
// checks every access). A depth the block was not made for makes every
// operation act as on an empty record; sizes other than the record's leave
// the operations working on the record's sizes, and painting, which hands
// the header to the device, paints nothing. Also the palette object of a
// true-colour image.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace {

// The protected tracing operations, as a host's derived class reaches them.
class Record : public CImageDataModel {
 public:
  using CImageDataModel::VecConnect;
  using CImageDataModel::VecTrace;
};

/// The colour table and the stored rows.
std::vector<BYTE> BodyBytes(const CImageDataModel& image) {
  if (image.IsEmpty()) return {};
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetPalette());
  const BYTE* end = image.GetBuffer() + std::size_t{image.GetLineBytes()} * image.GetHeight();
  return std::vector<BYTE>(start, end);
}

/// A record holding a pattern of background and other pixels.
void MakePatterned(Record& image, int width, int height, int bits) {
  zt::MakeImage(image, width, height, bits);
  if (bits == 8) zt::SetGreyTable(image);
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) {
      const BYTE level = static_cast<BYTE>((x + y) % 3 ? 20 * x + 7 * y : 235);
      if (bits == 8)
        zt::SetIndexAt(image, x, y, level);
      else
        image.SetPixel(x, y, RGB(level, level, level));
    }
}

void Copy(const Record& from, Record& to) {
  zt::MakeImage(to, static_cast<int>(from.GetWidth()), static_cast<int>(from.GetHeight()),
                from.GetColorPixel());
  std::memcpy(to.GetBmh(), from.GetBmh(),
              reinterpret_cast<const BYTE*>(from.GetBuffer()) -
                  reinterpret_cast<const BYTE*>(from.GetBmh()) +
                  std::size_t{from.GetLineBytes()} * from.GetHeight());
}

struct HeaderEdit {
  const char* what;
  int width, height, bits;
  void (*apply)(BITMAPINFOHEADER&);
  bool depthChanged;
};

const HeaderEdit kEdits[] = {
    {"24 to 8 bits on 2x2", 2, 2, 24, [](BITMAPINFOHEADER& h) { h.biBitCount = 8; }, true},
    {"8 to 24 bits on 100x5", 100, 5, 8, [](BITMAPINFOHEADER& h) { h.biBitCount = 24; }, true},
    {"24 to 32 bits on 7x6", 7, 6, 24, [](BITMAPINFOHEADER& h) { h.biBitCount = 32; }, true},
    {"8 to 1 bit on 1x3", 1, 3, 8, [](BITMAPINFOHEADER& h) { h.biBitCount = 1; }, true},
    {"width grown", 12, 9, 24, [](BITMAPINFOHEADER& h) { h.biWidth += 40; }, false},
    {"width negative", 12, 9, 8, [](BITMAPINFOHEADER& h) { h.biWidth = -12; }, false},
    {"height grown", 12, 9, 8, [](BITMAPINFOHEADER& h) { h.biHeight *= 50; }, false},
    {"height shrunk", 12, 9, 24, [](BITMAPINFOHEADER& h) { h.biHeight = 1; }, false},
};

/// An operation and what it gave, as one number (0 for those giving none).
struct Operation {
  const char* name;
  std::function<long long(Record&)> run;
  bool paints;
};

long long Paint(Record& image) {
  CDC device(48, 48);
  CRect rect(0, 0, 40, 40);
  return image.PaintImageToDevice(&device, &rect);
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> operations = {
      {"GetPixel", [](Record& r) { return r.GetPixel(1, 1) + 3ll * r.GetPixel(0, 1); }, false},
      {"GetPixel window", [](Record& r) { return r.GetPixel(1, 1, 3, 3); }, false},
      {"SetPixel", [](Record& r) { return r.SetPixel(0, 1, RGB(1, 2, 3)), 0; }, false},
      {"ColorDistance", [](Record& r) { return r.ColorDistance(1, 0, RGB(255, 255, 255)); }, false},
      {"IsBackground", [](Record& r) { return r.IsBackground(0, 0); }, false},
      {"IsEdge", [](Record& r) { return r.IsEdge(1, 1) + 2 * r.IsEdge(0, 0); }, false},
      {"IsEdge colour", [](Record& r) { return r.IsEdge(1, 1, RGB(235, 235, 235)); }, false},
      {"Edge", [](Record& r) { return r.Edge(); }, false},
      {"RemoveNoise", [](Record& r) { return r.RemoveNoise(3, 3, 4, 3); }, false},
      {"Shrink", [](Record& r) { return r.Shrink(); }, false},
      {"Flip", [](Record& r) { return r.Flip(); }, false},
      {"Mirror", [](Record& r) { return r.Mirror(); }, false},
      {"Left90", [](Record& r) { return r.Left90(); }, false},
      {"Right90", [](Record& r) { return r.Right90(); }, false},
      {"Rotate", [](Record& r) { return r.Rotate(30); }, false},
      {"VecConnect", [](Record& r) { return r.VecConnect(1, 1, RGB(235, 235, 235)); }, false},
      {"VecTrace",
       [](Record& r) {
         std::vector<POINT> points(16000);
         return r.VecTrace(1, 1, RGB(235, 235, 235), points.data());
       },
       false},
      {"GetMinRegion",
       [](Record& r) {
         CRect rect;
         const long long colour = r.GetMinRegion(POINT{1, 1}, rect);
         return colour + (static_cast<long long>(rect.right) << 32);
       },
       false},
      {"DDALine", [](Record& r) { return r.DDALine(CPoint(0, 0), CPoint(40, 9), 0xFF), 0; }, false},
      {"InitDIBData", [](Record& r) { return r.InitDIBData(); }, false},
      {"CreateDIBPalette", [](Record& r) { return r.InitDIBData(), r.CreateDIBPalette(); }, false},
      {"PaintImageToDevice", Paint, true},
  };
  return operations;
}

TEST(EditedHeader, HeaderMustFitBlockForEveryOperation) {
  for (const HeaderEdit& edit : kEdits) {
    Record intact;
    MakePatterned(intact, edit.width, edit.height, edit.bits);
    for (const Operation& operation : Operations()) {
      SCOPED_TRACE(std::string(edit.what) + ", " + operation.name);
      Record edited;
      Copy(intact, edited);
      const BITMAPINFOHEADER original = *edited.GetBmh();
      edit.apply(*edited.GetBmh());
      const std::vector<BYTE> before = BodyBytes(edited);

      // What the operation should do: act as on an empty record, or as on
      // the intact image.
      Record expected;
      const bool actsEmpty = edit.depthChanged || operation.paints;
      if (!actsEmpty) Copy(intact, expected);
      EXPECT_EQ(operation.run(edited), operation.run(expected));
      EXPECT_EQ(BodyBytes(edited), actsEmpty ? before : BodyBytes(expected));

      // Restoring the fields makes the image whole and usable again.
      *edited.GetBmh() = original;
      edited.SetPixel(0, 0, RGB(9, 8, 7));
      EXPECT_EQ(edited.GetPixel(0, 0), RGB(9, 8, 7));
    }
  }
}

TEST(EditedHeader, PaletteReleasedForTrueColourByInitDIBData) {
  CImageDataModel image;
  ASSERT_EQ(image.InitImage(4, 4, 8), 1);
  ASSERT_EQ(image.InitDIBData(), 1);
  ASSERT_NE(image.GetDIBPalette(), nullptr);
  ASSERT_EQ(image.InitImage(4, 4, 24), 1);
  EXPECT_EQ(image.InitDIBData(), 1);
  EXPECT_EQ(image.GetDIBPalette(), nullptr);
  // Painting the true-colour image selects no palette made for the other.
  CDC device(8, 8);
  CRect rect(0, 0, 3, 3);
  EXPECT_EQ(image.PaintImageToDevice(&device, &rect), 3);
}

}  // namespace
