// The pieces of the GDAL module, each throwing Failure as the tool's own
// code does; the module's table turns that into a message.
#ifndef ZENTREL_TOOLS_GDAL_MODULE_PIECES_H
#define ZENTREL_TOOLS_GDAL_MODULE_PIECES_H

#include <cstdint>
#include <string>
#include <vector>

#include "GdalModule.h"

namespace cli {
namespace gdal {

/// Registers GDAL's drivers once per process, quietly; any thread.
void InitGdalOnce();

Georeference FindGeoreferenceWithGdal(const std::string& image, const std::string& world);
void WriteVectorWithGdal(const std::string& path, VectorFormat format,
                         const VectorizeResult& result, const Georeference& geo);

/// Zentrel::IO's readers and writers; the reason of a failure, empty on
/// success.
std::string ReadImageFile(const std::string& path, CImageDataModel& image);
std::string ReadImageBytes(const std::uint8_t* data, std::size_t size, CImageDataModel& image);
std::string EncodeImageFile(const CImageDataModel& image, SaveFormat format,
                            std::vector<std::uint8_t>& bytes);
std::string WriteImageFile(const CImageDataModel& image, const std::string& path,
                           SaveFormat format);

}  // namespace gdal
}  // namespace cli

#endif  // ZENTREL_TOOLS_GDAL_MODULE_PIECES_H
