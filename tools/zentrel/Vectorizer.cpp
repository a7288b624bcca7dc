// The vectorising pipeline: ink mask, borders, significant points, shapes.
#include "Vectorizer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Borders.h"
#include "InkMask.h"
#include "ShapeFit.h"

namespace cli {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The compressor counts points in a short; longer borders go in pieces.
constexpr std::size_t kCompressPiece = 30000;
// The share of a border that may stray from the fitted circle or
// rectangle: a speck or the tip of a letter touching the shape.
constexpr double kOffShare = 0.1;
// Below this compactness no border is tried as a circle or a rectangle.
constexpr double kLeastCompactness = 0.5;

bool Adjacent(POINT a, POINT b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; }

struct MeanCircle {
  double cx = 0, cy = 0, radius = 0;
};

MeanCircle MeanCircleOf(const std::vector<POINT>& points) {
  MeanCircle c;
  for (const POINT& p : points) {
    c.cx += p.x;
    c.cy += p.y;
  }
  c.cx /= static_cast<double>(points.size());
  c.cy /= static_cast<double>(points.size());
  for (const POINT& p : points) c.radius += Length(p.x - c.cx, p.y - c.cy);
  c.radius /= static_cast<double>(points.size());
  return c;
}

double SquaredDistance(const POINT& a, const POINT& b) {
  const double dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// The rectangle test's ratio, path length over greatest extent, on a
// closed list: the same measure as the library's.
double PathOverExtent(const std::vector<POINT>& closed) {
  double path = 0, extent = 0;
  for (std::size_t i = 0; i + 1 < closed.size(); ++i) {
    path += Length(closed[i + 1].x - closed[i].x, closed[i + 1].y - closed[i].y);
    for (std::size_t j = i + 1; j + 1 < closed.size(); ++j)
      extent = std::max(extent, SquaredDistance(closed[i], closed[j]));
  }
  return extent > 0 ? path / std::sqrt(extent) : 0;
}

}  // namespace

std::vector<POINT> SheetVectorizer::Compress(const std::vector<POINT>& points) {
  std::vector<POINT> kept;
  std::vector<POINT> work, out;
  for (std::size_t first = 0; first < points.size(); first += kCompressPiece) {
    const std::size_t n = std::min(kCompressPiece, points.size() - first);
    // The compressor writes two entries past the list.
    work.assign(points.begin() + static_cast<std::ptrdiff_t>(first),
                points.begin() + static_cast<std::ptrdiff_t>(first + n));
    work.resize(n + 2);
    out.resize(n);
    const int k = VecCompress(work.data(), static_cast<short>(n), out.data());
    kept.insert(kept.end(), out.begin(), out.begin() + std::max(k, 0));
  }
  kept.shrink_to_fit();
  return kept;
}

bool SheetVectorizer::IsVerifiedCircle(Contour& c, const VectorizeOptions& options) {
  int size = 0;
  POINT centre{0, 0};
  // The library's test on the whole border: its points lie evenly along it,
  // so their mean is the centre.
  if (IsCircle(static_cast<int>(c.points.size()), c.points.data(), size, centre) != 1) return false;
  const MeanCircle fit = MeanCircleOf(c.points);
  if (2 * fit.radius + 1 < options.minimumShape) return false;
  // A polygon with rounded corners can pass the spread test; its area and
  // its farthest point from the mean radius give it away.
  const double fill = OutlineArea(c.points) / (kPi * fit.radius * fit.radius);
  if (fill < 0.88 || fill > 1.12) return false;
  if (ShareOffCircle(c.points, fit.cx, fit.cy, fit.radius, std::max(1.5, 0.06 * fit.radius)) >
      kOffShare)
    return false;
  // A small square with rounded corners passes all of that: it is a circle
  // only if it keeps closer to the circle than to the rectangle fitted to it.
  const RotatedRect box = SettleSides(c.points, SmallestEnclosingRectangle(ConvexHull(c.points)));
  if (MeanOffRectangle(c.points, box) < MeanOffCircle(c.points, fit.cx, fit.cy, fit.radius))
    return false;
  c.size = size;
  c.centre = centre;
  return true;
}

bool SheetVectorizer::IsVerifiedRectangle(Contour& c, const VectorizeOptions& options) {
  if (c.kept.size() < 3) return false;
  const RotatedRect fit = SettleSides(c.points, SmallestEnclosingRectangle(ConvexHull(c.points)));
  if (fit.width + 1 < options.minimumShape) return false;
  // Four-sidedness: the border keeps to the sides of the rectangle fitted
  // to it. A road through a shape, a notch, a slanted side or lettering
  // fail; a speck on a side does not.
  if (fit.length > 2.2 * fit.width) return false;
  if (ShareOffRectangle(c.points, fit, std::max(1.5, 0.04 * fit.width)) > kOffShare) return false;
  // Its corners are there: a disc with a mark on it keeps close to the
  // sides of a square too, but stays 0.4 of its radius from the corners.
  if (FarthestCornerGap(c.points, fit) > std::max(2.0, 0.08 * fit.width)) return false;
  // The library's test on the closed list of significant points. Its ratio
  // allows an aspect of 2.03 : 1 for an ideal outline; a 2 : 1 rectangle
  // traced through its pixels' centres measures a little past that, so a
  // ratio down to 2.60 (about 2.4 : 1) is accepted when the fitted sides
  // are within 2.2 : 1 (rectangle-aspect-margin).
  std::vector<POINT> closed(c.kept);
  closed.push_back(closed.front());
  int size = 0;
  POINT centre{0, 0};
  if (!IsRectangle(static_cast<int>(closed.size()), closed.data(), size, centre)) {
    const double ratio = PathOverExtent(closed);
    if (ratio < 2.60 || ratio > 2.83) return false;
  }
  c.size = static_cast<int>(std::lround((fit.length + fit.width) / 2));
  c.centre = POINT{static_cast<LONG>(std::lround(fit.cx)), static_cast<LONG>(std::lround(fit.cy))};
  c.length = fit.length;
  c.width = fit.width;
  c.angle = fit.angle;
  return true;
}

void SheetVectorizer::MeasureRegion(Contour& c, const RECT& box) {
  c.region = box;
  c.regionColour = GetPixel(c.points.front());
  if (c.shape == 0) return;
  // The region measure costs a few thousand pixel reads: shapes only.
  POINT seed = c.centre;
  if (IsBackground(seed)) seed = c.points.front();
  CRect region;
  c.regionColour = GetMinRegion(seed, region);
  c.region = region;
}

void SheetVectorizer::Classify(Contour& c, const VectorizeOptions& options) {
  // Cheap refusals first. A shape is at least minimumShape across, and
  // compact: 4 pi area / length^2 is 1 for a circle, 0.79 for a square and
  // 0.70 for a 2 : 1 rectangle, while roads and lettering, all edges, come
  // far lower. (The border's cell count stands for its length; it counts a
  // diagonal step as 1, which only raises the measure.)
  LONG l = c.points[0].x, t = c.points[0].y, r = l, b = t;
  for (const POINT& p : c.points) {
    l = std::min(l, p.x);
    t = std::min(t, p.y);
    r = std::max(r, p.x);
    b = std::max(b, p.y);
  }
  const double n = static_cast<double>(c.points.size());
  // edge-cut-not-shape: a border that runs along the sheet's edge belongs to
  // a mark the edge cuts off (or, with the wrong paper colour, to the whole
  // sheet); its four-sided outline is the sheet's, not a drawn shape's. The
  // mask's outermost ring is paper, so such a border lies on the next one.
  const bool cut = l <= 1 || t <= 1 || r + 2 >= static_cast<LONG>(GetWidth()) ||
                   b + 2 >= static_cast<LONG>(GetHeight());
  const bool candidate = !cut && std::min(r - l, b - t) + 1 >= options.minimumShape &&
                         4 * kPi * OutlineArea(c.points) / (n * n) >= kLeastCompactness;
  // A hole is never a rectangle: the paper between crossing roads is often
  // four-sided. The inside of a ring is a circle (hole-not-rectangle).
  if (candidate && IsVerifiedCircle(c, options))
    c.shape = 1;
  else if (candidate && !c.hole && IsVerifiedRectangle(c, options))
    c.shape = 2;
  // other-outline-size: any other border is sized as a rectangle is, a
  // quarter of its length, so that every written outline has a size.
  if (c.shape == 0) c.size = static_cast<int>(std::lround(n / 4));
  MeasureRegion(c, RECT{l, t, r, b});
}

VectorizeResult SheetVectorizer::Run(const VectorizeOptions& options, CImageDataModel& outlines) {
  return RunPipeline(options, &outlines);
}

VectorizeResult SheetVectorizer::Run(const VectorizeOptions& options) {
  return RunPipeline(options, nullptr);
}

VectorizeResult SheetVectorizer::RunPipeline(const VectorizeOptions& options,
                                             CImageDataModel* outlines) {
  const auto start = std::chrono::steady_clock::now();
  VectorizeResult result;
  result.width = GetWidth();
  result.height = GetHeight();
  SetPrecision(options.precision);
  // The speckle filter works on the mask, not on the sheet, which stays as
  // it was read (vectorize-sheet-unchanged). The mask is packed two bits a
  // cell: next to an 8-bit sheet a byte mask would double the memory. The
  // outline picture the host asks for is that mask, one byte a cell
  // (outlines-as-mask), made once the borders are marked.
  PackedMask mask;
  const int depth = GetColorPixel();
  if (!IsEmpty() && (depth == 8 || depth == 24) && outlines && !outlines->IsEmpty())
    outlines->FreeImage();  // not held through the run
  if (BuildInkMask(*this, mask)) {
    if (options.denoise) MajorityFilter(mask);
    FollowBorders(mask, [&](Border& border) {
      result.maskCells += static_cast<int>(border.cells.size());
      if (static_cast<int>(border.cells.size()) < options.minimumPoints) return;
      Contour c;
      // A copy sized to the border; the follower's buffer is reused.
      c.points.assign(border.cells.begin(), border.cells.end());
      c.hole = border.hole;
      c.closed = Adjacent(c.points.front(), c.points.back());
      c.kept = Compress(c.points);
      Classify(c, options);
      result.contours.push_back(std::move(c));
    });
    if (outlines) PaintMask(mask, GetBKColor(), *outlines);
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace cli
