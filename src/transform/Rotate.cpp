// Rotate: turns the picture by whole degrees about a fixed centre, keeping
// its size. Each destination pixel takes the source pixel found by the
// inverse mapping, truncated toward zero; pixels without a source become 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ImageDataModel.h"
#include "image/ImageAccess.h"
#include "image/Raster.h"
#include "platform/Memory.h"
#include "transform/RotateRows.h"
#include "transform/RowKernels.h"

using namespace zentrel::detail;

namespace zentrel::detail {
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

/// The source positions of destination pixels k = first .. end − 1 of a
/// row: rows[k] = trunc((dxs[k] + dyc) + cy), columns[k] =
/// trunc((dxc[k] − dys) + cx), every one inside the image. The sums are the
/// same IEEE double operations two at a time with SSE2 as one at a time.
void SourcePositions(const double* dxs, const double* dxc, double dyc, double dys,
                     const Rotation& rot, std::size_t first, std::size_t end, std::int32_t* rows,
                     std::int32_t* columns) {
  std::size_t k = first;
#if defined(__SSE2__)
  const __m128d rowTerm = _mm_set1_pd(dyc);
  const __m128d columnTerm = _mm_set1_pd(dys);
  const __m128d cy = _mm_set1_pd(rot.cy);
  const __m128d cx = _mm_set1_pd(rot.cx);
  for (; k + 2 <= end; k += 2) {
    const __m128d r = _mm_add_pd(_mm_add_pd(_mm_loadu_pd(dxs + k), rowTerm), cy);
    const __m128d q = _mm_add_pd(_mm_sub_pd(_mm_loadu_pd(dxc + k), columnTerm), cx);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rows + k), _mm_cvttpd_epi32(r));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(columns + k), _mm_cvttpd_epi32(q));
  }
#endif
  for (; k < end; ++k) {
    rows[k] = static_cast<std::int32_t>(dxs[k] + dyc + rot.cy);
    columns[k] = static_cast<std::int32_t>(dxc[k] - dys + rot.cx);
  }
}

/// Copies the source pixels of destination pixels first .. end − 1 to out.
/// 3-byte pixels move as 4-byte words where the word stays inside the
/// block; the extra byte written lands on the next destination pixel,
/// which is written after it, so the last pixel moves its 3 bytes alone.
template <std::size_t B>
void Gather(const Raster& rows, const std::int32_t* sourceRows, const std::int32_t* sourceColumns,
            std::size_t first, std::size_t end, BYTE* out) {
  // In locals: the stores through out could otherwise alias the fields.
  const BYTE* const bits = rows.bits;
  const std::size_t lineBytes = rows.lineBytes;
  if (B == 1) {
    for (std::size_t k = first; k < end; ++k)
      out[k] = bits[static_cast<std::size_t>(sourceRows[k]) * lineBytes +
                    static_cast<std::size_t>(sourceColumns[k])];
    return;
  }
  if (first == end) return;
  const std::size_t wordLimit = rows.areaBytes - 4;  // last offset with 4 bytes inside
  for (std::size_t k = first; k + 1 < end; ++k) {
    const std::size_t offset = static_cast<std::size_t>(sourceRows[k]) * lineBytes +
                               static_cast<std::size_t>(sourceColumns[k]) * B;
    std::memcpy(out + k * B, bits + offset, offset <= wordLimit ? 4 : B);
  }
  const std::size_t last = end - 1;
  std::memcpy(out + last * B,
              bits + static_cast<std::size_t>(sourceRows[last]) * lineBytes +
                  static_cast<std::size_t>(sourceColumns[last]) * B,
              B);
}

