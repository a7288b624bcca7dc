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

/// How an image is saved: BMP through the core library, the others
/// through Zentrel::IO.
enum class SaveFormat { Bmp, Png, Tiff, Pgm, Ppm };
/// The format a --format word names: bmp, png, tif, tiff, pgm, ppm (any case).
bool SaveFormatFromWord(const std::string& word, SaveFormat& format);
/// The format of a file name's extension (the same words); false for others.
bool SaveFormatFromName(const std::string& path, SaveFormat& format);
/// True when the tool was built with Zentrel::IO (PNG, TIFF, PNM).
bool HaveImageIo();

/// Loads an image into an empty record and runs the size check; the format
/// is recognised by content: BMP and GIF through the core library, PNG,
/// TIFF and PNM through Zentrel::IO. "-" reads standard input. Throws
/// Failure saying why when it cannot.
void LoadImage(CImageDataModel& image, const std::string& path);
/// Saves the record in the format of the name's extension (BMP for a name
/// without a known one); throws Failure when it cannot.
void SaveImage(CImageDataModel& image, const std::string& path);
/// Saves the record in the given format; "-" writes to standard output.
void SaveImage(CImageDataModel& image, const std::string& path, SaveFormat format);
/// The image as a PNG file, base64-encoded (for SVG underlays); empty, with
/// a note on standard error, when the tool lacks Zentrel::IO.
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
