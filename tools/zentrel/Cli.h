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

/// How LoadImage reads files.
struct LoadOptions {
  /// true: the library's narrow readers, the format from TestImageFormat
  /// (name or "BM"); false: the widened readers, the format from the
  /// file's content.
  bool strict = false;
};
/// The options of every load of this run (main sets them from --strict).
LoadOptions& DefaultLoadOptions();

/// Loads a BMP or GIF file into an empty record; throws Failure saying why
/// when it cannot. Afterwards the record tells GetLastReadNote,
/// GetTransparentIndex and GetFileColors of the read. With forPainting, also
/// runs the library's painting check (InitDIBData: sides above 10000 pixels
/// are refused with "Map is too large"); commands that never paint pass
/// false and take any sheet the library can hold in one block.
void LoadImage(CImageDataModel& image, const std::string& path, bool forPainting = true,
               const LoadOptions& options = DefaultLoadOptions());
/// The format code LoadImage reads path as: from its first bytes (1 BMP,
/// 3 GIF, 0 other) or, with strict, TestImageFormat.
int DetectFormat(const std::string& path, const LoadOptions& options = DefaultLoadOptions());
/// Saves the record as a BMP file; throws Failure when it cannot.
void SaveImage(CImageDataModel& image, const std::string& path);
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
