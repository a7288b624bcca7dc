// Fuzz target: a small random 8- or 24-bit image put through a random
// sequence of every public and protected operation, with arbitrary
// arguments (negative, zero, huge, outside the image), each caller-owned
// buffer exactly as large as the operation's contract requires, so that the
// sanitizers catch any access beyond it. Cheap invariants are checked after
// each step: results in their ranges, traced points where they may lie, the
// record's layout consistent, and transforms that must undo each other
// restoring every pixel.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "FuzzSupport.h"

namespace {

/// The record with its protected operations reachable, as a host's derived
/// class has them.
class Record : public CImageDataModel {
 public:
  using CImageDataModel::ThinEdge;
  using CImageDataModel::VecCompress;
  using CImageDataModel::VecConnect;
  using CImageDataModel::VecTrace;
};

constexpr int kMaxSide = 40;
constexpr std::uint64_t kMaxPixels = kMaxSide * kMaxSide;

/// An int that is usually near the image (so that operations do work) and
/// sometimes anything: extremes, negatives, huge values.
int AnyInt(FuzzedDataProvider& in, int near) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return in.ConsumeIntegral<int>();
    case 1: {
      static constexpr int kExtremes[] = {INT_MIN, INT_MIN + 1, -65536,      -2,     -1,
                                          0,       1,           32767,       32768,  65535,
                                          65536,   1 << 30,     INT_MAX - 1, INT_MAX};
      return kExtremes[in.ConsumeIntegralInRange<std::size_t>(0, 13)];
    }
    default:
      return in.ConsumeIntegralInRange(-3, std::min(std::max(near, 0), 1 << 20) + 3);
  }
}

COLORREF AnyColour(FuzzedDataProvider& in, const Record& image) {
  if (in.ConsumeBool()) return in.ConsumeIntegral<std::uint32_t>();
  // A colour of the image, so that matching and tracing find something.
  const UINT w = image.GetWidth() ? image.GetWidth() : 1;
  const UINT h = image.GetHeight() ? image.GetHeight() : 1;
  return image.GetPixel(in.ConsumeIntegralInRange<UINT>(0, w - 1),
                        in.ConsumeIntegralInRange<UINT>(0, h - 1));
}

POINT AnyPoint(FuzzedDataProvider& in, const Record& image) {
  return POINT{AnyInt(in, static_cast<int>(image.GetWidth())),
               AnyInt(in, static_cast<int>(image.GetHeight()))};
}

/// A tiny generator for filling pixels, seeded from the input.
struct Random {
  std::uint32_t state;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

/// Fills the image with runs of a few colours (regions to trace and filter),
/// some of them close to the background colour.
void Paint(FuzzedDataProvider& in, Record& image) {
  if (image.IsEmpty()) return;
  Random random{in.ConsumeIntegral<std::uint32_t>() | 1u};
  const int colours = in.ConsumeIntegralInRange(1, 6);
  COLORREF palette[6];
  for (int i = 0; i < colours; ++i)
    palette[i] = in.ConsumeBool() ? image.GetBKColor() + (random.Next() % 0x0F0F0F)
                                  : random.Next() & 0xFFFFFF;
  const UINT runLength = in.ConsumeIntegralInRange<UINT>(1, 64);
  const bool eight = image.GetColorPixel() == 8;
  if (eight)
    for (int i = 0; i < colours; ++i)
      image.GetPalette()[i] =
          RGBQUAD{GetBValue(palette[i]), GetGValue(palette[i]), GetRValue(palette[i]), 0};
  int current = 0;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) {
      if (random.Next() % runLength == 0) current = static_cast<int>(random.Next() % colours);
      BYTE* row = image.GetBuffer() + std::size_t{image.GetHeight() - 1 - y} * image.GetLineBytes();
      if (eight)
        row[x] = static_cast<BYTE>(current);
      else
        image.SetPixel(x, y, palette[current]);
    }
}

