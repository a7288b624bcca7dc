// PNG, TIFF and PNM files through Zentrel::IO, for the tool's reads and
// writes.
#include "Module.h"

#ifdef ZENTREL_HAVE_IO
#include "ZentrelIO.h"

namespace cli {
namespace gdal {
namespace {

zentrel::io::OutputFormat IoFormat(SaveFormat format) {
  switch (format) {
    case SaveFormat::Png:
      return zentrel::io::OutputFormat::PNG;
    case SaveFormat::Tiff:
      return zentrel::io::OutputFormat::TIFF;
    case SaveFormat::Pgm:
      return zentrel::io::OutputFormat::PGM;
    default:
      return zentrel::io::OutputFormat::PPM;
  }
}

// The reason of a failure, never empty; empty on success.
std::string Why(const zentrel::io::Status& status) {
  if (status) return "";
  return status.reason.empty() ? "failed" : status.reason;
}

}  // namespace

std::string ReadImageFile(const std::string& path, CImageDataModel& image) {
  return Why(zentrel::io::ReadImage(path, image));
}

std::string ReadImageBytes(const std::uint8_t* data, std::size_t size, CImageDataModel& image) {
  return Why(zentrel::io::ReadImageFromMemory(data, size, image));
}

std::string EncodeImageFile(const CImageDataModel& image, SaveFormat format,
                            std::vector<std::uint8_t>& bytes) {
  return Why(zentrel::io::EncodeImage(image, IoFormat(format), bytes));
}

std::string WriteImageFile(const CImageDataModel& image, const std::string& path,
                           SaveFormat format) {
  return Why(zentrel::io::WriteImage(image, path, IoFormat(format)));
}

}  // namespace gdal
}  // namespace cli

#endif  // ZENTREL_HAVE_IO
