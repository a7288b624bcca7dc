// Writing the window's pixels to a PNG or BMP file.
#include "FrameFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Cli.h"
#include "ImageDataModel.h"

namespace view {

FrameFormat FrameFormatOf(const std::string& path) {
  if (path.size() < 5) return FrameFormat::kUnknown;
  std::string ext = path.substr(path.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".png") return FrameFormat::kPng;
  if (ext == ".bmp") return FrameFormat::kBmp;
  return FrameFormat::kUnknown;
}

namespace {

const std::uint32_t* Row(const std::uint32_t* pixels, int pitch, int y) {
  return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(pixels) +
                                                static_cast<std::size_t>(y) * pitch);
}

void SaveBmp(const std::string& path, const std::uint32_t* pixels, int width, int height,
             int pitch) {
  // The device's pixels have this very layout, and it writes BMP files.
  CDC device(width, height);
  if (device.GetWidth() != width) throw cli::Failure(path + ": the frame is too large");
  for (int y = 0; y < height; ++y)
    std::memcpy(device.GetBits() + static_cast<std::size_t>(y) * width, Row(pixels, pitch, y),
                static_cast<std::size_t>(width) * 4);
  if (!device.SaveBitmap(path.c_str())) throw cli::Failure(path + ": cannot write it");
}

void SavePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
             int pitch) {
  CImageDataModel frame;
  if (!frame.InitImage(width, height, 24)) throw cli::Failure(path + ": the frame is too large");
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = Row(pixels, pitch, y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = row[x];
      frame.SetPixel(static_cast<UINT>(x), static_cast<UINT>(y),
                     RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
  }
  // PNG through the tool's writer (Zentrel::IO), safely replacing the file.
  cli::SaveImage(frame, path, cli::SaveFormat::Png);
}

}  // namespace

void SaveFrame(const std::string& path, const std::uint32_t* pixels, int width, int height,
               int pitch) {
  if (!pixels || width < 1 || height < 1 || std::int64_t{pitch} < std::int64_t{width} * 4)
    throw cli::Failure(path + ": no frame to save");
  switch (FrameFormatOf(path)) {
    case FrameFormat::kBmp:
      return SaveBmp(path, pixels, width, height, pitch);
    case FrameFormat::kPng:
      return SavePng(path, pixels, width, height, pitch);
    default:
      throw cli::Failure(path + ": the name must end in .png or .bmp");
  }
}

}  // namespace view
