// Painting a bottom-up DIB into the device: the unscaled copy of a band of
// scan lines and the nearest-sample stretch, both clipped to the device and
// to the source rows.
#include <algorithm>
#include <cstring>

#include "ZentrelDevice.h"

namespace {

/// Pixel rows larger than this in total cannot be described by the 32-bit
/// image size of a bitmap header, so such headers are refused; this also
/// keeps every source offset well inside 64 bits.
constexpr std::uint64_t kMaxSourceBytes = 0xFFFFFFFFu;

/// A validated source: the rows the caller handed over and the colours of
/// its pixels as device values.
struct DibSource {
  const BYTE* bits = nullptr;
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows stored bottom-up
  std::uint64_t rowBytes = 0;
  int depth = 0;
  std::int64_t bandBottom = 0;  // the stored row that bits points at
  std::uint32_t colours[256] = {};
};

std::uint32_t DevicePixel(BYTE red, BYTE green, BYTE blue) {
  return 0xFF000000u | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
}

/// Checks the description and fills source. False for anything this device
/// does not paint: null pointers, a top-down or compressed bitmap, a depth
/// other than 8 or 24, palette-index colours, or sizes beyond 32 bits.
bool DescribeSource(const void* bits, const BITMAPINFO* info, UINT usage, DibSource& source) {
  if (!bits || !info || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize != 40 && header.biSize != 108 && header.biSize != 124) return false;
  if (header.biWidth <= 0 || header.biHeight <= 0 || header.biCompression != BI_RGB) return false;
  if (header.biBitCount != 8 && header.biBitCount != 24) return false;
  source.width = header.biWidth;
  source.height = header.biHeight;
  source.depth = header.biBitCount;
  source.rowBytes = (static_cast<std::uint64_t>(source.width) * source.depth + 31) / 32 * 4;
  if (source.rowBytes * static_cast<std::uint64_t>(source.height) > kMaxSourceBytes) return false;
  source.bits = static_cast<const BYTE*>(bits);
  if (source.depth == 8) {
    // The table follows the header; an index past its used entries is black.
    UINT entries = header.biClrUsed == 0 ? 256u : std::min<DWORD>(header.biClrUsed, 256u);
    const BYTE* table = reinterpret_cast<const BYTE*>(info) + header.biSize;
    for (UINT i = 0; i < 256; ++i) source.colours[i] = DevicePixel(0, 0, 0);
    for (UINT i = 0; i < entries; ++i) {
      RGBQUAD entry;
      std::memcpy(&entry, table + 4 * i, sizeof entry);
      source.colours[i] = DevicePixel(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
  }
  return true;
}

/// One axis of a copy. Step k (0 ≤ k < den) of the destination lands on
/// device position destBase + destStep × k and takes the source position
/// sourceStart + k × num / den (truncated), positions counted left to right
/// or top to bottom. Span() finds the steps that land on the device and
/// read inside the source window.
struct Axis {
  std::int64_t destBase = 0;
  int destStep = 1;
  std::uint64_t den = 0;  // destination length
  std::int64_t sourceStart = 0;
  std::uint64_t num = 0;  // source length

  /// The steps [first, end) inside the device extent and the source window
  /// [low, high); empty (first ≥ end) when none.
  void Span(std::int64_t extent, std::int64_t low, std::int64_t high, std::int64_t& first,
            std::int64_t& end) const {
    std::int64_t length = static_cast<std::int64_t>(den);
    if (destStep > 0) {
      first = std::max<std::int64_t>(0, -destBase);
      end = std::min<std::int64_t>(length, extent - destBase);
    } else {
      first = std::max<std::int64_t>(0, destBase - extent + 1);
      end = std::min<std::int64_t>(length, destBase + 1);
    }
    // Source offsets [qLow, qHigh) stay inside the window; offsets lie in [0, num).
    std::int64_t limit = static_cast<std::int64_t>(num);
    std::int64_t qLow = std::clamp<std::int64_t>(low - sourceStart, 0, limit);
    std::int64_t qHigh = std::clamp<std::int64_t>(high - sourceStart, 0, limit);
    if (qLow >= qHigh) {
      end = first;
      return;
    }
    first = std::max(first, StepReaching(qLow));
    end = std::min(end, StepReaching(qHigh));
  }

  /// The first step whose source offset is at least q (0 ≤ q ≤ num): the
  /// offset of step k is floor(k × num / den) ≥ q exactly when
  /// k ≥ ceil(q × den / num).
  std::int64_t StepReaching(std::int64_t q) const {
    if (num == den) return q;  // unscaled; lengths may reach 2^32 here
    // Both lengths are at most 2^31 when scaled, so the product fits.
    std::uint64_t product = static_cast<std::uint64_t>(q) * den;
    return static_cast<std::int64_t>((product + num - 1) / num);
  }
};

/// Walks the source offsets floor(k × num / den) for consecutive k without
/// a division per step.
class Stepper {
 public:
  Stepper(const Axis& axis, std::int64_t first)
      : m_den(axis.den), m_whole(axis.num / axis.den), m_part(axis.num % axis.den) {
    if (axis.num == axis.den) {
      m_offset = first;  // unscaled: lengths may reach 2^32, so no product
    } else {
      std::uint64_t product = static_cast<std::uint64_t>(first) * axis.num;
      m_offset = static_cast<std::int64_t>(product / axis.den);
      m_rest = product % axis.den;
    }
  }
  std::int64_t Offset() const { return m_offset; }
  void Next() {
    m_offset += static_cast<std::int64_t>(m_whole);
    m_rest += m_part;
    if (m_rest >= m_den) {
      m_rest -= m_den;
      ++m_offset;
    }
  }

 private:
  std::uint64_t m_den;
  std::uint64_t m_whole;
  std::uint64_t m_part;
  std::int64_t m_offset = 0;
  std::uint64_t m_rest = 0;
};

/// Copies the rows and columns that the two axes select; returns the number
/// of device rows painted. The vertical source positions are rows counted
/// from the top of the source; rows [bandTop, bandEnd) from the top are the
/// ones present.
int Copy(const DibSource& source, const Axis& across, const Axis& down, std::uint32_t* pixels,
         int deviceWidth, int deviceHeight, std::int64_t bandTop, std::int64_t bandEnd) {
  std::int64_t x0, x1, y0, y1;
  across.Span(deviceWidth, 0, source.width, x0, x1);
  down.Span(deviceHeight, std::max<std::int64_t>(bandTop, 0),
            std::min<std::int64_t>(bandEnd, source.height), y0, y1);
  if (x0 >= x1 || y0 >= y1) return 0;

  Stepper row(down, y0);
  for (std::int64_t k = y0; k < y1; ++k, row.Next()) {
    std::int64_t fromTop = down.sourceStart + row.Offset();
    std::int64_t stored = source.height - 1 - fromTop - source.bandBottom;
    const BYTE* in = source.bits + static_cast<std::uint64_t>(stored) * source.rowBytes;
    std::int64_t deviceY = down.destBase + down.destStep * k;
    std::uint32_t* line = pixels + deviceY * deviceWidth;
    std::int64_t x = across.destBase + across.destStep * x0;
    Stepper column(across, x0);
    if (source.depth == 8) {
      for (std::int64_t j = x0; j < x1; ++j, column.Next(), x += across.destStep)
        line[x] = source.colours[in[across.sourceStart + column.Offset()]];
    } else {
      for (std::int64_t j = x0; j < x1; ++j, column.Next(), x += across.destStep) {
        const BYTE* p = in + 3 * (across.sourceStart + column.Offset());
        line[x] = DevicePixel(p[2], p[1], p[0]);
      }
    }
  }
  return static_cast<int>(y1 - y0);
}

/// The axis of a stretch along which the destination has corner dest and
/// signed length destLength, and the source the signed length sourceLength
/// starting at sourceLow (its lowest position, counted in the copy's
/// direction). A negative length runs from the corner towards lower
/// coordinates; differing signs mirror the axis.
Axis StretchAxis(std::int64_t dest, std::int64_t destLength, std::int64_t sourceLow,
                 std::int64_t sourceLength) {
  Axis axis;
  axis.den = static_cast<std::uint64_t>(destLength < 0 ? -destLength : destLength);
  axis.num = static_cast<std::uint64_t>(sourceLength < 0 ? -sourceLength : sourceLength);
  std::int64_t destLow = destLength > 0 ? dest : dest + destLength + 1;
  bool mirrored = (destLength < 0) != (sourceLength < 0);
  axis.destStep = mirrored ? -1 : 1;
  axis.destBase = mirrored ? destLow + static_cast<std::int64_t>(axis.den) - 1 : destLow;
  axis.sourceStart = sourceLow;
  return axis;
}

}  // namespace

int CDC::SetDIBitsToDevice(int destX, int destY, DWORD width, DWORD height, int srcX, int srcY,
                           UINT firstScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                           UINT usage) {
  int painted = 0;
  DibSource source;
  if (width > 0 && height > 0 && DescribeSource(bits, info, usage, source)) {
    source.bandBottom = firstScan;
    Axis across;
    across.destBase = destX;
    across.den = across.num = width;
    across.sourceStart = srcX;
    // The rectangle's top row, counted from the top, is srcY + height − 1
    // counted from the bottom.
    Axis down;
    down.destBase = destY;
    down.den = down.num = height;
    down.sourceStart = source.height - std::int64_t{srcY} - std::int64_t{height};
    // Stored rows [firstScan, firstScan + scanLines) are present.
    std::int64_t bandTop = source.height - std::int64_t{firstScan} - std::int64_t{scanLines};
    std::int64_t bandEnd = source.height - std::int64_t{firstScan};
    painted = Copy(source, across, down, m_pPixels, m_nWidth, m_nHeight, bandTop, bandEnd);
  }
  Log("SetDIBitsToDevice",
      {destX, destY, width, height, srcX, srcY, firstScan, scanLines,
       static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(bits)),
       static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(info)), usage},
      painted);
  return painted;
}

int CDC::StretchDIBits(int destX, int destY, int destWidth, int destHeight, int srcX, int srcY,
                       int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info,
                       UINT usage, DWORD rop) {
  int painted = 0;
  DibSource source;
  if (destWidth != 0 && destHeight != 0 && srcWidth != 0 && srcHeight != 0 && rop == SRCCOPY &&
      DescribeSource(bits, info, usage, source)) {
    std::int64_t columnLow = srcWidth > 0 ? srcX : std::int64_t{srcX} + srcWidth + 1;
    Axis across = StretchAxis(destX, destWidth, columnLow, srcWidth);
    // Source rows count up from the bottom; the copy reads them from the top.
    std::int64_t rowLow = srcHeight > 0 ? srcY : std::int64_t{srcY} + srcHeight + 1;
    std::int64_t rows = srcHeight < 0 ? -std::int64_t{srcHeight} : srcHeight;
    Axis down = StretchAxis(destY, destHeight, source.height - rowLow - rows, srcHeight);
    painted = Copy(source, across, down, m_pPixels, m_nWidth, m_nHeight, 0, source.height);
  }
  Log("StretchDIBits",
      {destX, destY, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight,
       static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(bits)),
       static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(info)), usage, rop},
      painted);
  return painted;
}