/// Fills the destination rows i0..i1−1, columns j0..j1−1 with pixels of B
/// bytes. Each source position is (dx × s + dy × c) + cy for the row and
/// (dx × c − dy × s) + cx for the column, summed in that order; the products
/// are formed once per column and once per row, which changes no bit of the
/// sums.
template <std::size_t B>
void RotateTile(const Raster& rows, const Rotation& rot, bool wide, BYTE* dst, std::size_t i0,
                std::size_t i1, std::size_t j0, std::size_t j1) {
  const std::size_t n = j1 - j0;
  double dxs[kTile];
  double dxc[kTile];
  std::int32_t sourceRows[kTile];
  std::int32_t sourceColumns[kTile];
  for (std::size_t k = 0; k < n; ++k) {
    const double dx = static_cast<double>(j0 + k) - rot.cx;
    dxs[k] = dx * rot.s;
    dxc[k] = dx * rot.c;
  }
  const double height = static_cast<double>(rows.height);
  const double width = static_cast<double>(rows.width);
  // Each rounded sum moves one way along a row and one way down a column,
  // so a source coordinate takes its extremes over the tile at the corners:
  // when all four corners lie past one edge of the source, every pixel does.
  double rowLow = height, rowHigh = -1.0, columnLow = width, columnHigh = -1.0;
  for (std::size_t i : {i0, i1 - 1}) {
    const double dy = static_cast<double>(i) - rot.cy;
    for (std::size_t k : {std::size_t{0}, n - 1}) {
      const double r = dxs[k] + dy * rot.c + rot.cy;
      const double q = dxc[k] - dy * rot.s + rot.cx;
      rowLow = std::min(rowLow, r), rowHigh = std::max(rowHigh, r);
      columnLow = std::min(columnLow, q), columnHigh = std::max(columnHigh, q);
    }
  }
  if (rowHigh <= -1.0 || rowLow >= height || columnHigh <= -1.0 || columnLow >= width) {
    for (std::size_t i = i0; i < i1; ++i) std::memset(dst + i * rows.lineBytes + j0 * B, 0, n * B);
    return;
  }
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
    std::size_t done = first;
    if (wide) {
      const rotation::TurnedRow turned{rows.bits, rows.lineBytes, B,     dxs, dxc, dyc,
                                       dys,       rot.cy,         rot.cx};
      done = rotation::CopyTurnedPixelsWide(turned, first, end, out);
    }
    SourcePositions(dxs, dxc, dyc, dys, rot, done, end, sourceRows, sourceColumns);
    Gather<B>(rows, sourceRows, sourceColumns, done, end, out);
    std::memset(out, 0, first * B);
    std::memset(out + end * B, 0, (n - end) * B);
  }
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::Rotate(int angle) {
  const Raster rows = ImageAccess::Checked(*this);
  if (rows.Empty()) return 0;
  // The rotated rows are built in the scratch while every destination pixel
  // reads the unrotated image, then copied over the rows in one pass.
  ScratchBuffer scratch = AllocateScratch(rows.PixelAreaBytes());
  if (!scratch) return 0;
  Raster source = rows;

  const double a = angle * kRadiansPerDegree;
  const Rotation rot{std::sin(a), std::cos(a), static_cast<double>(rows.width / 2),
                     static_cast<double>(rows.height / 2)};
  const bool wide = rotation::WideTurnUsable(rows.PixelAreaBytes(), rows.areaBytes);
  for (std::size_t i0 = 0; i0 < rows.height; i0 += kTile) {
    const std::size_t i1 = std::min<std::size_t>(rows.height, i0 + kTile);
    for (std::size_t j0 = 0; j0 < rows.width; j0 += kTile) {
      const std::size_t j1 = std::min<std::size_t>(rows.width, j0 + kTile);
      if (rows.pixelBytes == 1)
        RotateTile<1>(source, rot, wide, scratch.get(), i0, i1, j0, j1);
      else
        RotateTile<3>(source, rot, wide, scratch.get(), i0, i1, j0, j1);
    }
  }
  ZeroRowPadding(scratch.get(), rows.lineBytes, rows.height,
                 static_cast<std::size_t>(rows.width) * rows.pixelBytes);
  std::memcpy(rows.bits, scratch.get(), rows.PixelAreaBytes());
  return 1;
}
