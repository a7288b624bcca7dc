// libpng and libtiff as reference decoders, and running the other tools.
#include "IoOracles.h"

#include <png.h>
#include <tiffio.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace iot {

namespace {

std::uint8_t OverWhite(unsigned c, unsigned a) {
  return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

void Quiet(png_structp, png_const_charp) {}
void QuietTiff(const char*, const char*, va_list) {}

// libpng decoding in its own frame: only plain data across its longjmp.
bool PngRows(std::FILE* f, Picture* out, std::vector<std::uint8_t>* rgba) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Quiet, Quiet);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  rgba->assign(static_cast<std::size_t>(out->width) * out->height * 4, 0);
  for (int pass = 0; pass < passes; ++pass)
    for (unsigned y = 0; y < out->height; ++y)
      png_read_row(png, rgba->data() + static_cast<std::size_t>(y) * out->width * 4, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

Picture Composite(unsigned w, unsigned h, const std::vector<std::uint8_t>& rgba) {
  Picture p;
  p.width = w, p.height = h;
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
    for (int c = 0; c < 3; ++c) p.rgb.push_back(OverWhite(rgba[i + c], rgba[i + 3]));
  return p;
}

}  // namespace

Picture DecodeWithLibpng(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  Picture out;
  std::vector<std::uint8_t> rgba;
  const bool ok = PngRows(f, &out, &rgba);
  std::fclose(f);
  if (!ok) return {};
  return Composite(out.width, out.height, rgba);
}

Picture DecodeWithLibtiff(const std::string& path) {
  TIFFSetErrorHandler(QuietTiff);
  TIFFSetWarningHandler(QuietTiff);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return {};
  std::uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
  const int ok =
      w && h && TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(tif);
  if (!ok) return {};
  std::vector<std::uint8_t> rgba;
  rgba.reserve(raster.size() * 4);
  for (std::uint32_t v : raster)
    for (std::uint32_t c : {TIFFGetR(v), TIFFGetG(v), TIFFGetB(v), TIFFGetA(v)})
      rgba.push_back(static_cast<std::uint8_t>(c));
  return Composite(w, h, rgba);
}

Picture ParsePpm(const std::vector<std::uint8_t>& b) {
  Picture p;
  unsigned maxval = 0;
  int consumed = 0;
  std::string head(b.begin(), b.begin() + static_cast<long>(std::min<std::size_t>(b.size(), 64)));
  if (std::sscanf(head.c_str(), "P6 %u %u %u%n", &p.width, &p.height, &maxval, &consumed) != 3 ||
      maxval != 255)
    return {};
  const std::size_t start = static_cast<std::size_t>(consumed) + 1;
  const std::size_t size = static_cast<std::size_t>(p.width) * p.height * 3;
  if (b.size() < start + size) return {};
  p.rgb.assign(b.begin() + static_cast<long>(start), b.begin() + static_cast<long>(start + size));
  return p;
}

Picture FromRecord(const CImageDataModel& image) {
  Picture p;
  p.width = image.GetWidth(), p.height = image.GetHeight();
  for (UINT y = 0; y < p.height; ++y)
    for (UINT x = 0; x < p.width; ++x) {
      const COLORREF c = image.GetPixel(x, y);
      p.rgb.push_back(GetRValue(c));
      p.rgb.push_back(GetGValue(c));
      p.rgb.push_back(GetBValue(c));
    }
  return p;
}

int MaxDifference(const Picture& a, const Picture& b) {
  if (a.empty() || b.empty() || a.width != b.width || a.height != b.height ||
      a.rgb.size() != b.rgb.size())
    return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i)
    worst = std::max(worst, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
  return worst;
}

bool Run(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      ::popen(("(" + command + ") 2>/dev/null").c_str(), "r"), ::pclose);
  if (!pipe) return "";
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
  return out;
}

bool HaveProgram(const std::string& name) { return Run("command -v " + name); }

}  // namespace iot
