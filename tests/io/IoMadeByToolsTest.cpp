// Files made at test time by Pillow, ImageMagick, libtiff's tiffcp and
// netpbm read to the pixels those tools decode them to.
#include <gtest/gtest.h>

#include "IoOracles.h"
#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

// {src} is a 67 x 45 PPM picture, {dir} the test folder, {out} the file made.
struct Made {
  const char* name;
  const char* tool;    // the program that must be present
  const char* make;    // shell command making {out}
  const char* decode;  // shell command printing {out} as a P6 PPM; "libtiff" for the oracle
  int tolerance;       // alpha compositing and JPEG colour conversion may round differently
};

#define PIL_MAKE(body) \
  "PYTHON -c \"import sys; from PIL import Image; im = Image.open('{src}'); " body "\""
#define PIL_DECODE                                                                       \
  "PYTHON -c \"import sys; from PIL import Image; im = Image.open('{out}'); im.load(); " \
  "im = im.convert('RGBA') if im.mode in ('RGBA', 'LA', 'PA') else im; "                 \
  "im = Image.alpha_composite(Image.new('RGBA', im.size, (255, 255, 255, 255)), im) "    \
  "if im.mode == 'RGBA' else im; im = im.convert('RGB'); "                               \
  "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\""
#define MAGICK_DECODE "convert {out} -background white -flatten -depth 8 ppm:-"
#define NETPBM_DECODE "ppmtoppm < {out} | pamdepth 255"
#define MONO "convert {src} -monochrome -depth 1 -compress none {dir}/mono.tif && "

const Made kMade[] = {
    {"Pillow palette PNG", "convert", PIL_MAKE("im.quantize(64).save('{out}')"), PIL_DECODE, 0},
    {"Pillow grey+alpha PNG", "convert",
     PIL_MAKE("g = im.convert('L'); g.putalpha(im.getchannel('R')); g.save('{out}')"), PIL_DECODE,
     1},
    {"Pillow RGBA PNG", "convert",
     PIL_MAKE("c = im.copy(); c.putalpha(im.getchannel('G')); c.save('{out}')"), PIL_DECODE, 1},
    {"Pillow LZW RGB TIFF", "convert", PIL_MAKE("im.save('{out}', compression='tiff_lzw')"),
     PIL_DECODE, 0},
    {"Pillow G4 1-bit TIFF", "convert",
     PIL_MAKE("im.convert('1').save('{out}', compression='group4')"), PIL_DECODE, 0},
    // Pillow writes colour maps as v * 256, which GDAL divides by 257
    // (tiff-colormap-rounding).
    {"Pillow PackBits palette TIFF", "convert",
     PIL_MAKE("im.quantize(16).save('{out}', compression='packbits')"), PIL_DECODE, 1},
    {"ImageMagick 16-bit RGB PNG", "convert", "convert {src} -depth 16 PNG48:{out}", MAGICK_DECODE,
     0},
    {"ImageMagick 2-bit grey PNG", "convert", "convert {src} -colorspace gray -depth 2 PNG8:{out}",
     MAGICK_DECODE, 0},
    {"ImageMagick Deflate palette TIFF", "convert",
     "convert {src} -type Palette -compress zip {out}", MAGICK_DECODE, 0},
    {"ImageMagick JPEG TIFF", "convert", "convert {src} -compress jpeg -quality 90 {out}",
     MAGICK_DECODE, 3},
    // ImageMagick converts a grey TIFF's samples as linear light when it
    // writes them as PPM, so libtiff decodes this one (taking the high byte).
    {"ImageMagick 16-bit grey TIFF", "convert", "convert {src} -colorspace gray -depth 16 {out}",
     "libtiff", 1},
    {"MINISWHITE 8-bit grey TIFF", "tiffset",
     "convert {src} -colorspace gray -depth 8 -compress none {out} && tiffset -s 262 0 {out}",
     "libtiff", 0},
    {"tiffcp G3 1-bit TIFF", "tiffcp", MONO "tiffcp -c g3 {dir}/mono.tif {out}", "libtiff", 0},
    {"tiffcp G3 2-D 1-bit TIFF", "tiffcp", MONO "tiffcp -c g3:2d {dir}/mono.tif {out}", "libtiff",
     0},
    {"tiffcp G4 1-bit TIFF", "tiffcp", MONO "tiffcp -c g4 {dir}/mono.tif {out}", "libtiff", 0},
    {"tiffcp LZW RGB TIFF", "tiffcp",
     "convert {src} -compress none {dir}/rgb.tif && tiffcp -c lzw {dir}/rgb.tif {out}", "libtiff",
     0},
    {"tiffcp tiled LZW TIFF", "tiffcp",
     "convert {src} -compress none {dir}/rgb.tif && tiffcp -c lzw -t -w 16 -l 16 {dir}/rgb.tif "
     "{out}",
     "libtiff", 0},
    {"tiffcp tiled G4 TIFF", "tiffcp", MONO "tiffcp -c g4 -t -w 32 -l 32 {dir}/mono.tif {out}",
     "libtiff", 0},
    {"netpbm P1", "pnmtoplainpnm", "ppmtopgm {src} | pgmtopbm -threshold | pnmtoplainpnm > {out}",
     NETPBM_DECODE, 0},
    {"netpbm P2", "pnmtoplainpnm", "ppmtopgm {src} | pnmtoplainpnm > {out}", NETPBM_DECODE, 0},
    {"netpbm P3", "pnmtoplainpnm", "pnmtoplainpnm {src} > {out}", NETPBM_DECODE, 0},
    {"netpbm P4", "pgmtopbm", "ppmtopgm {src} | pgmtopbm -threshold > {out}", NETPBM_DECODE, 0},
    {"netpbm P5 16-bit", "pamdepth", "ppmtopgm {src} | pamdepth 65535 > {out}", NETPBM_DECODE, 0},
    {"netpbm P6 maxval 100", "pamdepth", "pamdepth 100 {src} > {out}", NETPBM_DECODE, 0},
};

