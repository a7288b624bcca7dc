// Finding a sheet's georeferencing: the GDAL module reads world files and
// GeoTIFF placement; a sheet with neither is on the pixel grid without it.
#include "Georeference.h"

#include <unistd.h>

#include <cctype>

#include "Cli.h"
#include "GdalModule.h"

namespace cli {
namespace {

std::string Cased(std::string text, bool upper) {
  for (char& c : text)
    c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                : std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// True when a file lies beside the image under a name a world file of it
// may have: the image's name with the extension's first and last letter
// and 'w', the extension and 'w', or 'wld', in lower or upper case (the
// names GDAL and Zentrel::IO try). Any such file, whatever it holds, sends
// the sheet to the module, which reads it.
bool WorldFileBeside(const std::string& image) {
  const std::size_t slash = image.find_last_of('/');
  const std::size_t dot = image.find_last_of('.');
  const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string base = hasDot ? image.substr(0, dot) : image;
  const std::string extension = hasDot ? image.substr(dot + 1) : "";
  std::vector<std::string> endings = {"wld"};
  if (extension.size() >= 2) {
    endings.push_back(std::string{extension.front(), extension.back(), 'w'});
    // GDAL copies the extension into 32 bytes.
    endings.push_back((extension + "w").substr(0, 31));
  }
  for (const std::string& ending : endings)
    for (bool upper : {false, true})
      if (::access((base + "." + Cased(ending, upper)).c_str(), F_OK) == 0) return true;
  return false;
}

}  // namespace

bool HaveGdal() { return GdalModuleFound(); }

void InitGdal() {
  if (const GdalModule* gdal = GdalModuleOrNull()) gdal->init();
}

Georeference FindGeoreference(const std::string& image, const std::string& world) {
  // A sheet that has no world file and is no GeoTIFF has nothing for the
  // module to read: it is not loaded for it.
  if (world.empty() && std::string(ContentFormatName(image)) != "TIFF" && !WorldFileBeside(image))
    return Georeference();
  const GdalModule* gdal = GdalModuleOrNull();
  if (!gdal) {
    if (!world.empty()) throw Failure("--world is unavailable: " + GdalModuleProblem());
    return Georeference();
  }
  Georeference found;
  const std::string failure = gdal->findGeoreference(image, world, found);
  if (!failure.empty()) throw Failure(failure);
  return found;
}

}  // namespace cli
