// Decoded sample rows into the record: scaling to 8 bits, compositing
// alpha over white, and the grey or file colour table.
#include "RecordFill.h"

#include <string>

namespace zentrel {
namespace io {

unsigned SampleLayout::Channels() const {
  switch (kind) {
    case GreyAlpha:
      return 2;
    case Rgb:
      return 3;
    case Rgba:
      return 4;
    default:
      return 1;
  }
}

Status RecordFill::Begin(std::uint64_t width, std::uint64_t height) {
  if (!m_image.IsEmpty()) return Status::Fail("the record already holds an image");
  if (width == 0 || height == 0) return Status::Fail("damaged file: the image has no pixels");
  if (m_layout.maxValue == 0 || m_layout.maxValue > 65535)
    return Status::Fail("unsupported: sample range 0.." + std::to_string(m_layout.maxValue));
  if (m_layout.palette.size() > 4 * 256)
    return Status::Fail("unsupported: a colour table of more than 256 entries");
  const bool trueColour = m_layout.kind == SampleLayout::Rgb || m_layout.kind == SampleLayout::Rgba;
  // io-size-limit: the record's read limit (SetReadLimit; without one the
  // block cap of 2 GiB - 1) decides before any pixel memory is taken, as in
  // the core readers, so a damaged header cannot cost gigabytes first.
  const std::uint64_t rowBytes = ((width * (trueColour ? 24 : 8) + 31) / 32) * 4;
  const std::uint64_t blockBytes = 40 + (trueColour ? 0 : 1024) + rowBytes * (height + 1);
  const std::uint64_t limit = m_image.GetReadLimit() ? m_image.GetReadLimit() : 0x7FFFFFFFu;
  if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu || blockBytes > limit)
    return Status::Fail("too large: " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels need a block of " + std::to_string(blockBytes) +
                        " bytes, over the limit of " + std::to_string(limit));
  if (!m_image.InitImage(static_cast<int>(width), static_cast<int>(height), trueColour ? 24 : 8))
    return Status::Fail("too large: no memory for " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels");
  m_width = static_cast<unsigned>(width);
  m_image.SetScale(1.0);
  RGBQUAD* table = m_image.GetPalette();
  if (m_layout.kind == SampleLayout::Palette) {
    // Table alpha is composited into the entries: paper shows through.
    for (std::size_t i = 0; i * 4 < m_layout.palette.size(); ++i) {
      const std::uint8_t* p = &m_layout.palette[i * 4];
      table[i] = RGBQUAD{static_cast<BYTE>(OverWhite(p[2], p[3])),
                         static_cast<BYTE>(OverWhite(p[1], p[3])),
                         static_cast<BYTE>(OverWhite(p[0], p[3])), 0};
    }
  } else if (!trueColour) {
    for (int i = 0; i < 256; ++i)
      table[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  }
  return Status::Ok();
}

void RecordFill::PutRow(unsigned y, const std::uint16_t* s) {
  BYTE* row = m_image.GetBuffer() +
              static_cast<std::size_t>(m_image.GetHeight() - 1 - y) * m_image.GetLineBytes();
  const unsigned max = m_layout.maxValue;
  const SampleLayout& l = m_layout;
  for (unsigned x = 0; x < m_width; ++x) {
    switch (l.kind) {
      case SampleLayout::Palette:
        row[x] = static_cast<BYTE>(s[x] > 255 ? 255 : s[x]);
        break;
      case SampleLayout::Grey:
        row[x] = static_cast<BYTE>(
            l.hasTransparentValue && s[x] == l.transparent[0] ? 255 : ScaleSample(s[x], max));
        break;
      case SampleLayout::GreyAlpha: {
        const std::uint16_t* p = s + 2 * x;
        row[x] = static_cast<BYTE>(OverWhite(ScaleSample(p[0], max), ScaleSample(p[1], max)));
        break;
      }
      case SampleLayout::Rgb:
      case SampleLayout::Rgba: {
        const unsigned n = l.kind == SampleLayout::Rgb ? 3 : 4;
        const std::uint16_t* p = s + static_cast<std::size_t>(n) * x;
        unsigned alpha = n == 4 ? ScaleSample(p[3], max) : 255;
        if (l.hasTransparentValue && p[0] == l.transparent[0] && p[1] == l.transparent[1] &&
            p[2] == l.transparent[2])
          alpha = 0;
        BYTE* out = row + 3 * static_cast<std::size_t>(x);
        out[0] = static_cast<BYTE>(OverWhite(ScaleSample(p[2], max), alpha));
        out[1] = static_cast<BYTE>(OverWhite(ScaleSample(p[1], max), alpha));
        out[2] = static_cast<BYTE>(OverWhite(ScaleSample(p[0], max), alpha));
        break;
      }
    }
  }
}

void RecordFill::Abandon() { m_image.FreeImage(); }

}  // namespace io
}  // namespace zentrel