/// Every pixel's colour, for the transforms that must undo each other.
std::vector<COLORREF> Snapshot(const Record& image) {
  std::vector<COLORREF> colours;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) colours.push_back(image.GetPixel(x, y));
  return colours;
}

void CheckLayout(const Record& image) {
  if (image.IsEmpty()) {
    FUZZ_CHECK(image.GetBuffer() == nullptr && image.GetBmh() == nullptr);
    FUZZ_CHECK(image.GetColorPixel() == 0 && image.GetImageColors() == 0);
    return;
  }
  const UINT bits = static_cast<UINT>(image.GetColorPixel());
  FUZZ_CHECK(bits == 8 || bits == 24);
  FUZZ_CHECK(image.GetLineBytes() == (image.GetWidth() * bits + 31) / 32 * 4);
  FUZZ_CHECK(image.GetBmh()->biWidth == static_cast<LONG>(image.GetWidth()));
  FUZZ_CHECK(image.GetBmh()->biHeight == static_cast<LONG>(image.GetHeight()));
}

/// InitImage with arbitrary arguments, kept to small images: a request that
/// would allocate a large block is made only when it must be refused.
void InitAnything(FuzzedDataProvider& in, Record& image) {
  int width = AnyInt(in, kMaxSide);
  int height = AnyInt(in, kMaxSide);
  const int bits = in.ConsumeBool() ? (in.ConsumeBool() ? 8 : 24) : AnyInt(in, 32);
  const bool validBits = bits == 8 || bits == 24;
  if (validBits && width > 0 && height > 0) {
    const std::uint64_t row = (std::uint64_t{static_cast<UINT>(width)} * bits + 31) / 32 * 4;
    const std::uint64_t block = row * (std::uint64_t{static_cast<UINT>(height)} + 1);
    const bool refusedForSize = block > 0x7FFFFFFFu - 1100;
    if (!refusedForSize &&
        std::uint64_t{static_cast<UINT>(width)} * static_cast<UINT>(height) > kMaxPixels) {
      width = 1 + width % kMaxSide;
      height = 1 + height % kMaxSide;
    }
  }
  const bool wasEmpty = image.IsEmpty() == 1;
  const int result = image.InitImage(width, height, bits);
  if (!validBits || width <= 0 || height <= 0) {
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(image.IsEmpty() == (wasEmpty ? 1 : 0));  // changes nothing
  } else if (result == 0) {
    FUZZ_CHECK(image.IsEmpty() == 1);
  } else {
    FUZZ_CHECK(image.GetWidth() == static_cast<UINT>(width));
    FUZZ_CHECK(image.GetHeight() == static_cast<UINT>(height));
    Paint(in, image);
  }
}

void MaskOperations(FuzzedDataProvider& in, Record& image, int which) {
  int width = in.ConsumeIntegralInRange(1, kMaxSide);
  int height = in.ConsumeIntegralInRange(1, kMaxSide);
  std::unique_ptr<BYTE[]> mask;
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    // No cells: a width or height of 0 or less with any other size, or a
    // null mask. Nothing may be read.
    if (in.ConsumeBool())
      width = -(width - 1);
    else
      height = -(height - 1);
    if (in.ConsumeBool()) {
      width = AnyInt(in, kMaxSide);
      height = AnyInt(in, kMaxSide);
      if (width > 0 && height > 0) height = 1 - height;
    }
    // A mask of no bytes at all, or none.
    if (in.ConsumeBool()) mask.reset(new BYTE[0]);
  } else {
    mask.reset(new BYTE[std::size_t(width) * height]);
    const int value = in.ConsumeIntegralInRange(0, 255);
    const int density = in.ConsumeIntegralInRange(0, 8);
    Random random{in.ConsumeIntegral<std::uint32_t>() | 1u};
    for (int i = 0; i < width * height; ++i)
      mask[i] = random.Next() % 8 < static_cast<UINT>(density) ? value : random.Next() % 3;
  }
  const int x = AnyInt(in, width);
  const int y = AnyInt(in, height);
  const int value = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 2) : AnyInt(in, 255);
  BYTE* cells = mask.get();
  if (which == 0) {
    const short count = image.VecConnect(x, y, width, height, cells, value);
    FUZZ_CHECK(count >= 0 && count <= 8);
  } else if (which == 1) {
    std::unique_ptr<POINT[]> points(new POINT[1600]);
    const short count = image.VecTrace(x, y, width, height, points.get(), cells, value);
    FUZZ_CHECK(count >= 0 && count <= 1600);
    for (short i = 0; i < count; ++i) {
      FUZZ_CHECK(points[i].x >= 1 && points[i].x <= width - 2);
      FUZZ_CHECK(points[i].y >= 1 && points[i].y <= height - 2);
    }
  } else {
    image.ThinEdge(width, height, cells);
  }
}

