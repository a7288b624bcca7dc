// Fuzz target: ReadGIFImage on arbitrary bytes. A refused file leaves the
// record empty; a loaded one is an 8-bit image of the logical screen's size
// whose every index lies inside the colour table the file gave, with the
// entries past that table black, and it was loaded without a message. The
// widened reader (extension blocks skipped) keeps the same rules, and
// whatever the narrow reader loads it loads to the same bytes.
#include <cstring>

#include "FuzzSupport.h"

namespace {

/// Entries of the colour table the first frame uses (its own table when it
/// has one, else the global one), or 0 when the input is too short to say.
UINT TableEntriesOf(const std::uint8_t* data, std::size_t size) {
  if (size < 13) return 0;
  const UINT global = 2u << (data[10] & 7);
  const std::size_t descriptor = 13 + 3 * std::size_t{global};
  if (size < descriptor + 10 || data[descriptor] != 0x2C) return global;
  const std::uint8_t packed = data[descriptor + 9];
  return (packed & 0x80) ? 2u << (packed & 7) : global;
}

/// The widened reader on the same file: its own rules, and the narrow
/// reader's image wherever that one loads.
void CheckWidened(const std::string& input, std::size_t size, const CImageDataModel& narrow) {
  fuzz::MessageCount() = 0;
  CImageDataModel image;
  const int result = image.ReadImage(input.c_str(), ZENTREL_READ_WIDE);
  const int note = image.GetLastReadNote();
  if (result == 0) {
    FUZZ_CHECK(image.IsEmpty() == 1);
    FUZZ_CHECK(fuzz::MessageCount() <= 1);
    FUZZ_CHECK(note != ZENTREL_NOTE_NONE && note != ZENTREL_NOTE_TRUNCATED);
    FUZZ_CHECK(narrow.IsEmpty() == 1);
    return;
  }
  FUZZ_CHECK(fuzz::MessageCount() == 0);
  FUZZ_CHECK(note == ZENTREL_NOTE_NONE || note == ZENTREL_NOTE_TRUNCATED);
  FUZZ_CHECK(size >= 13 && image.GetColorPixel() == 8);
  FUZZ_CHECK(image.GetTransparentIndex() >= -1 && image.GetTransparentIndex() <= 255);
  const UINT entries = static_cast<UINT>(image.GetFileColors());
  FUZZ_CHECK(entries >= 2 && entries <= 256);
  for (UINT i = entries; i < 256; ++i)
    FUZZ_CHECK(image.GetPalette()[i].rgbRed == 0 && image.GetPalette()[i].rgbBlue == 0);
  const BYTE* bits = image.GetBuffer();
  const std::size_t pixelBytes = std::size_t{image.GetLineBytes()} * image.GetHeight();
  for (UINT row = 0; row < image.GetHeight(); ++row)
    for (UINT x = 0; x < image.GetWidth(); ++x)
      FUZZ_CHECK(bits[std::size_t{row} * image.GetLineBytes() + x] < entries);
  if (narrow.IsEmpty()) return;
  FUZZ_CHECK(narrow.GetWidth() == image.GetWidth() && narrow.GetHeight() == image.GetHeight());
  FUZZ_CHECK(std::memcmp(narrow.GetBuffer(), bits, pixelBytes) == 0);
  FUZZ_CHECK(std::memcmp(narrow.GetPalette(), image.GetPalette(), 1024) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFolder folder;
  fuzz::MessageCount() = 0;
  if (size >= 10 &&
      std::uint64_t{fuzz::Le16(data + 6)} * fuzz::Le16(data + 8) > fuzz::kMaxFuzzPixels)
    return 0;
  const std::string input = folder.File("input.gif");
  fuzz::WriteWhole(input, data, size);

  CImageDataModel image;
  const int result = image.ReadGIFImage(input.c_str());
  FUZZ_CHECK(result == 0 || result == 1);
  const int messages = fuzz::MessageCount();
  CheckWidened(input, size, image);
  fuzz::MessageCount() = messages;
  if (result == 0) {
    FUZZ_CHECK(image.IsEmpty() == 1);
    FUZZ_CHECK(fuzz::MessageCount() <= 1);
    return 0;
  }
  FUZZ_CHECK(fuzz::MessageCount() == 0);
  FUZZ_CHECK(size >= 13);
  FUZZ_CHECK(image.GetColorPixel() == 8);
  FUZZ_CHECK(image.GetWidth() == fuzz::Le16(data + 6));
  FUZZ_CHECK(image.GetHeight() == fuzz::Le16(data + 8));
  FUZZ_CHECK(image.GetLineBytes() == (image.GetWidth() * 8 + 31) / 32 * 4);

  const UINT entries = TableEntriesOf(data, size);
  FUZZ_CHECK(entries >= 2);
  const RGBQUAD* table = image.GetPalette();
  for (UINT i = entries; i < 256; ++i)
    FUZZ_CHECK(table[i].rgbRed == 0 && table[i].rgbGreen == 0 && table[i].rgbBlue == 0);
  const BYTE* bits = image.GetBuffer();
  for (UINT row = 0; row < image.GetHeight(); ++row)
    for (UINT x = 0; x < image.GetWidth(); ++x)
      FUZZ_CHECK(bits[std::size_t{row} * image.GetLineBytes() + x] < entries);
  const bool fits = image.GetWidth() <= 10000 && image.GetHeight() <= 10000;
  FUZZ_CHECK(image.InitDIBData() == (fits ? 1 : 0));
  return 0;
}
