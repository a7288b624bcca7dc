// Reading world files (and their coordinate system) and GeoTIFF placement
// through GDAL and Zentrel::IO.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_spatialref.h>

#include <mutex>

#include "Module.h"

#ifdef ZENTREL_HAVE_IO
#include "ZentrelIO.h"
#endif

namespace cli {
namespace gdal {

void InitGdalOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    // Polygons go to DXF as closed polylines, not filled hatches.
    CPLSetConfigOption("DXF_WRITE_HATCH", "NO");
  });
}

namespace {

// The coordinate system in the '.prj' file of the same base name, as WKT;
// empty when there is none or it cannot be understood.
std::string ReadPrj(const std::string& path) {
  const std::string prj = std::string(CPLResetExtension(path.c_str(), "prj"));
  VSIStatBufL info;
  if (VSIStatL(prj.c_str(), &info) != 0) return "";
  char** lines = CSLLoad(prj.c_str());
  OGRSpatialReference srs;
  std::string wkt;
  if (lines && srs.importFromESRI(lines) == OGRERR_NONE) {
    char* text = nullptr;
    if (srs.exportToWkt(&text) == OGRERR_NONE && text) wkt = text;
    CPLFree(text);
  }
  CSLDestroy(lines);
  return wkt;
}

}  // namespace

Georeference FindGeoreferenceWithGdal(const std::string& image, const std::string& world) {
  InitGdalOnce();
  double gt[6] = {0, 1, 0, 0, 0, 1};
  if (!world.empty()) {
    if (!GDALLoadWorldFile(world.c_str(), gt))
      throw Failure(world + ": cannot read it as a world file (six numbers, one a line)");
    Georeference g = Georeference::FromGeoTransform(gt, ReadPrj(world));
    g.source = world;
    return g;
  }
#ifdef ZENTREL_HAVE_IO
  // GeoTIFF keys, or a world file beside any image, through Zentrel::IO.
  zentrel::io::Georeference found;
  if (zentrel::io::ReadGeoreference(image, found) && found.hasTransform) {
    Georeference g;
    g.a = found.a;
    g.b = found.b;
    g.c = found.c;
    g.d = found.d;
    g.e = found.e;
    g.f = found.f;
    g.wkt = found.wkt;
    g.georeferenced = true;
    g.source = found.source + " of " + image;
    return g;
  }
#endif
  if (!GDALReadWorldFile(image.c_str(), nullptr, gt)) return Georeference();
  Georeference g = Georeference::FromGeoTransform(gt, ReadPrj(image));
  g.source = "the world file beside " + image;
  return g;
}

}  // namespace gdal
}  // namespace cli