void PointListOperations(FuzzedDataProvider& in, Record& image, int which) {
  const bool nullList = in.ConsumeIntegralInRange(0, 15) == 0;
  const int n = nullList ? AnyInt(in, 20) : in.ConsumeIntegralInRange(-2, 60);
  const std::size_t entries = n > 0 && !nullList ? std::size_t(n) : 0;
  std::unique_ptr<POINT[]> points(new POINT[entries]);
  const bool nearby = in.ConsumeBool();
  for (std::size_t i = 0; i < entries; ++i)
    points[i] = nearby ? POINT{in.ConsumeIntegralInRange(-5, 60), in.ConsumeIntegralInRange(-5, 60)}
                       : AnyPoint(in, image);
  const POINT* list = nullList ? nullptr : points.get();
  int size = -7;
  POINT centre{-7, -7};
  if (which == 0) {
    const int result = image.IsRectangle(n, list, size, centre);
    FUZZ_CHECK(result == 0 || result == 1);
  } else if (which == 1) {
    const int result = image.IsCircle(n, list, size, centre);
    FUZZ_CHECK(result >= -1 && result <= 1);
  } else {
    const int result = image.CircleOrRectangle(n, list, size, centre);
    FUZZ_CHECK(result >= 0 && result <= 2);
  }
}

void Compress(FuzzedDataProvider& in, Record& image) {
  short n;
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    static constexpr short kExtremes[] = {SHRT_MIN, -1, 0, 4, 5, 6, 2000, SHRT_MAX};
    n = kExtremes[in.ConsumeIntegralInRange<std::size_t>(0, 7)];
  } else {
    n = static_cast<short>(in.ConsumeIntegralInRange(-2, 80));
  }
  // The input list has room for n + 2 entries from 5 points on, as the
  // contract asks; the output for n.
  const std::size_t inputEntries = n >= 5 ? std::size_t(n) + 2 : n > 0 ? std::size_t(n) : 0;
  const std::size_t outputEntries = n > 0 ? std::size_t(n) : 0;
  std::unique_ptr<POINT[]> points(new POINT[inputEntries]);
  std::unique_ptr<POINT[]> kept(new POINT[outputEntries]);
  const bool nearby = in.ConsumeBool();
  for (short i = 0; i < n; ++i)
    points[i] = nearby ? POINT{in.ConsumeIntegralInRange(-3, 30), in.ConsumeIntegralInRange(-3, 30)}
                       : AnyPoint(in, image);
  const short count = image.VecCompress(points.get(), n, kept.get());
  if (n <= 0) {
    FUZZ_CHECK(count == n);
  } else {
    FUZZ_CHECK(count >= 0 && count <= n);
  }
  if (n > 0 && n < 5) {
    for (short i = 0; i < n; ++i) FUZZ_CHECK(kept[i].x == points[i].x && kept[i].y == points[i].y);
  }
}

