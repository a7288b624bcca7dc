// GifDecoder: passing over the extension blocks of the GIF89a format that
// stand before the first image descriptor, keeping the transparent index of
// the last graphic control extension among them.
#include "files/GifDecoder.h"

namespace zentrel::detail {

namespace {

constexpr BYTE kExtensionIntroducer = 0x21;
constexpr BYTE kGraphicControlLabel = 0xF9;
// A graphic control extension's one sub-block: packed fields (bit 0 says a
// transparent index is given), delay time (2 bytes), transparent index.
constexpr BYTE kGraphicControlBytes = 4;

}  // namespace

// Leaves the file at the first byte that does not start an extension (the
// image separator of a well-formed file). False when a block's framing runs
// past the end of the file.
bool GifDecoder::SkipExtensions(std::uint64_t length) {
  for (;;) {
    BYTE introducer = 0;
    if (m_file.Read(&introducer, 1) != 1) return true;  // the descriptor read finds nothing
    if (introducer != kExtensionIntroducer) {
      m_file.Seek(-1, CFile::current);
      return true;
    }
    BYTE label = 0;
    if (m_file.Read(&label, 1) != 1 || !SkipSubBlocks(label, length)) return false;
  }
}

// Passes over one extension's sub-blocks up to and including the zero-length
// terminator; reads the transparent index from a graphic control extension.
bool GifDecoder::SkipSubBlocks(BYTE label, std::uint64_t length) {
  bool first = true;
  for (;;) {
    BYTE count = 0;
    if (m_file.Read(&count, 1) != 1) return false;  // no terminator before the end
    if (count == 0) return true;
    const std::uint64_t position = m_file.Seek(0, CFile::current);
    if (position + count > length) return false;
    if (first && label == kGraphicControlLabel && count >= kGraphicControlBytes) {
      BYTE fields[kGraphicControlBytes];
      m_file.Read(fields, kGraphicControlBytes);
      m_nTransparentIndex = (fields[0] & 1) ? fields[3] : -1;
      m_file.Seek(count - kGraphicControlBytes, CFile::current);
    } else {
      m_file.Seek(count, CFile::current);
    }
    first = false;
  }
}

}  // namespace zentrel::detail
