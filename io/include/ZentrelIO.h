// Zentrel::IO — moves images between PNG, TIFF and PNM files and a
// CImageDataModel record, and reads the georeferencing that comes with them.
//
// This companion library is optional and separate from libZentrel: it links
// GDAL (PNG and TIFF decoding and encoding, PGM/PPM encoding, world files,
// GeoTIFF tags, coordinate systems) and libnetpbm (PNM decoding), while the
// core library stays free of dependencies. Link Zentrel::IO (CMake) or
// `pkg-config zentrel-io`.
//
// Conventions shared by every function here:
//  - Each call returns a Status: ok, or the reason in one line of plain
//    English ("damaged file: ...", "unsupported: ...", "too large: ...").
//  - Nothing is left allocated on failure, and a record that a read refused
//    stays empty.
//  - Calls are safe to make from several threads at once, each on its own
//    record. The library sets no process-wide GDAL option and installs no
//    global error handler; GDAL's drivers are registered once, on first use.
//  - Pixel (x, y) counts from the top-left corner of the image, x to the
//    right and y downwards, as everywhere in Zentrel.
#ifndef ZENTREL_IO_H
#define ZENTREL_IO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ImageDataModel.h"

#if defined(ZENTREL_IO_BUILDING)
#define ZENTREL_IO_API __attribute__((visibility("default")))
#else
#define ZENTREL_IO_API
#endif

namespace zentrel {
namespace io {

/// The outcome of a call: ok, or why it failed.
struct Status {
  bool ok = true;
  std::string reason;  // empty when ok

