// Rotate: turns the picture by whole degrees about a fixed centre, keeping
// its size. Each destination pixel takes the source pixel found by the
// inverse mapping, truncated toward zero; pixels without a source become 0.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ImageDataModel.h"
#include "platform/Memory.h"
#include "transform/PixelRows.h"

namespace {

/// Degrees to radians with pi taken as 3.1415, so the factor is slightly
/// below pi / 180; results depend on this exact constant.
constexpr double kRadiansPerDegree = 3.1415 / 180.0;

/// Destination pixels are visited in tiles so that the source pixels read
/// for one tile (a turned square) stay in cache at any angle.
constexpr std::size_t kTile = 64;

struct Rotation {
  double s;
  double c;
  double cx;  // centre column, width / 2 rounded down
  double cy;  // centre stored row, height / 2 rounded down
};

/// Fills the destination rows i0..i1−1, columns j0..j1−1. Each source
/// position is (dx × s + dy × c) + cy for the row and (dx × c − dy × s) + cx
/// for the column, summed in that order; the products are formed once per
/// column and once per row, which changes no bit of the sums.
void RotateTile(const PixelRows& rows, const Rotation& rot, BYTE* dst, std::size_t i0,
                std::size_t i1, std::size_t j0, std::size_t j1) {
  double dxs[kTile];
  double dxc[kTile];
  for (std::size_t j = j0; j < j1; ++j) {
    const double dx = static_cast<double>(j) - rot.cx;
    dxs[j - j0] = dx * rot.s;
    dxc[j - j0] = dx * rot.c;
  }
  const double height = static_cast<double>(rows.height);
  const double width = static_cast<double>(rows.width);
  const std::size_t b = rows.pixelBytes;
  for (std::size_t i = i0; i < i1; ++i) {
    const double dy = static_cast<double>(i) - rot.cy;
    const double dyc = dy * rot.c;
    const double dys = dy * rot.s;
    BYTE* out = dst + i * rows.lineBytes;
    for (std::size_t j = j0; j < j1; ++j) {
      const double r = dxs[j - j0] + dyc + rot.cy;
      const double q = dxc[j - j0] - dys + rot.cx;
      BYTE* to = out + j * b;
      // trunc(v) lies in 0..n−1 exactly when −1 < v < n, so the test is made
      // on the doubles and only positions inside are converted.
      if (r > -1.0 && r < height && q > -1.0 && q < width) {
        const BYTE* from = rows.bits + static_cast<std::size_t>(r) * rows.lineBytes +
                           static_cast<std::size_t>(q) * b;
        if (b == 1)
          *to = *from;
        else
          std::memcpy(to, from, 3);
      } else {
        if (b == 1)
          *to = 0;
        else
          std::memset(to, 0, 3);
      }
    }
  }
}

}  // namespace

int CImageDataModel::Rotate(int angle) {
  PixelRows rows;
  if (!DescribePixelRows(m_hDIB, m_pBmh, m_pBits, m_nWidth, m_nHeight, m_nLineBytes, &rows))
    return 0;
  // Every byte of the scratch image is written below, padding included.
  ScratchBuffer scratch = AllocateScratch(rows.PixelAreaBytes());
  if (!scratch) return 0;

  const double a = angle * kRadiansPerDegree;
  const Rotation rot{std::sin(a), std::cos(a), static_cast<double>(rows.width / 2),
                     static_cast<double>(rows.height / 2)};
  for (std::size_t i0 = 0; i0 < rows.height; i0 += kTile) {
    const std::size_t i1 = std::min<std::size_t>(rows.height, i0 + kTile);
    for (std::size_t j0 = 0; j0 < rows.width; j0 += kTile)
      RotateTile(rows, rot, scratch.get(), i0, i1, j0,
                 std::min<std::size_t>(rows.width, j0 + kTile));
  }
  const std::size_t used = static_cast<std::size_t>(rows.width) * rows.pixelBytes;
  for (std::size_t i = 0; i < rows.height; ++i)
    std::memset(scratch.get() + i * rows.lineBytes + used, 0, rows.lineBytes - used);

  std::memcpy(rows.bits, scratch.get(), rows.PixelAreaBytes());
  return 1;
}