void SaveAndReadBack(Record& image) {
  static fuzz::ScratchFolder folder;
  const std::string path = folder.File("saved.bmp");
  const int saved = image.SaveBMPImage(path.c_str());
  FUZZ_CHECK(saved == (image.IsEmpty() ? 0 : 1));
  if (!saved) return;
  CImageDataModel copy;
  FUZZ_CHECK(copy.ReadBMPImage(path.c_str()) == 1);
  FUZZ_CHECK(copy.GetWidth() == image.GetWidth() && copy.GetHeight() == image.GetHeight());
  FUZZ_CHECK(copy.GetColorPixel() == image.GetColorPixel());
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x)
      FUZZ_CHECK(copy.GetPixel(x, y) == image.GetPixel(x, y));
}

/// Pairs of transforms that must restore every pixel.
void UndoingTransforms(FuzzedDataProvider& in, Record& image) {
  const std::vector<COLORREF> before = Snapshot(image);
  const UINT width = image.GetWidth();
  const UINT height = image.GetHeight();
  bool done = false;
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      done = image.Flip() && image.Flip();
      break;
    case 1:
      done = image.Mirror() && image.Mirror();
      break;
    case 2:
      done = image.Left90() && image.Right90();
      break;
    default:
      done = image.Right90() && image.Right90() && image.Right90() && image.Right90();
      break;
  }
  FUZZ_CHECK(done == !image.IsEmpty());
  FUZZ_CHECK(image.GetWidth() == width && image.GetHeight() == height);
  FUZZ_CHECK(Snapshot(image) == before);
}

/// One operation of any kind on a record whose header a host has edited;
/// depth: the depth the block was made for.
void AnyOperation(FuzzedDataProvider& in, Record& image, CDC& device, WORD depth) {
  const int w = static_cast<int>(image.GetWidth());
  const int h = static_cast<int>(image.GetHeight());
  const UINT x = static_cast<UINT>(AnyInt(in, w));
  const UINT y = static_cast<UINT>(AnyInt(in, h));
  switch (in.ConsumeIntegralInRange(0, 13)) {
    case 0:
      image.GetPixel(x, y);
      image.GetPixel(x, y, AnyInt(in, 6), AnyInt(in, 6));
      break;
    case 1:
      image.SetPixel(x, y, in.ConsumeIntegral<std::uint32_t>());
      break;
    case 2:
      image.ColorDistance(x, y, in.ConsumeIntegral<std::uint32_t>());
      image.IsBackground(x, y);
      break;
    case 3:
      image.Edge();
      image.IsEdge(x, y);
      image.IsEdge(x, y, in.ConsumeIntegral<std::uint32_t>());
      break;
    case 4:
      image.RemoveNoise(3, 3, 4, in.ConsumeIntegralInRange(0, 4));
      break;
    case 5:
      image.Shrink();
      break;
    case 6:
      image.Flip();
      image.Mirror();
      break;
    case 7:
      image.Left90();
      image.Right90();
      image.Rotate(AnyInt(in, 360));
      break;
    case 8: {
      std::unique_ptr<POINT[]> points(new POINT[16000]);
      image.VecConnect(AnyInt(in, w), AnyInt(in, h), in.ConsumeIntegral<std::uint32_t>());
      image.VecTrace(AnyInt(in, w), AnyInt(in, h), in.ConsumeIntegral<std::uint32_t>(),
                     points.get());
      break;
    }
    case 9: {
      CRect rect;
      image.GetMinRegion(AnyPoint(in, image), rect);
      break;
    }
    case 10:
      image.DDALine(CPoint(AnyPoint(in, image)), CPoint(AnyPoint(in, image)), 0xFF);
      break;
    case 11: {
      CRect rect(AnyInt(in, 40), AnyInt(in, 40), AnyInt(in, 40), AnyInt(in, 40));
      // The device reads the rows by the header: while it does not describe
      // them, nothing is painted. (A turn rewrites the sizes in the header.)
      const BITMAPINFOHEADER& header = *image.GetBmh();
      const bool describes = header.biBitCount == depth &&
                             header.biWidth == static_cast<LONG>(image.GetWidth()) &&
                             header.biHeight == static_cast<LONG>(image.GetHeight());
      const int painted = image.PaintImageToDevice(&device, &rect);
      FUZZ_CHECK(describes || painted == 0);
      break;
    }
    case 12:
      image.InitDIBData();
      image.CreateDIBPalette();
      break;
    default:
      if (in.ConsumeIntegralInRange(0, 7) == 0) {
        static fuzz::ScratchFolder folder;
        image.SaveBMPImage(folder.File("edited.bmp").c_str());
      }
      break;
  }
}