std::string Fill(std::string text, const std::string& dir, const std::string& out) {
  auto replace = [&text](const std::string& key, const std::string& value) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  };
  replace("PYTHON", ZENTREL_PYTHON);
  replace("{src}", dir + "/src.ppm");
  replace("{dir}", dir);
  replace("{out}", out);
  return text;
}

// The test picture: smooth gradients, hard edges and a fine checkerboard.
void WriteSource(const std::string& path) {
  CImageDataModel image;
  zt::MakeImage(image, 67, 45, 24);
  for (UINT y = 0; y < 45; ++y)
    for (UINT x = 0; x < 67; ++x)
      image.SetPixel(
          x, y,
          x < 20 && y < 20 && (x + y) % 2 ? RGB(20, 20, 20) : RGB(x * 255 / 66, y * 255 / 44, 128));
  ASSERT_TRUE(zentrel::io::WriteImage(image, path, zentrel::io::OutputFormat::PPM));
}

TEST(IoMadeByTools, FilesOtherToolsMakeReadToThePixelsTheyDecode) {
  zt::TempDir dir;
  WriteSource(dir.File("src.ppm"));
  for (const Made& m : kMade) {
    if (!iot::HaveProgram(m.tool)) {
      ADD_FAILURE() << m.name << ": " << m.tool << " missing (scripts/install-deps.sh installs it)";
      continue;
    }
    const std::string ext = std::string(m.name).find("PNG") != std::string::npos    ? ".png"
                            : std::string(m.name).find("TIFF") != std::string::npos ? ".tif"
                                                                                    : ".pnm";
    const std::string out = dir.File("made" + ext);
    ASSERT_TRUE(iot::Run(Fill(m.make, dir.path(), out))) << m.name << ": " << m.make;
    iot::Picture expected;
    if (std::string(m.decode) == "libtiff") {
      expected = iot::DecodeWithLibtiff(out);
    } else {
      const std::string ppm = iot::Output(Fill(m.decode, dir.path(), out));
      expected = iot::ParsePpm(std::vector<std::uint8_t>(ppm.begin(), ppm.end()));
    }
    ASSERT_FALSE(expected.empty()) << m.name << ": the tool cannot decode its own file";
    CImageDataModel image;
    const zentrel::io::Status status = zentrel::io::ReadImage(out, image);
    ASSERT_TRUE(status) << m.name << ": " << status.reason;
    EXPECT_LE(iot::MaxDifference(iot::FromRecord(image), expected), m.tolerance) << m.name;
  }
}

}  // namespace
