// Saving what the window shows: 32-bit 0xFFRRGGBB rows as a PNG file (the
// tool's encoder) or a 24-bit BMP file (the library's off-screen device).
#ifndef ZENTREL_TOOLS_VIEW_FRAMEFILE_H
#define ZENTREL_TOOLS_VIEW_FRAMEFILE_H

#include <cstdint>
#include <string>

namespace view {

enum class FrameFormat { kUnknown, kPng, kBmp };

/// The format a file name asks for by its extension (any case).
FrameFormat FrameFormatOf(const std::string& path);

/// Saves width × height pixels, rows pitch bytes apart, top row first.
/// Throws cli::Failure when the name has no known extension, the sizes are
/// not positive, or the file cannot be written.
void SaveFrame(const std::string& path, const std::uint32_t* pixels, int width, int height,
               int pitch);

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_FRAMEFILE_H
