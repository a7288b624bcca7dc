// GeoJSON, DXF, GeoPackage and Shapefile outputs: what GDAL's own tools and
// ezdxf find in them, map coordinates from world files, and the pixel grid
// matching GDAL's placement of an image without georeferencing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

#ifdef ZENTREL_TEST_GDAL

namespace {

using clitest::Contains;
using clitest::RunCommand;
using clitest::RunTool;

nlohmann::json ReadJson(const std::string& path) {
  const std::vector<std::uint8_t> bytes = zt::ReadFileBytes(path);
  return nlohmann::json::parse(bytes.begin(), bytes.end());
}

// The feature count ogrinfo reports for a file's first layer, -1 if none.
int OgrFeatureCount(const std::string& path) {
  const clitest::Outcome info = RunCommand("ogrinfo -ro -so -al '" + path + "'");
  const std::string label = "Feature Count: ";
  const std::size_t at = info.out.find(label);
  if (info.status != 0 || at == std::string::npos) return -1;
  return std::atoi(info.out.c_str() + at + label.size());
}

// Closed outlines per shape name in the tool's own JSON report.
std::map<std::string, int> ClosedOutlines(const nlohmann::json& report) {
  std::map<std::string, int> counts;
  for (const nlohmann::json& c : report.at("contours"))
    if (c.at("closed").get<bool>()) ++counts[c.at("shape").get<std::string>()];
  return counts;
}

TEST(VectorOutput, EveryFormatHoldsOneFeaturePerClosedOutline) {
  zt::TempDir dir;
  const clitest::Outcome run =
      RunTool("vectorize " + clitest::Sample() + " --json " + dir.File("s.json") + " --geojson " +
              dir.File("s.geojson") + " --geojson " + dir.File("s.gpkg") + " --geojson " +
              dir.File("s.shp") + " --dxf " + dir.File("s.dxf"));
  ASSERT_EQ(run.status, 0) << run.out;
  const std::map<std::string, int> closed = ClosedOutlines(ReadJson(dir.File("s.json")));
  int total = 0;
  for (const auto& entry : closed) total += entry.second;
  ASSERT_GT(closed.at("rectangle"), 0);
  ASSERT_GT(closed.at("circle"), 0);
  for (const char* file : {"s.geojson", "s.gpkg", "s.shp"})
    EXPECT_EQ(OgrFeatureCount(dir.File(file)), total) << file;
  // The DXF layer holds the outlines and the circles' CIRCLE entities.
  EXPECT_EQ(OgrFeatureCount(dir.File("s.dxf")), total + closed.at("circle"));

  // Every feature has its properties; shapes agree with the report.
  std::map<std::string, int> shapes;
  const nlohmann::json collection = ReadJson(dir.File("s.geojson"));
  EXPECT_EQ(collection.at("type"), "FeatureCollection");
  for (const nlohmann::json& f : collection.at("features")) {
    ++shapes[f.at("properties").at("shape").get<std::string>()];
    EXPECT_EQ(f.at("geometry").at("type"), "Polygon");
    const nlohmann::json& ring = f.at("geometry").at("coordinates").at(0);
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_EQ(f.at("properties").at("centre").size(), 2u);
    EXPECT_EQ(f.at("properties").at("region").size(), 4u);
    EXPECT_GE(f.at("properties").at("points").get<int>(), 12);
    EXPECT_GT(f.at("properties").at("size").get<double>(), 0);
  }
  EXPECT_EQ(shapes["rectangle"], closed.at("rectangle"));
  EXPECT_EQ(shapes["circle"], closed.at("circle"));
  EXPECT_EQ(shapes["other"], closed.count("none") ? closed.at("none") : 0);
}

TEST(VectorOutput, DxfOpensInEzdxfWithLayersAndCircleEntities) {
  zt::TempDir dir;
  ASSERT_EQ(RunTool("vectorize " + clitest::Sample() + " --json " + dir.File("s.json") + " --dxf " +
                    dir.File("s.dxf"))
                .status,
            0);
  const std::map<std::string, int> closed = ClosedOutlines(ReadJson(dir.File("s.json")));
  const clitest::Outcome read =
      RunCommand("/usr/bin/python3 " ZENTREL_CLI_TEST_DIR "/dxf_counts.py " + dir.File("s.dxf"));
  ASSERT_EQ(read.status, 0) << read.out;
  const nlohmann::json dxf = nlohmann::json::parse(read.out);
  EXPECT_EQ(dxf.at("errors"), 0);
  for (const char* layer : {"RECTANGLE", "CIRCLE", "OTHER"})
    EXPECT_NE(std::find(dxf.at("layers").begin(), dxf.at("layers").end(), layer),
              dxf.at("layers").end())
        << layer;
  const nlohmann::json& entities = dxf.at("entities");
  EXPECT_EQ(entities.value("LWPOLYLINE-closed:RECTANGLE", 0), closed.at("rectangle"));
  EXPECT_EQ(entities.value("LWPOLYLINE-closed:CIRCLE", 0), closed.at("circle"));
  EXPECT_EQ(entities.value("CIRCLE:CIRCLE", 0), closed.at("circle"));
  EXPECT_EQ(entities.value("LWPOLYLINE-open:OTHER", 0), 0);
}

// other-outline-centre: the pipeline measures no centre for an outline that
// is neither shape; the mean of its points stands in, inside its extent.
TEST(VectorOutput, OtherOutlineCentreLiesWithinTheOutline) {
  zt::TempDir dir;
  ASSERT_EQ(
      RunTool("vectorize " + clitest::Sample() + " --geojson " + dir.File("s.geojson")).status, 0);
  const nlohmann::json collection = ReadJson(dir.File("s.geojson"));
  int others = 0;
  for (const nlohmann::json& f : collection.at("features")) {
    if (f.at("properties").at("shape") != "other") continue;
    ++others;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const nlohmann::json& p : f.at("geometry").at("coordinates").at(0)) {
      x0 = std::min(x0, p.at(0).get<double>());
      x1 = std::max(x1, p.at(0).get<double>());
      y0 = std::min(y0, p.at(1).get<double>());
      y1 = std::max(y1, p.at(1).get<double>());
    }
    const double cx = f.at("properties").at("centre").at(0),
                 cy = f.at("properties").at("centre").at(1);
    EXPECT_TRUE(cx > x0 && cx < x1 && cy > y0 && cy < y1) << f.dump();
  }
  EXPECT_GT(others, 0);
}

