// The GDAL module's table of entry points, each turning the exceptions of
// its piece into a message so that none crosses into the tool.
#include <exception>
#include <new>

#include "Module.h"

namespace cli {
namespace gdal {
namespace {

template <class Work>
std::string Guarded(Work work) {
  try {
    return work();
  } catch (const std::exception& e) {
    const std::string what = e.what();
    return what.empty() ? "failed" : what;
  } catch (...) {
    return "failed";
  }
}

void Init() {
  try {
    InitGdalOnce();
  } catch (...) {
    // Registration failing leaves the drivers missing; each use says so.
  }
}

std::string FindGeoreferenceEntry(const std::string& image, const std::string& world,
                                  Georeference& found) {
  return Guarded([&] {
    found = FindGeoreferenceWithGdal(image, world);
    return std::string();
  });
}

std::string WriteVectorEntry(const std::string& path, VectorFormat format,
                             const VectorizeResult& result, const Georeference& geo) {
  return Guarded([&] {
    WriteVectorWithGdal(path, format, result, geo);
    return std::string();
  });
}

#ifdef ZENTREL_HAVE_IO
std::string ReadImageEntry(const std::string& path, CImageDataModel& image) {
  return Guarded([&] { return ReadImageFile(path, image); });
}
std::string ReadBytesEntry(const std::uint8_t* data, std::size_t size, CImageDataModel& image) {
  return Guarded([&] { return ReadImageBytes(data, size, image); });
}
std::string EncodeEntry(const CImageDataModel& image, SaveFormat format,
                        std::vector<std::uint8_t>& bytes) {
  return Guarded([&] { return EncodeImageFile(image, format, bytes); });
}
std::string WriteImageEntry(const CImageDataModel& image, const std::string& path,
                            SaveFormat format) {
  return Guarded([&] { return WriteImageFile(image, path, format); });
}
constexpr bool kHaveImageIo = true;
#else
constexpr bool kHaveImageIo = false;
std::string NoImageIo() { return "PNG, TIFF and PNM files need Zentrel::IO"; }
std::string ReadImageEntry(const std::string&, CImageDataModel&) { return NoImageIo(); }
std::string ReadBytesEntry(const std::uint8_t*, std::size_t, CImageDataModel&) {
  return NoImageIo();
}
std::string EncodeEntry(const CImageDataModel&, SaveFormat, std::vector<std::uint8_t>&) {
  return NoImageIo();
}
std::string WriteImageEntry(const CImageDataModel&, const std::string&, SaveFormat) {
  return NoImageIo();
}
#endif

const GdalModule kTable = {
    kGdalModuleAbi,         sizeof(GdalModule), kHaveImageIo, &Init,
    &ReadImageEntry,        &ReadBytesEntry,    &EncodeEntry, &WriteImageEntry,
    &FindGeoreferenceEntry, &WriteVectorEntry};

}  // namespace
}  // namespace gdal
}  // namespace cli

extern "C" __attribute__((visibility("default"))) const cli::GdalModule* zentrel_gdal_module() {
  return &cli::gdal::kTable;
}
