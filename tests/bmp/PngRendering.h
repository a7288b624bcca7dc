// Reference renderings stored as PNG files, read with libpng (test programs
// only, never the library).
#ifndef ZENTREL_TESTS_BMP_PNGRENDERING_H
#define ZENTREL_TESTS_BMP_PNGRENDERING_H

#include <cstdint>
#include <string>
#include <vector>

namespace zt {

/// An RGB (or RGBA) rendering; empty when it cannot be read.
struct Rendering {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<std::uint8_t> rgb;  // rows from the top, 3 (or 4) bytes a pixel
};

/// Reads the PNG file at path as RGB, or RGBA when alpha is true.
Rendering ReadPng(const std::string& path, bool alpha = false);

}  // namespace zt

#endif  // ZENTREL_TESTS_BMP_PNGRENDERING_H
