// Writing contours as GIS and CAD features with GDAL's vector drivers.
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "Module.h"

namespace cli {
namespace gdal {
namespace {

// The points of a contour's polygon: its kept points, or all of them when
// the compression kept too few to enclose anything.
const std::vector<POINT>& RingPoints(const Contour& c) {
  return c.kept.size() >= 3 ? c.kept : c.points;
}

bool Written(const Contour& c) { return c.closed && RingPoints(c).size() >= 3; }

const char* ShapeLabel(int shape) {
  return shape == 1 ? "circle" : shape == 2 ? "rectangle" : "other";
}

// other-outline-centre: the pipeline measures the centre of circles and
// rectangles only (others keep 0, 0, the sheet's corner); for any other
// outline the mean of its traced points stands in.
void CentreOf(const Contour& c, double& x, double& y) {
  if (c.shape != 0 || c.points.empty()) {
    x = c.centre.x;
    y = c.centre.y;
    return;
  }
  double sx = 0, sy = 0;
  for (const POINT& p : c.points) {
    sx += p.x;
    sy += p.y;
  }
  x = sx / static_cast<double>(c.points.size());
  y = sy / static_cast<double>(c.points.size());
}

struct DatasetCloser {
  void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

[[noreturn]] void GdalFailure(const std::string& path, const std::string& what) {
  const std::string why = CPLGetLastErrorMsg();
  throw Failure(path + ": " + what + (why.empty() ? "" : " (" + why + ")"));
}

const char* DriverName(VectorFormat format) {
  switch (format) {
    case VectorFormat::Dxf:
      return "DXF";
    case VectorFormat::GeoPackage:
      return "GPKG";
    case VectorFormat::Shapefile:
      return "ESRI Shapefile";
    default:
      return "GeoJSON";
  }
}

struct Circle {
  double x, y, radius;
};

// The map extent of a pixel rectangle (its four corner pixels' centres).
void MapExtent(const Georeference& geo, const RECT& r, double box[4]) {
  const double xs[2] = {static_cast<double>(r.left), static_cast<double>(r.right)};
  const double ys[2] = {static_cast<double>(r.top), static_cast<double>(r.bottom)};
  bool first = true;
  for (double x : xs)
    for (double y : ys) {
      double X, Y;
      geo.Apply(x, y, X, Y);
      if (first || X < box[0]) box[0] = X;
      if (first || Y < box[1]) box[1] = Y;
      if (first || X > box[2]) box[2] = X;
      if (first || Y > box[3]) box[3] = Y;
      first = false;
    }
}

// The DXF writer of GDAL has no circle entity; each circle is added to the
// ENTITIES section of the closed file, with handles from the file's handle
// seed, which is then moved past them.
void AddDxfCircles(const std::string& path, const std::vector<Circle>& circles) {
  if (circles.empty()) return;
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::size_t section = text.find("\nENTITIES\n");
  const std::size_t end = section == std::string::npos ? section : text.find("\nENDSEC", section);
  const std::size_t zero = end == std::string::npos ? end : text.rfind('\n', end - 1);
  if (zero == std::string::npos) throw Failure(path + ": the DXF file has no ENTITIES section");
  unsigned long handle = 0x30000;
  const std::size_t seed = text.find("$HANDSEED\n  5\n");
  std::size_t seedAt = std::string::npos, seedEnd = std::string::npos;
  if (seed != std::string::npos) {
    seedAt = seed + 14;
    seedEnd = text.find('\n', seedAt);
    if (seedEnd != std::string::npos)
      handle = std::strtoul(text.substr(seedAt, seedEnd - seedAt).c_str(), nullptr, 16);
  }
  std::string entities;
  char line[256];
  for (const Circle& c : circles) {
    std::snprintf(line, sizeof line,
                  "  0\nCIRCLE\n  5\n%lX\n100\nAcDbEntity\n  8\nCIRCLE\n100\nAcDbCircle\n"
                  " 10\n%.17g\n 20\n%.17g\n 30\n0.0\n 40\n%.17g\n",
                  handle++, c.x, c.y, c.radius);
    entities += line;
  }
  text.insert(zero + 1, entities);
  if (seedEnd != std::string::npos) {
    std::snprintf(line, sizeof line, "%08lX", handle);
    text.replace(seedAt, seedEnd - seedAt, line);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw Failure(path + ": cannot write it");
}

}  // namespace

void WriteVectorWithGdal(const std::string& path, VectorFormat format,
                         const VectorizeResult& result, const Georeference& geo) {
  InitGdalOnce();
  CPLErrorReset();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(format));
  if (!driver) throw Failure(path + ": GDAL has no " + DriverName(format) + " driver");
  VSIStatBufL info;
  if (VSIStatL(path.c_str(), &info) == 0) {
    driver->Delete(path.c_str());
    if (VSIStatL(path.c_str(), &info) == 0) VSIUnlink(path.c_str());
    CPLErrorReset();
  }
  Dataset ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!ds) GdalFailure(path, "cannot create it");

