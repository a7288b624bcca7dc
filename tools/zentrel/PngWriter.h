// A small PNG encoder for the tool's SVG underlays: 8-bit palette or 24-bit
// RGB images, compressed with fixed-Huffman deflate using only runs and
// repeats of the row above, which suits map sheets with large flat areas.
#ifndef ZENTREL_TOOLS_PNGWRITER_H
#define ZENTREL_TOOLS_PNGWRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

/// The image as a PNG file's bytes (8-bit images keep their colour table).
std::vector<std::uint8_t> EncodePng(const CImageDataModel& image);
/// Standard base64 of bytes.
std::string Base64(const std::vector<std::uint8_t>& bytes);

}  // namespace cli

#endif  // ZENTREL_TOOLS_PNGWRITER_H
