// The decoders behind ReadImage: GDAL for PNG and TIFF, libnetpbm for PNM.
#ifndef ZENTREL_IO_READERS_H
#define ZENTREL_IO_READERS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ZentrelIO.h"

namespace zentrel {
namespace io {

/// Reads a PNG or TIFF file through GDAL; path may name a /vsimem/ file.
Status ReadWithGdal(const std::string& path, FileFormat format, CImageDataModel& image);
/// True for a PNG whose header says 16-bit samples and Adam7 interlacing.
bool IsInterlaced16BitPng(const std::uint8_t* head, std::size_t size);
/// Reads such a PNG through libpng.
Status ReadPng16Interlaced(std::FILE* stream, CImageDataModel& image);
/// Reads a PNM image (P1 to P6) from an open stream (the first image only).
Status ReadPnmStream(std::FILE* stream, CImageDataModel& image);

}  // namespace io
}  // namespace zentrel

#endif  // ZENTREL_IO_READERS_H