  OGRSpatialReference srs;
  const bool haveSrs = !geo.wkt.empty() && srs.importFromWkt(geo.wkt.c_str()) == OGRERR_NONE;
  if (haveSrs) srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const bool dxf = format == VectorFormat::Dxf;
  char** layerOptions = nullptr;
  // geojson-pixel-grid: RFC 7946 coordinates are longitude and latitude.
  // With a known coordinate system GDAL reprojects to them; pixel or
  // unlabelled map coordinates are written as they are (the same
  // FeatureCollection, outside that range), which RFC 7946 mode would refuse.
  if (format == VectorFormat::GeoJson && haveSrs)
    layerOptions = CSLSetNameValue(layerOptions, "RFC7946", "YES");
  OGRLayer* layer = ds->CreateLayer(dxf ? "entities" : "outlines", haveSrs ? &srs : nullptr,
                                    wkbPolygon, layerOptions);
  CSLDestroy(layerOptions);
  if (!layer) GdalFailure(path, "cannot create its layer");

  // Lists where the driver takes them, separate numbers where it does not.
  const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONFIELDDATATYPES);
  const bool lists = types && std::string(types).find("RealList") != std::string::npos;
  if (!dxf) {
    std::vector<std::pair<const char*, OGRFieldType>> fields;
    fields.emplace_back("shape", OFTString);
    fields.emplace_back("size", OFTReal);
    if (lists) {
      fields.emplace_back("centre", OFTRealList);
      fields.emplace_back("region", OFTRealList);
    } else {
      for (const char* name :
           {"centre_x", "centre_y", "region_x1", "region_y1", "region_x2", "region_y2"})
        fields.emplace_back(name, OFTReal);
    }
    fields.emplace_back("points", OFTInteger);
    for (const auto& [name, type] : fields) {
      OGRFieldDefn field(name, type);
      if (layer->CreateField(&field) != OGRERR_NONE) GdalFailure(path, "cannot add its fields");
    }
  }

  const double pixel = geo.PixelSize();
  std::vector<Circle> circles;
  for (const Contour& c : result.contours) {
    if (!Written(c)) continue;
    OGRLinearRing ring;
    for (const POINT& p : RingPoints(c)) {
      double X, Y;
      geo.Apply(p.x, p.y, X, Y);
      ring.addPoint(X, Y);
    }
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetGeometry(&polygon);
    double px, py, cx, cy;
    CentreOf(c, px, py);
    geo.Apply(px, py, cx, cy);
    if (dxf) {
      feature.SetField("Layer", c.shape == 1 ? "CIRCLE" : c.shape == 2 ? "RECTANGLE" : "OTHER");
      if (c.shape == 1) circles.push_back({cx, cy, c.size * pixel});
    } else {
      double region[4];
      MapExtent(geo, c.region, region);
      feature.SetField("shape", ShapeLabel(c.shape));
      feature.SetField("size", c.size * pixel);
      if (lists) {
        const double centre[2] = {cx, cy};
        feature.SetField("centre", 2, centre);
        feature.SetField("region", 4, region);
      } else {
        feature.SetField("centre_x", cx);
        feature.SetField("centre_y", cy);
        feature.SetField("region_x1", region[0]);
        feature.SetField("region_y1", region[1]);
        feature.SetField("region_x2", region[2]);
        feature.SetField("region_y2", region[3]);
      }
      feature.SetField("points", static_cast<int>(c.points.size()));
    }
    if (layer->CreateFeature(&feature) != OGRERR_NONE) GdalFailure(path, "cannot write a feature");
  }
  ds.reset();
  if (CPLGetLastErrorType() >= CE_Failure) GdalFailure(path, "cannot write it");
  if (dxf) AddDxfCircles(path, circles);
}

}  // namespace gdal
}  // namespace cli
