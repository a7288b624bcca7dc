// Fuzz target: Zentrel::IO's PNG, TIFF and PNM readers on arbitrary bytes.
// A refusal must leave the record empty with a reason; an image that loads
// must survive being encoded as PNG and read back unchanged. GDAL, libpng
// and libnetpbm themselves are not instrumented; the library's own code is.
#include <cstring>

#include "FuzzSupport.h"
#include "ZentrelIO.h"

// Blocks above 16 MiB would spend the fuzzing time filling memory.
constexpr DWORD kReadLimit = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CImageDataModel image;
  image.SetReadLimit(kReadLimit);
  const zentrel::io::Status status = zentrel::io::ReadImageFromMemory(data, size, image);
  if (!status) {
    FUZZ_CHECK(image.IsEmpty() == 1);
    FUZZ_CHECK(!status.reason.empty());
    return 0;
  }
  const short bits = image.GetColorPixel();
  FUZZ_CHECK(bits == 8 || bits == 24);
  FUZZ_CHECK(std::uint64_t{image.GetLineBytes()} * (image.GetHeight() + 1) <= kReadLimit);
  std::vector<std::uint8_t> png;
  FUZZ_CHECK(zentrel::io::EncodeImage(image, zentrel::io::OutputFormat::PNG, png));
  CImageDataModel back;
  FUZZ_CHECK(zentrel::io::ReadImageFromMemory(png.data(), png.size(), back));
  FUZZ_CHECK(back.GetColorPixel() == bits && back.GetWidth() == image.GetWidth() &&
             back.GetHeight() == image.GetHeight());
  const std::size_t bytes = std::size_t{image.GetLineBytes()} * image.GetHeight();
  FUZZ_CHECK(std::memcmp(image.GetBuffer(), back.GetBuffer(), bytes) == 0);
  return 0;
}
