// The vector outputs: the format of a file name, and the writing, which the
// GDAL module does.
#include "VectorOutput.h"

#include "Cli.h"
#include "GdalModule.h"

namespace cli {
namespace {

std::string Lower(std::string text) {
  for (char& ch : text)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

VectorFormat VectorFormatFor(const std::string& path, VectorFormat fallback) {
  const std::string name = Lower(path);
  if (EndsWith(name, ".gpkg")) return VectorFormat::GeoPackage;
  if (EndsWith(name, ".shp")) return VectorFormat::Shapefile;
  if (EndsWith(name, ".dxf")) return VectorFormat::Dxf;
  if (EndsWith(name, ".geojson") || EndsWith(name, ".json")) return VectorFormat::GeoJson;
  return fallback;
}

void WriteVector(const std::string& path, VectorFormat format, const VectorizeResult& result,
                 const Georeference& geo) {
  const GdalModule* gdal = GdalModuleOrNull();
  if (!gdal) throw Failure(path + ": vector outputs are unavailable: " + GdalModuleProblem());
  const std::string failure = gdal->writeVector(path, format, result, geo);
  if (!failure.empty()) throw Failure(failure);
}

}  // namespace cli
