// Line drawing with a digital differential analyser: one pixel per unit of
// the longer axis, the other coordinate accumulated by the slope in a float.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ImageDataModel.h"
#include "shape/FloatWalk.h"

using namespace zentrel::detail;

void CImageDataModel::DDALine(CPoint p1, CPoint p2, DWORD colour) {
  if (!m_hDIB) return;  // no pixel of an empty record can be set
  const std::int64_t dx = static_cast<std::int64_t>(p2.x) - p1.x;
  const std::int64_t dy = static_cast<std::int64_t>(p2.y) - p1.y;
  if (dx == 0 && dy == 0) {
    SetPixel(p1, colour);
    return;
  }

  // The major axis is x up to 45 degrees; the minor coordinate moves by the
  // slope (or its inverse) per unit, toward the end point.
  bool majorX;
  double step;
  if (dx == 0) {
    majorX = false;
    step = 0.0;
  } else {
    const double slope = std::fabs(static_cast<double>(dy) / static_cast<double>(dx));
    majorX = slope <= 1.0;
    if (majorX)
      step = p1.y <= p2.y ? slope : -slope;
    else
      step = p1.x <= p2.x ? 1.0 / slope : -(1.0 / slope);
  }
  const std::int64_t from = majorX ? p1.x : p1.y;
  const std::int64_t to = majorX ? p2.x : p2.y;
  float minor = static_cast<float>(majorX ? p1.y : p1.x);
  const std::int64_t majorSize = majorX ? m_nWidth : m_nHeight;
  const double minorSize = majorX ? m_nHeight : m_nWidth;

  // line-integer-walk: the major coordinate is stepped as an integer; a
  // float one stops growing by 1 beyond 2^24, and the walk would never end.
  // Within ±2^24 the pixels are the same. Only the steps whose major
  // coordinate lies inside the image can draw; the minor coordinate is
  // carried exactly over the steps before them, and the walk stops once it
  // has left the image.
  const int direction = from <= to ? 1 : -1;
  const std::int64_t last = (to - from) * direction;
  const std::int64_t firstInside = direction > 0
                                       ? std::max<std::int64_t>(0, -from)
                                       : std::max<std::int64_t>(0, from - (majorSize - 1));
  const std::int64_t lastInside =
      direction > 0 ? std::min(last, majorSize - 1 - from) : std::min(last, from);
  if (firstInside > lastInside) return;
  minor = shape::AdvanceMinor(minor, step, static_cast<std::uint64_t>(firstInside));

  for (std::int64_t k = firstInside;; ++k) {
    // The pixel is at floor(minor + 0.5); a minor coordinate below −0.5 is
    // off the image, not folded onto row or column 0.
    const double position = static_cast<double>(minor) + 0.5;
    if (position >= 0.0 && position < minorSize) {
      const UINT major = static_cast<UINT>(from + direction * k);
      const UINT across = static_cast<UINT>(position);
      if (majorX)
        SetPixel(major, across, colour);
      else
        SetPixel(across, major, colour);
    }
    if (k == lastInside) break;
    minor = shape::StepMinor(minor, step);
  }
}
