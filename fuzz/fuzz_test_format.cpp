// Fuzz target: TestImageFormat on arbitrary bytes under names of every
// kind, and TestMode on arbitrary names. The first byte picks the name; the
// result must follow from the first two bytes and the name's ending.
#include "FuzzSupport.h"

namespace {

constexpr const char* kSuffixes[] = {"input.bmp", "input.gif", "input",      "input.BMP",
                                     "input.tif", "input.Gif", "input.tiff", "input.bmp.x"};
constexpr short kSuffixCodes[] = {1, 3, 0, 1, 2, 3, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFolder folder;
  fuzz::MessageCount() = 0;
  CImageDataModel image;
  // The whole input as a name, up to its first zero byte.
  const std::string asName(reinterpret_cast<const char*>(data), size);
  const short byName = image.TestMode(asName.c_str());
  FUZZ_CHECK(byName >= 0 && byName <= 3);

  if (size == 0) return 0;
  const std::size_t pick = data[0] % (sizeof kSuffixes / sizeof kSuffixes[0]);
  const std::string path = folder.File(kSuffixes[pick]);
  fuzz::WriteWhole(path, data + 1, size - 1);
  const short format = image.TestImageFormat(path.c_str());
  const bool startsWithBm = size >= 3 && data[1] == 'B' && data[2] == 'M';
  FUZZ_CHECK(format == (startsWithBm ? 1 : kSuffixCodes[pick]));
  FUZZ_CHECK(image.TestMode(path.c_str()) == kSuffixCodes[pick]);
  FUZZ_CHECK(image.IsEmpty() == 1);
  FUZZ_CHECK(fuzz::MessageCount() == 0);
  return 0;
}
