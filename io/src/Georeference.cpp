// Placement of an image on the map: GeoTIFF tags and the coordinate system
// through GDAL's GTiff driver, world files and .prj files through GDAL's
// world-file and spatial-reference readers.
#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_srs_api.h>

#include <memory>

#include "GdalCall.h"
#include "ZentrelIO.h"

namespace zentrel {
namespace io {

namespace {

// GDAL's corner-based geotransform into the centre-based world-file terms.
void FromCorner(const double g[6], Georeference& geo) {
  geo.hasTransform = true;
  geo.a = g[1], geo.b = g[2], geo.d = g[4], geo.e = g[5];
  geo.c = g[0] + 0.5 * g[1] + 0.5 * g[2];
  geo.f = g[3] + 0.5 * g[4] + 0.5 * g[5];
}

// WKT and EPSG code of a coordinate system.
void Describe(OGRSpatialReferenceH srs, Georeference& geo) {
  char* wkt = nullptr;
  if (OSRExportToWkt(srs, &wkt) == OGRERR_NONE && wkt) geo.wkt = wkt;
  CPLFree(wkt);
  const char* authority = OSRGetAuthorityName(srs, nullptr);
  const char* code = OSRGetAuthorityCode(srs, nullptr);
  if (authority && code && EQUAL(authority, "EPSG")) {
    geo.epsg = std::atoi(code);
    return;
  }
  // A system without its code (an ESRI .prj): the EPSG entry it matches
  // with near certainty, if any.
  int count = 0;
  int* confidence = nullptr;
  OGRSpatialReferenceH* matches = OSRFindMatches(srs, nullptr, &count, &confidence);
  if (matches && count > 0 && confidence[0] >= 90) {
    authority = OSRGetAuthorityName(matches[0], nullptr);
    code = OSRGetAuthorityCode(matches[0], nullptr);
    if (authority && code && EQUAL(authority, "EPSG")) geo.epsg = std::atoi(code);
  }
  if (matches) OSRFreeSRSArray(matches);
  CPLFree(confidence);
}

// The transform and coordinate system from a TIFF's own GeoTIFF keys only.
void FromGeoTiff(const std::string& path, Georeference& geo) {
  const char* const drivers[] = {"GTiff", nullptr};
  const char* const options[] = {"GEOREF_SOURCES=INTERNAL", nullptr};
  GDALDatasetH ds =
      GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, options, nullptr);
  if (!ds) return;
  double g[6];
  if (GDALGetGeoTransform(ds, g) == CE_None) {
    FromCorner(g, geo);
    geo.source = "GeoTIFF tags";
  }
  if (OGRSpatialReferenceH srs = GDALGetSpatialRef(ds)) {
    OGRSpatialReferenceH copy = OSRClone(srs);
    Describe(copy, geo);
    OSRDestroySpatialReference(copy);
  }
  GDALClose(ds);
}

// A world file beside the image: NAME.<short or long form>, then NAME.wld.
void FromWorldFile(const std::string& path, Georeference& geo) {
  double g[6];
  char* used = nullptr;
  if (!GDALReadWorldFile2(path.c_str(), nullptr, g, nullptr, &used) &&
      !GDALReadWorldFile2(path.c_str(), "wld", g, nullptr, &used))
    return;
  FromCorner(g, geo);
  geo.source = std::string("world file ") + (used ? CPLGetFilename(used) : "");
  CPLFree(used);
  if (!geo.wkt.empty()) return;
  // The coordinate system of a world-file pair lives in NAME.prj.
  const std::string prj = CPLResetExtension(path.c_str(), "prj");
  char** lines = CSLLoad2(prj.c_str(), 1000, 10000, nullptr);
  if (!lines) return;
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  if (OSRImportFromESRI(srs, lines) == OGRERR_NONE) Describe(srs, geo);
  OSRDestroySpatialReference(srs);
  CSLDestroy(lines);
}

}  // namespace

void PixelToMap(const Georeference& geo, double x, double y, double& mapX, double& mapY) {
  mapX = geo.a * x + geo.b * y + geo.c;
  mapY = geo.d * x + geo.e * y + geo.f;
}

void CornerTransform(const Georeference& geo, double t[6]) {
  t[1] = geo.a, t[2] = geo.b, t[4] = geo.d, t[5] = geo.e;
  t[0] = geo.c - 0.5 * geo.a - 0.5 * geo.b;
  t[3] = geo.f - 0.5 * geo.d - 0.5 * geo.e;
}

Status ReadGeoreference(const std::string& path, Georeference& geo) {
  geo = Georeference();
  if (DetectFileFormat(path) == FileFormat::Unknown) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Status::Fail("cannot open it");
    std::fclose(f);
  }
  GdalCall call;
  if (DetectFileFormat(path) == FileFormat::TIFF) FromGeoTiff(path, geo);
  if (!geo.hasTransform) FromWorldFile(path, geo);
  return Status::Ok();
}

}  // namespace io
}  // namespace zentrel
