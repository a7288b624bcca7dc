// Independent decoders for the I/O tests: libpng and libtiff read a file to
// RGB with alpha composited over white, and small helpers run other tools.
#ifndef ZENTREL_TESTS_IO_IOORACLES_H
#define ZENTREL_TESTS_IO_IOORACLES_H

#include <cstdint>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace iot {

/// An RGB picture, rows from the top; empty when the decoder refused it.
struct Picture {
  unsigned width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  bool empty() const { return rgb.empty(); }
};

/// libpng: palette and low depths expanded, tRNS as alpha, 16-bit samples
/// scaled to 8 bits (png_set_scale_16), no gamma; alpha over white.
Picture DecodeWithLibpng(const std::string& path);
/// libtiff's RGBA interface (first page, top-left origin); alpha over white.
Picture DecodeWithLibtiff(const std::string& path);
/// A binary PPM (P6, maxval 255) such as `convert x ppm:-` writes.
Picture ParsePpm(const std::vector<std::uint8_t>& bytes);
/// The record's pixels.
Picture FromRecord(const CImageDataModel& image);

/// Largest difference of any sample; 256 when the sizes differ or either is empty.
int MaxDifference(const Picture& a, const Picture& b);

/// Runs a shell command; true when it exits 0.
bool Run(const std::string& command);
/// Runs a shell command and returns its standard output ("" on failure).
std::string Output(const std::string& command);
/// True when a program is on PATH.
bool HaveProgram(const std::string& name);

}  // namespace iot

#endif  // ZENTREL_TESTS_IO_IOORACLES_H
