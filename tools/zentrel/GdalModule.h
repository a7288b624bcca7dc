// The tool's GDAL module: PNG, TIFF and PNM files (through Zentrel::IO),
// georeferencing and the vector outputs live in a separate shared module
// that the tool loads the first time a command needs one of them, so that
// a run that reads BMP or GIF and writes SVG or JSON never maps GDAL.
#ifndef ZENTREL_TOOLS_GDAL_MODULE_H
#define ZENTREL_TOOLS_GDAL_MODULE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Cli.h"
#include "Georeference.h"
#include "VectorOutput.h"
#include "Vectorizer.h"

namespace cli {

/// Bumped whenever the table or a type it passes changes shape.
constexpr int kGdalModuleAbi = 1;

/// The module's entry points. Each returns the reason of a failure, empty
/// on success; no exception leaves the module.
struct GdalModule {
  int abi;           // kGdalModuleAbi of the module's build
  std::size_t size;  // sizeof(GdalModule) there
  bool haveImageIo;  // PNG, TIFF and PNM through Zentrel::IO
  /// Registers GDAL's drivers once and keeps its messages off the terminal.
  void (*init)();
  std::string (*readImage)(const std::string& path, CImageDataModel& image);
  std::string (*readImageFromMemory)(const std::uint8_t* data, std::size_t size,
                                     CImageDataModel& image);
  std::string (*encodeImage)(const CImageDataModel& image, SaveFormat format,
                             std::vector<std::uint8_t>& bytes);
  std::string (*writeImage)(const CImageDataModel& image, const std::string& path,
                            SaveFormat format);
  /// FindGeoreference (Georeference.h) with GDAL; the message is the whole
  /// Failure text.
  std::string (*findGeoreference)(const std::string& image, const std::string& world,
                                  Georeference& found);
  /// WriteVector (VectorOutput.h) with GDAL; the message is the whole
  /// Failure text.
  std::string (*writeVector)(const std::string& path, VectorFormat format,
                             const VectorizeResult& result, const Georeference& geo);
};

/// The name of the function the module exports; it returns its table.
#define ZENTREL_GDAL_MODULE_ENTRY "zentrel_gdal_module"

/// The module, loaded on the first call (safe from any thread); null when
/// this build has none or it cannot be loaded. Looks beside the running
/// program, in the install layout relative to it (bin/../lib/zentrel), in
/// the build tree and in the install prefix.
const GdalModule* GdalModuleOrNull();
/// True when a module file is where the loader looks; does not load it
/// (a module of another build is found but then refused).
bool GdalModuleFound();
/// The reason the module is missing (empty when it is loaded or untried).
std::string GdalModuleProblem();

}  // namespace cli

#endif  // ZENTREL_TOOLS_GDAL_MODULE_H
