// Shared pieces of the zentrel command-line tool: errors, image loading and
// saving, and the entry points of its commands.
#ifndef ZENTREL_TOOLS_CLI_H
#define ZENTREL_TOOLS_CLI_H

#include <stdexcept>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

/// An error the user must see: printed as "zentrel: <message>", exit status 1.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
/// A wrong command line: printed with a hint to --help, exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// How LoadImage reads BMP and GIF files.
struct LoadOptions {
  /// true: the library's narrow readers, the format from TestImageFormat
  /// (name or "BM"); false: the widened readers, the format from the
  /// file's content. PNG, TIFF and PNM files are recognised by content
  /// either way.
  bool strict = false;
};
/// The options of every load of this run (main sets them from --strict).
LoadOptions& DefaultLoadOptions();

/// How an image is saved: BMP through the core library, the others
/// through Zentrel::IO.
enum class SaveFormat { Bmp, Png, Tiff, Pgm, Ppm };
/// The format a --format word names: bmp, png, tif, tiff, pgm, ppm (any case).
bool SaveFormatFromWord(const std::string& word, SaveFormat& format);
/// The format of a file name's extension (the same words); false for others.
bool SaveFormatFromName(const std::string& path, SaveFormat& format);
/// True when the tool's GDAL module reads and writes PNG, TIFF and PNM
/// files (Zentrel::IO); loads the module.
bool HaveImageIo();

/// Loads an image into an empty record; throws Failure saying why when it
/// cannot. The format is recognised by content: BMP and GIF through the
/// core library (afterwards the record tells GetLastReadNote,
/// GetTransparentIndex and GetFileColors of the read), PNG, TIFF and PNM
/// through Zentrel::IO. "-" reads standard input. With forPainting, also
/// runs the library's painting check (InitDIBData: sides above 10000 pixels
/// are refused with "Map is too large"); commands that never paint pass
/// false and take any sheet the library can hold in one block.
void LoadImage(CImageDataModel& image, const std::string& path, bool forPainting = true,
               const LoadOptions& options = DefaultLoadOptions());
/// The library's format code LoadImage reads a BMP or GIF file as: from its
/// first bytes (1 BMP, 3 GIF, 2 a TIFF file, 0 other) or, with strict,
/// TestImageFormat.
int DetectFormat(const std::string& path, const LoadOptions& options = DefaultLoadOptions());
/// The name of the format of a file's content: BMP, GIF, PNG, TIFF, PNM or
/// unknown.
const char* ContentFormatName(const std::string& path);
/// Saves the record in the format of the name's extension (BMP for a name
/// without a known one); throws Failure when it cannot.
void SaveImage(CImageDataModel& image, const std::string& path);
/// Saves the record in the given format; "-" writes to standard output.
void SaveImage(CImageDataModel& image, const std::string& path, SaveFormat format);
/// The image as a PNG file, base64-encoded (for SVG underlays), through
/// libpng (an image neither 8 nor 24 bits deep, or a tool built without
/// libpng, through Zentrel::IO); empty, with a note on standard error,
/// when neither can encode it.
std::string PngBase64(const CImageDataModel& image);
/// The name of a format code.
const char* FormatName(int code);

int RunInfo(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunVectorize(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);

/// True when args hold -h or --help.
bool WantsHelp(const std::vector<std::string>& args);

}  // namespace cli

#endif  // ZENTREL_TOOLS_CLI_H
