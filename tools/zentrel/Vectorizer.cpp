// The vectorising pipeline: outlines, traces, significant points, shapes.
#include "Vectorizer.h"

#include <chrono>
#include <cmath>

namespace cli {
namespace {

constexpr int kTraceCapacity = 1600;  // the mask tracer's point limit
constexpr COLORREF kOutline = RGB(255, 0, 0);

// A 24-bit copy, so that marking an outline pixel changes that pixel only
// (in an 8-bit image it would recolour every pixel sharing its index).
void CopyToTrueColour(const CImageDataModel& from, CImageDataModel& to) {
  to.InitImage(static_cast<int>(from.GetWidth()), static_cast<int>(from.GetHeight()), 24);
  const COLORREF bk = from.GetBKColor();
  to.SetBKColor(GetRValue(bk), GetGValue(bk), GetBValue(bk));
  to.SetPrecision(from.GetPrecision());
  for (UINT y = 0; y < from.GetHeight(); ++y)
    for (UINT x = 0; x < from.GetWidth(); ++x) to.SetPixel(x, y, from.GetPixel(x, y));
}

bool Adjacent(POINT a, POINT b) { return std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2; }

}  // namespace

std::vector<BYTE> SheetVectorizer::OutlineMask(CImageDataModel& outlines, int& cells) {
  const UINT w = GetWidth(), h = GetHeight();
  std::vector<BYTE> mask(static_cast<std::size_t>(w) * h, 0);
  cells = 0;
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x)
      if (outlines.GetPixel(x, y) == kOutline && GetPixel(x, y) != kOutline) {
        mask[static_cast<std::size_t>(y) * w + x] = 1;
        ++cells;
      }
  return mask;
}

std::vector<POINT> SheetVectorizer::TraceFrom(int x, int y, std::vector<BYTE>& mask) {
  const int w = static_cast<int>(GetWidth()), h = static_cast<int>(GetHeight());
  std::vector<POINT> chain;
  POINT buffer[kTraceCapacity];
  // A full buffer leaves its last cell marked: go on from there.
  while (true) {
    const int n = VecTrace(x, y, w, h, buffer, mask.data(), 1);
    const int skip = chain.empty() ? 0 : 1;
    for (int i = skip; i < n; ++i) chain.push_back(buffer[i]);
    if (n < kTraceCapacity) return chain;
    x = buffer[n - 1].x;
    y = buffer[n - 1].y;
  }
}

void SheetVectorizer::Classify(Contour& c) {
  // The shape tests take the whole traced outline: its mean point is the
  // shape's centre, while the significant points alone crowd at corners and
  // would pull the mean towards them. Closing the list gives the rectangle
  // test the whole perimeter.
  std::vector<POINT> list = c.points;
  if (c.closed) list.push_back(list.front());
  c.shape = CircleOrRectangle(static_cast<int>(list.size()), list.data(), c.size, c.centre);
  CRect region;
  c.regionColour = GetMinRegion(c.points.front(), region);
  c.region = region;
}

VectorizeResult SheetVectorizer::Run(const VectorizeOptions& options, CImageDataModel& outlines) {
  const auto start = std::chrono::steady_clock::now();
  VectorizeResult result;
  result.width = GetWidth();
  result.height = GetHeight();
  SetPrecision(options.precision);
  if (options.denoise && GetColorPixel() == 8) RemoveNoise(3, 3, 0, 3);

  CopyToTrueColour(*this, outlines);
  outlines.Edge();
  std::vector<BYTE> mask = OutlineMask(outlines, result.maskCells);

  const int w = static_cast<int>(GetWidth()), h = static_cast<int>(GetHeight());
  for (int y = 1; y + 1 < h; ++y) {
    for (int x = 1; x + 1 < w; ++x) {
      if (mask[static_cast<std::size_t>(y) * w + x] != 1) continue;
      std::vector<POINT> points = TraceFrom(x, y, mask);
      if (static_cast<int>(points.size()) < options.minimumPoints) continue;
      Contour c;
      c.points = std::move(points);
      c.closed = Adjacent(c.points.front(), c.points.back());
      // The compression needs two spare entries after the list.
      std::vector<POINT> work(c.points);
      work.resize(work.size() + 2);
      std::vector<POINT> kept(c.points.size());
      const int n = c.points.size() > 32000 ? 32000 : static_cast<int>(c.points.size());
      const int k = VecCompress(work.data(), static_cast<short>(n), kept.data());
      kept.resize(static_cast<std::size_t>(k > 0 ? k : 0));
      c.kept = std::move(kept);
      Classify(c);
      result.contours.push_back(std::move(c));
    }
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace cli
