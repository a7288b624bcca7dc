#include "GiflibOracle.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace gift {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct MemoryInput {
  const Bytes* bytes;
  std::size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(count), in->bytes->size() - in->pos);
  std::memcpy(out, in->bytes->data() + in->pos, n);
  in->pos += n;
  return static_cast<int>(n);
}

void PlaceFirstFrame(const GifFileType& gif, const SavedImage& frame, const ColorMapObject& map,
                     GiflibFrame& out) {
  const int w = frame.ImageDesc.Width, h = frame.ImageDesc.Height;
  const int sw = gif.SWidth, sh = gif.SHeight;
  out.indices.assign(std::size_t(sw) * std::size_t(sh), 0);
  for (int r = 0; r < h; ++r) {
    const int y = sh - h + r;
    if (y < 0 || y >= sh) continue;
    for (int c = 0; c < w && c < sw; ++c)
      out.indices[std::size_t(y) * std::size_t(sw) + std::size_t(c)] = static_cast<std::uint8_t>(
          frame.RasterBits[std::size_t(r) * std::size_t(w) + std::size_t(c)] &
          (map.ColorCount - 1));
  }
  out.colours.assign(3 * 256, 0);
  for (int i = 0; i < map.ColorCount && i < 256; ++i) {
    out.colours[3 * i] = map.Colors[i].Red;
    out.colours[3 * i + 1] = map.Colors[i].Green;
    out.colours[3 * i + 2] = map.Colors[i].Blue;
  }
  out.ok = true;
}

}  // namespace

GiflibFrame DecodeWithGiflib(const Bytes& file) {
  GiflibFrame out;
  MemoryInput input{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadFromMemory, &error);
  if (!gif) return out;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* map =
        frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    if (map && frame.RasterBits) PlaceFirstFrame(*gif, frame, *map, out);
    GraphicsControlBlock control;
    if (out.ok && DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK)
      out.transparent = control.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return out;
}

}  // namespace gift