// The first kept point of the first written outline, in pixels.
std::pair<double, double> FirstPoint(const nlohmann::json& report) {
  for (const nlohmann::json& c : report.at("contours"))
    if (c.at("closed").get<bool>())
      return {c.at("kept").at(0).at(0).get<double>(), c.at("kept").at(0).at(1).get<double>()};
  return {-1, -1};
}

TEST(VectorOutput, WorldFilesAndGeoTiffKeysGiveMapCoordinates) {
  zt::TempDir dir;
  const std::vector<std::uint8_t> sheet = zt::ReadFileBytes(clitest::Sample());
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("sheet.gif"), sheet));
  // Beside the image, in GDAL's naming: A, D, B, E, C, F.
  std::ofstream(dir.File("sheet.gfw")) << "2\n0\n0\n-2\n1000\n5000\n";
  std::ofstream(dir.File("other.wld")) << "0.5\n0\n0\n-0.5\n-300\n200\n";
  // A GeoTIFF of the same sheet whose outer corners lie at (1000, 5000) and
  // (2920, 3720): pixel centres from (1001, 4999), 2 map units apart.
  std::string geotiff = dir.File("geo.tif");
  if (RunCommand(std::string(ZENTREL_TOOL) + " convert " + clitest::Sample() + " " +
                 dir.File("plain.tif") + " && gdal_translate -q -a_ullr 1000 5000 2920 3720 " +
                 dir.File("plain.tif") + " " + geotiff)
          .status != 0)
    geotiff.clear();  // no Zentrel::IO or no gdal_translate: that case is left out
  struct Case {
    std::string input, options;
    double a, e, c, f;
  };
  std::vector<Case> cases = {
      {dir.File("sheet.gif"), "", 2, -2, 1000, 5000},
      {dir.File("sheet.gif"), "--world " + dir.File("other.wld"), 0.5, -0.5, -300, 200}};
  if (!geotiff.empty()) cases.push_back({geotiff, "", 2, -2, 1001, 4999});
  for (const Case& c : cases) {
    const clitest::Outcome run = RunTool("vectorize " + c.input + " " + c.options + " --json " +
                                         dir.File("s.json") + " --geojson " +
                                         dir.File("s.geojson"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "map coordinates from")) << run.out;
    const auto [x, y] = FirstPoint(ReadJson(dir.File("s.json")));
    const nlohmann::json first =
        ReadJson(dir.File("s.geojson")).at("features").at(0).at("geometry").at("coordinates");
    EXPECT_DOUBLE_EQ(first.at(0).at(0).at(0).get<double>(), c.a * x + c.c) << c.input << c.options;
    EXPECT_DOUBLE_EQ(first.at(0).at(0).at(1).get<double>(), c.e * y + c.f) << c.input << c.options;
  }
  const clitest::Outcome missing =
      RunTool("vectorize " + dir.File("sheet.gif") + " --world " + dir.File("none.wld"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.out, "none.wld: cannot read it as a world file")) << missing.out;
}

// geojson-pixel-grid: without georeferencing, outlines lie where GDAL puts
// the image's pixels (pixel centre x + 0.5, y + 0.5).
TEST(VectorOutput, GeojsonPixelGridOverlaysTheImageAsGdalPolygonizeSees) {
  zt::TempDir dir;
  CImageDataModel mask;
  clitest::DrawSheet(mask, 24, RGB(255, 255, 255), false);
  for (UINT y = 30; y < 90; ++y)
    for (UINT x = 130; x < 170; ++x) mask.SetPixel(x, y, RGB(0, 0, 0));
  ASSERT_EQ(mask.SaveBMPImage(dir.File("mask.bmp").c_str()), 1);
  ASSERT_EQ(
      RunTool("vectorize " + dir.File("mask.bmp") + " --geojson " + dir.File("o.geojson")).status,
      0);
  const clitest::Outcome check =
      RunCommand("/usr/bin/python3 " ZENTREL_CLI_TEST_DIR "/overlay_check.py " +
                 dir.File("mask.bmp") + " " + dir.File("o.geojson") + " " + dir.path());
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_TRUE(Contains(check.out, "2 outlines overlay the ink")) << check.out;
}

}  // namespace

#endif  // ZENTREL_TEST_GDAL
