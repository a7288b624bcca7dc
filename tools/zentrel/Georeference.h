// Where a sheet lies on the map: six affine numbers and an optional
// coordinate system, read from a world file beside the image.
#ifndef ZENTREL_TOOLS_GEOREFERENCE_H
#define ZENTREL_TOOLS_GEOREFERENCE_H

#include <cmath>
#include <string>

namespace cli {

/// Pixel to map coordinates: the centre of pixel (x, y) (column x, row y from
/// the top) lies at X = a·x + b·y + c, Y = d·x + e·y + f, as in a world file
/// (c, f: the centre of the top-left pixel). Without georeferencing
/// (geojson-pixel-grid) the numbers are those GDAL assumes for an image with
/// no geotransform, so the outputs overlay the image in GDAL-based tools:
/// X = x + 0.5, Y = y + 0.5 (pixel units, Y growing downwards).
struct Georeference {
  double a = 1, b = 0, c = 0.5, d = 0, e = 1, f = 0.5;
  std::string wkt;             // the coordinate system, empty when unknown
  bool georeferenced = false;  // false: the pixel grid convention above
  std::string source;          // the file it was read from, for the summary

  /// From a GDAL geotransform (corner of the top-left pixel; gt[1], gt[2],
  /// gt[4], gt[5] the pixel steps), as GDAL's raster readers give it.
  static Georeference FromGeoTransform(const double gt[6], const std::string& wkt) {
    Georeference g;
    g.a = gt[1];
    g.b = gt[2];
    g.d = gt[4];
    g.e = gt[5];
    // A geotransform starts at the pixel's corner, a world file at its centre.
    g.c = gt[0] + 0.5 * gt[1] + 0.5 * gt[2];
    g.f = gt[3] + 0.5 * gt[4] + 0.5 * gt[5];
    g.wkt = wkt;
    g.georeferenced = true;
    return g;
  }
  /// Map coordinates of the centre of pixel (x, y).
  void Apply(double x, double y, double& X, double& Y) const {
    X = a * x + b * y + c;
    Y = d * x + e * y + f;
  }
  /// The side of a pixel in map units (the square root of the area it covers).
  double PixelSize() const { return std::sqrt(std::fabs(a * e - b * d)); }
};

/// True when the tool's GDAL module (world files, vector outputs) is there;
/// does not load it, so that checking a command line costs no memory.
bool HaveGdal();
/// Loads the GDAL module, which registers GDAL's drivers once per process
/// and keeps its messages off the terminal (failures are reported with
/// GDAL's last message instead); safe to call from any thread. Does nothing
/// without the module.
void InitGdal();

/// Finds the georeferencing of an image: the world file named by 'world'
/// when not empty (a Failure when it cannot be read), otherwise one beside
/// the image in GDAL's naming (.wld, or the extension's first and last letter
/// and 'w', or the extension and 'w'). A '.prj' file of the same base name as
/// the world file (or the image) supplies the coordinate system. Without a
/// world file: the pixel grid.
Georeference FindGeoreference(const std::string& image, const std::string& world);

}  // namespace cli

#endif  // ZENTREL_TOOLS_GEOREFERENCE_H
