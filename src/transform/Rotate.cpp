// Rotate: turns the picture by whole degrees about a fixed centre, keeping
// its size. Each destination pixel takes the source pixel found by the
// inverse mapping, truncated toward zero; pixels without a source become 0.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ImageDataModel.h"
#include "platform/Memory.h"
#include "transform/PixelRows.h"
#include "transform/RowKernels.h"

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

/// Fills the destination rows i0..i1−1, columns j0..j1−1 with pixels of B
/// bytes. Each source position is (dx × s + dy × c) + cy for the row and
/// (dx × c − dy × s) + cx for the column, summed in that order; the products
/// are formed once per column and once per row, which changes no bit of the
/// sums.
template <std::size_t B>
void RotateTile(const PixelRows& rows, const Rotation& rot, BYTE* dst, std::size_t i0,
                std::size_t i1, std::size_t j0, std::size_t j1) {
  const std::size_t n = j1 - j0;
  double dxs[kTile];
  double dxc[kTile];
  for (std::size_t k = 0; k < n; ++k) {
    const double dx = static_cast<double>(j0 + k) - rot.cx;
    dxs[k] = dx * rot.s;
    dxc[k] = dx * rot.c;
  }
  const double height = static_cast<double>(rows.height);
  const double width = static_cast<double>(rows.width);
  for (std::size_t i = i0; i < i1; ++i) {
    const double dy = static_cast<double>(i) - rot.cy;
    const double dyc = dy * rot.c;
    const double dys = dy * rot.s;
    // trunc(v) lies in 0..n−1 exactly when −1 < v < n, so the test is made
    // on the doubles and only positions inside are converted.
    auto inside = [&](std::size_t k) {
      const double r = dxs[k] + dyc + rot.cy;
      const double q = dxc[k] - dys + rot.cx;
      return r > -1.0 && r < height && q > -1.0 && q < width;
    };
    // Rounding is monotonic, so along a row each source coordinate moves in
    // one direction only: the pixels that have a source form one run, and
    // when its first and last pixel are inside, so is every one between.
    std::size_t first = 0;
    while (first < n && !inside(first)) ++first;
    std::size_t end = n;
    while (end > first && !inside(end - 1)) --end;

    BYTE* out = dst + i * rows.lineBytes + j0 * B;
    std::memset(out, 0, first * B);
    for (std::size_t k = first; k < end; ++k) {
      const double r = dxs[k] + dyc + rot.cy;
      const double q = dxc[k] - dys + rot.cx;
      std::memcpy(out + k * B,
                  rows.bits + static_cast<std::size_t>(r) * rows.lineBytes +
                      static_cast<std::size_t>(q) * B,
                  B);
    }
    std::memset(out + end * B, 0, (n - end) * B);
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
    for (std::size_t j0 = 0; j0 < rows.width; j0 += kTile) {
      const std::size_t j1 = std::min<std::size_t>(rows.width, j0 + kTile);
      if (rows.pixelBytes == 1)
        RotateTile<1>(rows, rot, scratch.get(), i0, i1, j0, j1);
      else
        RotateTile<3>(rows, rot, scratch.get(), i0, i1, j0, j1);
    }
  }
  ZeroRowPadding(scratch.get(), rows.lineBytes, rows.height,
                 static_cast<std::size_t>(rows.width) * rows.pixelBytes);

  std::memcpy(rows.bits, scratch.get(), rows.PixelAreaBytes());
  return 1;
}