/// A host writing the header's depth or size fields directly, then calling
/// operations: none may reach outside the block (the sanitizers watch every
/// access). While the depth is not the block's own, every operation acts as
/// on an empty record and the block stays as it was. The fields are then
/// restored to what the record holds.
void EditHeader(FuzzedDataProvider& in, Record& image, CDC& device) {
  if (image.IsEmpty()) return;
  BITMAPINFOHEADER* header = image.GetBmh();
  const WORD depth = header->biBitCount;
  const bool depthEdit = in.ConsumeBool();
  if (depthEdit) {
    header->biBitCount =
        in.ConsumeBool() ? static_cast<WORD>(depth == 8 ? 24 : 8) : in.ConsumeIntegral<WORD>();
  } else if (in.ConsumeBool()) {
    header->biWidth = AnyInt(in, static_cast<int>(image.GetWidth()));
  } else {
    header->biHeight = AnyInt(in, static_cast<int>(image.GetHeight()));
  }
  const bool actsEmpty = depthEdit && header->biBitCount != depth;
  const BYTE* start = reinterpret_cast<const BYTE*>(image.GetPalette());
  const BYTE* end = image.GetBuffer() + std::size_t{image.GetLineBytes()} * image.GetHeight();
  const std::vector<BYTE> before(start, end);
  for (int i = in.ConsumeIntegralInRange(1, 6); i > 0; --i) {
    AnyOperation(in, image, device, depth);
    if (actsEmpty) {
      FUZZ_CHECK(image.GetPixel(0, 0) == 0 && image.Edge() == 0 && image.Flip() == 0);
      FUZZ_CHECK(std::equal(before.begin(), before.end(), start));
    }
  }
  header = image.GetBmh();  // a turn may have moved the block
  header->biBitCount = depth;
  header->biWidth = static_cast<LONG>(image.GetWidth());
  header->biHeight = static_cast<LONG>(image.GetHeight());
}