  explicit operator bool() const { return ok; }
  static Status Ok() { return Status(); }
  static Status Fail(std::string why) { return Status{false, std::move(why)}; }
};

/// File formats told apart by their first bytes (never by the name).
enum class FileFormat { Unknown, BMP, GIF, PNG, TIFF, PNM };

/// The format of a file from its first bytes: "BM" BMP, "GIF8" GIF, the PNG
/// signature, "II*\0"/"MM\0*" (and BigTIFF's 43) TIFF, "P1".."P7" PNM.
/// Unknown for anything else, including fewer than 2 bytes.
ZENTREL_IO_API FileFormat DetectFormat(const std::uint8_t* data, std::size_t size);
/// DetectFormat on the first bytes of a file; Unknown when it cannot be read.
ZENTREL_IO_API FileFormat DetectFileFormat(const std::string& path);
/// "BMP", "GIF", "PNG", "TIFF", "PNM" or "unknown".
ZENTREL_IO_API const char* FormatName(FileFormat format);

/// Loads a PNG, TIFF or PNM file (recognised by content) into an empty
/// record. The result is what the core readers install: an 8-bit image with
/// a 256-entry colour table or a 24-bit image, bottom-up rows, the working
/// rectangle set to the whole image and the scale reset to 1.0. Call
/// InitDIBData afterwards, as after ReadBMPImage.
///
/// What each kind of file becomes:
///  - palette (PNG colour type 3, TIFF palette, 1/2/4/8-bit): 8-bit with the
///    file's table (entries past the file's count black); PNG palette alpha
///    is composited over white into the table;
///  - grey (1 to 16 bits): 8-bit with a grey table (entry i = grey i);
///    samples are scaled to 0..255, rounding (16-bit v gives (v + 128) / 257);
///    TIFF MINISWHITE files come as palette images whose table runs white
///    to black, so 1-bit scans get a two-entry white/black table;
///  - RGB (8 or 16 bits per sample, TIFF YCbCr/CMYK as GDAL converts them):
///    24-bit;
///  - any alpha (PNG alpha channel or tRNS, TIFF extra alpha sample) is
///    composited over white paper: c' = (c·a + 255·(255 − a)) / 255,
///    rounded, after scaling both to 8 bits.
/// TIFF: the first page only; strips or tiles; none, PackBits, LZW, Deflate,
/// CCITT G3/G4 and JPEG compression (any codec the installed libtiff has).
/// PNM: P1 to P6, any maxval up to 65535 (PAM, P7, is refused).
///
/// Fails, leaving the record empty, when the record already holds an image,
/// the file cannot be read, is damaged or truncated, is of a variant the
/// record cannot hold (floating-point, signed or 32-bit samples, palettes
/// of more than 256 entries, 16-bit CMYK, channels that are not grey or RGB
/// with or without alpha, PAM files) or needs a larger block than the
/// record's read limit allows (CImageDataModel::SetReadLimit; without one the
/// block cap of 2 GiB − 1 bytes, as for the core readers). Images above
/// 10000 pixels a side load; InitDIBData refuses them for painting.
ZENTREL_IO_API Status ReadImage(const std::string& path, CImageDataModel& image);
/// ReadImage on bytes in memory (standard input, a network buffer). The
/// bytes are only read, and may be freed when the call returns.
ZENTREL_IO_API Status ReadImageFromMemory(const std::uint8_t* data, std::size_t size,
                                          CImageDataModel& image);

/// What WriteImage and EncodeImage produce.
enum class OutputFormat {
  PNG,   // 8-bit: palette PNG with all 256 table entries; 24-bit: RGB PNG
  TIFF,  // 8-bit: palette TIFF; 24-bit: RGB TIFF; compressed as chosen
  PGM,   // binary grey map (P5, maxval 255); only for images whose colours are all grey
  PPM,   // binary pixel map (P6, maxval 255), any image
};
enum class TiffCompression { Deflate, LZW };

/// The output format for a file name's extension, any case: .png, .tif and
/// .tiff, .pgm, .ppm. False for any other name.
ZENTREL_IO_API bool OutputFormatFromName(const std::string& path, OutputFormat& format);

/// Encodes the record's image into bytes of the given format. Fails when the
/// record is empty or not 8/24-bit, when the header's depth was rewritten to
/// one the block was not made for (see CImageDataModel::GetBmh), for PGM when
/// some pixel is not grey, or when the encoder fails. The record is only read.
ZENTREL_IO_API Status EncodeImage(const CImageDataModel& image, OutputFormat format,
                                  std::vector<std::uint8_t>& bytes,
                                  TiffCompression compression = TiffCompression::Deflate);
/// Writes the record's image to a file, safely: the bytes go to a temporary
/// file in the target's folder, which is flushed and then renamed over the
/// target. On any failure the temporary file is removed and an existing
/// target is left untouched. An existing target keeps its permission bits;
/// a symbolic link is followed and the file it names replaced.
ZENTREL_IO_API Status WriteImage(const CImageDataModel& image, const std::string& path,
                                 OutputFormat format,
                                 TiffCompression compression = TiffCompression::Deflate);

/// How pixels map to the ground, and in which coordinate system.
///
/// The transform follows the world-file convention: with (x, y) a pixel's
/// column and row counted from the top-left pixel, the map coordinates of
/// that pixel's CENTRE are
///     X = a·x + b·y + c
///     Y = d·x + e·y + f
/// so (c, f) is the centre of the top-left pixel, and the image's outer
/// top-left corner is at pixel coordinates (−0.5, −0.5). These are the six
/// lines of a world file in the order a, d, b, e, c, f. GDAL's geotransform
/// refers to the corner instead; CornerTransform converts.
struct Georeference {
  bool hasTransform = false;  // false: the file gives no placement
  double a = 1, b = 0, c = 0;
  double d = 0, e = 1, f = 0;
  int epsg = 0;        // the EPSG code of the coordinate system, 0 when none is known
  std::string wkt;     // the coordinate system as WKT, empty when the file gives none
  std::string source;  // "GeoTIFF tags", "world file NAME" or "" (see ReadGeoreference)
};

/// Map coordinates of pixel position (x, y); integral (x, y) is a pixel's
/// centre, (x − 0.5, y − 0.5) its top-left corner.
ZENTREL_IO_API void PixelToMap(const Georeference& geo, double x, double y, double& mapX,
                               double& mapY);
/// GDAL's geotransform (corner of the top-left pixel; X = g0 + g1·col + g2·row,
/// Y = g3 + g4·col + g5·row with (col, row) = (0, 0) the outer corner).
ZENTREL_IO_API void CornerTransform(const Georeference& geo, double transform[6]);

/// Reads the georeferencing of an image file (any format, BMP and GIF
/// included):
///  1. a TIFF's own GeoTIFF keys (ModelPixelScale + ModelTiepoint, or
///     ModelTransformation; PixelIsPoint files are shifted to this
///     convention), with the coordinate system they name;
///  2. otherwise a world file beside the image, tried in this order: the
///     short form of the image's extension (first and last letter + "w":
///     .pgw, .tfw, .bpw, .gfw), the long form (extension + "w": .pngw,
///     .tifw, .bmpw, .gifw), then NAME.wld; each in the extension's case,
///     then lower and upper case. A NAME.prj beside it gives the system.
/// geo.epsg is the EPSG code when the system has one or matches one with
/// near certainty. A file that gives no placement gives ok with hasTransform
/// false. Fails only when the image itself cannot be opened.
ZENTREL_IO_API Status ReadGeoreference(const std::string& path, Georeference& geo);

}  // namespace io
}  // namespace zentrel

#endif  // ZENTREL_IO_H
