// Fuzz target: ReadBMPImage on arbitrary bytes, then what a host does with
// an image it loaded: every pixel read, the palette built, the image saved
// and read back, which must give the same header, colour table and rows.
// The widened reader runs on every input too, under a read limit that keeps
// its blocks small: a refusal leaves the record empty with a note, a load
// is a sound 8- or 24-bit image.
#include <cstring>

#include "FuzzSupport.h"

namespace {

struct Content {
  UINT width, height, lineBytes;
  short bits;
  const BYTE* header;
  const BYTE* table;
  const BYTE* pixels;
  std::size_t tableBytes, pixelBytes;
};

Content ContentOf(const CImageDataModel& image) {
  Content c;
  c.width = image.GetWidth();
  c.height = image.GetHeight();
  c.lineBytes = image.GetLineBytes();
  c.bits = image.GetColorPixel();
  c.header = reinterpret_cast<const BYTE*>(image.GetBmh());
  c.table = reinterpret_cast<const BYTE*>(image.GetPalette());
  c.pixels = image.GetBuffer();
  c.tableBytes = 4u * static_cast<std::size_t>(image.GetImageColors());
  c.pixelBytes = std::size_t{c.lineBytes} * c.height;
  return c;
}

bool ClaimsHugeImage(const std::uint8_t* data, std::size_t size) {
  if (size < 30) return false;
  const std::uint64_t width =
      static_cast<std::int32_t>(fuzz::Le32(data + 18)) < 0 ? 0 : fuzz::Le32(data + 18);
  const std::int32_t height = static_cast<std::int32_t>(fuzz::Le32(data + 22));
  return height > 0 && width * static_cast<std::uint64_t>(height) > fuzz::kMaxFuzzPixels;
}

void CheckWidened(const std::string& input) {
  CImageDataModel image;
  image.SetReadLimit(static_cast<DWORD>(fuzz::kMaxFuzzPixels * 3));
  const int result = image.ReadImage(input.c_str(), ZENTREL_READ_WIDE);
  const int note = image.GetLastReadNote();
  if (result == 0) {
    FUZZ_CHECK(image.IsEmpty() == 1);
    FUZZ_CHECK(note != ZENTREL_NOTE_NONE && note != ZENTREL_NOTE_TRUNCATED);
    return;
  }
  FUZZ_CHECK(note == ZENTREL_NOTE_NONE || note == ZENTREL_NOTE_TRUNCATED ||
             note == ZENTREL_NOTE_DAMAGED_DATA);
  const Content c = ContentOf(image);
  FUZZ_CHECK(c.bits == 8 || c.bits == 24);
  FUZZ_CHECK(c.width > 0 && c.height > 0);
  FUZZ_CHECK(c.lineBytes == (c.width * static_cast<UINT>(c.bits) + 31) / 32 * 4);
  FUZZ_CHECK(image.GetBmh()->biSize == 40 && image.GetBmh()->biCompression == 0);
  FUZZ_CHECK(image.GetFileColors() >= 0 && image.GetFileColors() <= (c.bits == 8 ? 256 : 0));
  for (int i = image.GetFileColors(); c.bits == 8 && i < 256; ++i)
    FUZZ_CHECK(image.GetPalette()[i].rgbRed == 0 && image.GetPalette()[i].rgbGreen == 0);
  COLORREF mix = 0;
  for (UINT y = 0; y < c.height; ++y)
    for (UINT x = 0; x < c.width; ++x) mix ^= image.GetPixel(x, y);
  FUZZ_CHECK((mix >> 24) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFolder folder;
  fuzz::MessageCount() = 0;
  const std::string input = folder.File("input.bmp");
  fuzz::WriteWhole(input, data, size);
  CheckWidened(input);
  fuzz::MessageCount() = 0;  // content starting "GIF89a" goes to the GIF reader
  if (ClaimsHugeImage(data, size)) return 0;

  CImageDataModel image;
  const int result = image.ReadBMPImage(input.c_str());
  FUZZ_CHECK(result == 0 || result == 1);
  FUZZ_CHECK(fuzz::MessageCount() == 0);
  if (result == 0) {
    FUZZ_CHECK(image.IsEmpty() == 1);
    return 0;
  }
  const Content first = ContentOf(image);
  FUZZ_CHECK(first.bits == 8 || first.bits == 24);
  FUZZ_CHECK(first.width > 0 && first.height > 0);
  FUZZ_CHECK(first.lineBytes == (first.width * static_cast<UINT>(first.bits) + 31) / 32 * 4);
  FUZZ_CHECK(image.GetBmh()->biSize == 40);

  // Every pixel, through the colour table for 8 bits.
  COLORREF mix = 0;
  for (UINT y = 0; y < first.height; ++y)
    for (UINT x = 0; x < first.width; ++x) mix ^= image.GetPixel(x, y);
  FUZZ_CHECK((mix >> 24) == 0);
  const int palette = image.InitDIBData();
  FUZZ_CHECK(palette == (first.width <= 10000 && first.height <= 10000 ? 1 : 0));
  if (image.IsEmpty()) return 0;

  // Save and read back: the record's content must survive unchanged. A save
  // flushes the file to the disk, which costs more than all the rest, so
  // only one input in eight (chosen by its length, to stay reproducible)
  // makes the round trip.
  if (size % 8 != 0) return 0;
  const std::string saved = folder.File("saved.bmp");
  FUZZ_CHECK(image.SaveBMPImage(saved.c_str()) == 1);
  CImageDataModel copy;
  FUZZ_CHECK(copy.ReadBMPImage(saved.c_str()) == 1);
  const Content second = ContentOf(copy);
  FUZZ_CHECK(second.width == first.width && second.height == first.height);
  FUZZ_CHECK(second.bits == first.bits && second.lineBytes == first.lineBytes);
  FUZZ_CHECK(std::memcmp(second.header, first.header, 40) == 0);
  FUZZ_CHECK(std::memcmp(second.table, first.table, first.tableBytes) == 0);
  FUZZ_CHECK(std::memcmp(second.pixels, first.pixels, first.pixelBytes) == 0);
  return 0;
}