void Step(FuzzedDataProvider& in, Record& image, CDC& device) {
  const int w = static_cast<int>(image.GetWidth());
  const int h = static_cast<int>(image.GetHeight());
  switch (in.ConsumeIntegralInRange(0, 41)) {
    case 0:
      image.SetPixel(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h)),
                     AnyColour(in, image));
      break;
    case 1:
      image.SetPixel(AnyPoint(in, image), AnyColour(in, image));
      break;
    case 2: {
      const COLORREF c =
          image.GetPixel(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h)));
      FUZZ_CHECK((c >> 24) == 0);
      FUZZ_CHECK((image.GetPixel(AnyPoint(in, image)) >> 24) == 0);
      break;
    }
    case 3: {
      const COLORREF c =
          image.GetPixel(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h)),
                         AnyInt(in, 6), AnyInt(in, 6));
      FUZZ_CHECK((c >> 24) == 0);
      FUZZ_CHECK((image.GetPixel(AnyPoint(in, image), AnyInt(in, 6), AnyInt(in, 6)) >> 24) == 0);
      break;
    }
    case 4: {
      // The grid keeps the caller's row length (columns entries a row) and
      // holds exactly the entries of the rows and columns the image takes.
      const UINT rows = static_cast<UINT>(AnyInt(in, h));
      UINT columns = static_cast<UINT>(AnyInt(in, w));
      const std::size_t takenRows = std::min<UINT>(rows, image.GetHeight());
      if (takenRows > 1 && columns > 256) columns = 256;
      const std::size_t used =
          takenRows ? (takenRows - 1) * columns + std::min<UINT>(columns, image.GetWidth()) : 0;
      std::unique_ptr<COLORREF[]> grid(new COLORREF[used]);
      for (std::size_t i = 0; i < used; ++i) grid[i] = static_cast<COLORREF>(i * 0x10307);
      FUZZ_CHECK(image.SetPixelFromGrid(rows, columns, grid.get()) == 1);
      break;
    }
    case 5: {
      const int d = image.ColorDistance(static_cast<UINT>(AnyInt(in, w)),
                                        static_cast<UINT>(AnyInt(in, h)), AnyColour(in, image));
      FUZZ_CHECK(d >= 0 && d <= 765);
      const int b =
          image.IsBackground(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h)));
      FUZZ_CHECK(b == 0 || b == 1);
      FUZZ_CHECK(image.IsBackground(AnyPoint(in, image)) <= 1);
      break;
    }
    case 6:
      InitAnything(in, image);
      break;
    case 7:
      if (std::uint64_t{image.GetWidth()} * image.GetHeight() <= kMaxPixels) {
        const int bits = in.ConsumeBool() ? 8 : in.ConsumeBool() ? 24 : AnyInt(in, 32);
        if (image.InitImage(bits)) Paint(in, image);
      }
      break;
    case 8:
      FUZZ_CHECK(image.FreeImage() <= 1);
      break;
    case 9:
      image.InitDIBData();
      break;
    case 10:
      image.CreateDIBPalette();
      break;
    case 11:
      image.SetColorPixel(static_cast<short>(AnyInt(in, 24)));
      break;
    case 12: {
      image.SetRange(AnyInt(in, w), AnyInt(in, h), AnyInt(in, w), AnyInt(in, h));
      image.GetRangeWidth();
      image.GetRangeHeight();
      const RECT range{AnyInt(in, w), AnyInt(in, h), AnyInt(in, w), AnyInt(in, h)};
      if (in.ConsumeBool()) image.SetRange(range);
      // A record made with a working rectangle, and the entry points that
      // do nothing.
      CImageDataModel other{CRect(range)};
      FUZZ_CHECK(other.IsEmpty() == 1 && other.GetRange().right == range.right);
      const std::string name = in.ConsumeRandomLengthString(12);
      FUZZ_CHECK(other.TestMode(name.c_str()) <= 3);
      FUZZ_CHECK(other.ReadTIFImage(name.c_str()) == 1 && other.SaveGIFImage(name.c_str()) == 1 &&
                 other.SaveTIFImage(name.c_str()) == 1);
      FUZZ_CHECK(other.IsEmpty() == 1);
      break;
    }
    case 13:
      image.SetRuler(AnyInt(in, 100));
      image.SetScale(in.ConsumeFloatingPoint<double>());
      image.SetID(AnyInt(in, 100));
      image.SetName(in.ConsumeRandomLengthString(16).c_str());
      break;
    case 14:
      image.SetPrecision(AnyInt(in, 40));
      FUZZ_CHECK(image.GetPrecision() >= 15 && image.GetPrecision() <= 40);
      break;
    case 15:
      image.SetBKColor(in.ConsumeIntegral<BYTE>(), in.ConsumeIntegral<BYTE>(),
                       in.ConsumeIntegral<BYTE>());
      break;
    case 16: {
      CRect rect(AnyInt(in, 40), AnyInt(in, 40), AnyInt(in, 40), AnyInt(in, 40));
      if (in.ConsumeBool()) rect = CRect(0, 0, w - 1, h - 1);
      const int lines = image.PaintImageToDevice(&device, &rect);
      FUZZ_CHECK(lines >= 0);
      break;
    }
    case 17:
      image.Flip();
      break;
    case 18:
      image.Mirror();
      break;
    case 19:
      image.Left90();
      break;
    case 20:
      image.Right90();
      break;
    case 21:
      image.Rotate(AnyInt(in, 360));
      break;
    case 22:
      FUZZ_CHECK(image.IsEdge(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h)),
                              AnyColour(in, image)) <= 1);
      break;
    case 23:
      FUZZ_CHECK(image.IsEdge(static_cast<UINT>(AnyInt(in, w)), static_cast<UINT>(AnyInt(in, h))) <=
                 1);
      break;
    case 24:
      FUZZ_CHECK(image.Edge() == (image.IsEmpty() ? 0 : 1));
      break;
    case 25: {
      const int k = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 101) : AnyInt(in, 100);
      const int type = in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 5) : AnyInt(in, 5);
      const int result = image.RemoveNoise(
          in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 11) : AnyInt(in, 11),
          in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 11) : AnyInt(in, 11), k, type);
      FUZZ_CHECK(result == 0 || result == 1);
      break;
    }
    case 26:
      FUZZ_CHECK(image.Shrink() == (image.IsEmpty() ? 0 : 1));
      break;
    case 27:
      FUZZ_CHECK(image.Trace() == 1);
      break;
    case 28:
    case 29:
    case 30:
      MaskOperations(in, image, in.ConsumeIntegralInRange(0, 2));
      break;
    case 31: {
      const short count = image.VecConnect(AnyInt(in, w), AnyInt(in, h), AnyColour(in, image));
      FUZZ_CHECK(count >= 0 && count <= 8);
      break;
    }
    case 32: {
      std::unique_ptr<POINT[]> points(new POINT[16000]);
      const short count =
          image.VecTrace(AnyInt(in, w), AnyInt(in, h), AnyColour(in, image), points.get());
      FUZZ_CHECK(count >= 0 && count <= 16000);
      for (short i = 0; i < count; ++i) {
        FUZZ_CHECK(points[i].x >= 1 && points[i].x <= w - 2);
        FUZZ_CHECK(points[i].y >= 1 && points[i].y <= h - 2);
      }
      break;
    }
    case 33:
      Compress(in, image);
      break;
    case 34: {
      const POINT seed = AnyPoint(in, image);
      CRect rect(-9, -9, -9, -9);
      image.GetMinRegion(seed, rect);
      if (!image.IsEmpty() && static_cast<UINT>(seed.x) < image.GetWidth() &&
          static_cast<UINT>(seed.y) < image.GetHeight()) {
        FUZZ_CHECK(rect.left >= 0 && rect.left <= seed.x && seed.x <= rect.right && rect.right < w);
        FUZZ_CHECK(rect.top >= 0 && rect.top <= seed.y && seed.y <= rect.bottom && rect.bottom < h);
      }
      break;
    }
    case 35:
    case 36:
    case 37:
      PointListOperations(in, image, in.ConsumeIntegralInRange(0, 2));
      break;
    case 38:
      image.DDALine(CPoint(AnyPoint(in, image)), CPoint(AnyPoint(in, image)), AnyColour(in, image));
      break;
    case 39:
      // A save flushes the file to the disk, slower than everything else
      // here together: made rarely.
      if (in.ConsumeIntegralInRange(0, 7) == 0) SaveAndReadBack(image);
      break;
    case 41:
      EditHeader(in, image, device);
      break;
    default:
      UndoingTransforms(in, image);
      break;
  }
  CheckLayout(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Record image;
  const int bits = in.ConsumeBool() ? 24 : 8;
  const int width = in.ConsumeIntegralInRange(1, kMaxSide);
  const int height = in.ConsumeIntegralInRange(1, kMaxSide);
  FUZZ_CHECK(image.InitImage(width, height, bits) == 1);
  if (in.ConsumeBool())
    image.SetBKColor(in.ConsumeIntegral<BYTE>(), in.ConsumeIntegral<BYTE>(),
                     in.ConsumeIntegral<BYTE>());
  image.SetPrecision(in.ConsumeIntegralInRange(10, 45));
  Paint(in, image);
  static CDC device(48, 48);
  for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) Step(in, image, device);
  return 0;
}
