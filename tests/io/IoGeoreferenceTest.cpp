// Georeferencing: GeoTIFF tags made by GDAL's tools and world files beside
// PNG, TIFF, BMP, GIF and PNM images give the transform gdalinfo reports,
// in the world-file (pixel centre) convention.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "IoOracles.h"
#include "ZentrelIO.h"
#include "support/TestSupport.h"

namespace {

using zentrel::io::Georeference;

// The geotransform gdalinfo prints for a file; false when it reports none.
bool GdalinfoTransform(const std::string& path, double t[6]) {
  const std::string json = iot::Output("gdalinfo -json " + path);
  const std::size_t key = json.find("\"geoTransform\"");
  if (key == std::string::npos) return false;
  const char* p = json.c_str() + json.find('[', key) + 1;
  for (int i = 0; i < 6; ++i) {
    char* end = nullptr;
    t[i] = std::strtod(p, &end);
    if (end == p) return false;
    p = end;
    while (*p == ',' || *p == ' ' || *p == '\n') ++p;
  }
  return true;
}

void ExpectTransform(const Georeference& geo, const double expected[6], const std::string& what) {
  ASSERT_TRUE(geo.hasTransform) << what;
  double t[6];
  zentrel::io::CornerTransform(geo, t);
  for (int i = 0; i < 6; ++i)
    EXPECT_NEAR(t[i], expected[i], 1e-9 * (1 + std::fabs(expected[i]))) << what << " term " << i;
  // The centre of the top-left pixel is half a pixel in from the corner.
  double x, y;
  zentrel::io::PixelToMap(geo, 0, 0, x, y);
  EXPECT_NEAR(x, expected[0] + 0.5 * expected[1] + 0.5 * expected[2], 1e-6) << what;
  EXPECT_NEAR(y, expected[3] + 0.5 * expected[4] + 0.5 * expected[5], 1e-6) << what;
}

bool HaveGdalTools() { return iot::HaveProgram("gdalinfo") && iot::HaveProgram("gdal_translate"); }

TEST(IoGeoreference, GeoTiffTagsGiveTheTransformAndCoordinateSystemGdalinfoReports) {
  if (!HaveGdalTools()) GTEST_SKIP() << "GDAL's tools missing";
  zt::TempDir dir;
  CImageDataModel image;
  zt::MakeImage(image, 134, 45, 24);
  ASSERT_TRUE(
      zentrel::io::WriteImage(image, dir.File("plain.tif"), zentrel::io::OutputFormat::TIFF));
  struct Case {
    const char* name;
    std::string make;
    int epsg;
  } cases[] = {
      {"scale and tie point",
       "gdal_translate -q -a_ullr 1000 2000 1134 1955 -a_srs EPSG:32633 {in} {out}", 32633},
      {"pixel is point",
       "gdal_translate -q -a_ullr 10 60 23.4 55.5 -a_srs EPSG:4326 "
       "-mo AREA_OR_POINT=Point {in} {out}",
       4326},
      {"rotated (model transformation)",
       "cp {in} {out} && " ZENTREL_PYTHON
       " -c \"from osgeo import gdal; ds = gdal.Open('{out}', 1); "
       "ds.SetGeoTransform([500, 2, 0.5, 800, 0.25, -2]); ds = None\"",
       0},
  };
  for (Case& c : cases) {
    const std::string out = dir.File("geo.tif");
    std::string command = c.make;
    for (std::size_t at; (at = command.find("{in}")) != std::string::npos;)
      command.replace(at, 4, dir.File("plain.tif"));
    for (std::size_t at; (at = command.find("{out}")) != std::string::npos;)
      command.replace(at, 5, out);
    std::remove(out.c_str());
    ASSERT_TRUE(iot::Run(command)) << c.name;
    double expected[6];
    ASSERT_TRUE(GdalinfoTransform(out, expected)) << c.name;
    Georeference geo;
    ASSERT_TRUE(zentrel::io::ReadGeoreference(out, geo)) << c.name;
    ExpectTransform(geo, expected, c.name);
    EXPECT_EQ(geo.source, "GeoTIFF tags") << c.name;
    EXPECT_EQ(geo.epsg, c.epsg) << c.name;
    EXPECT_EQ(geo.wkt.empty(), c.epsg == 0) << c.name;
  }
}

TEST(IoGeoreference, WorldFilesBesideEveryFormatFollowTheCentreConvention) {
  if (!HaveGdalTools()) GTEST_SKIP() << "GDAL's tools missing";
  zt::TempDir dir;
  CImageDataModel image;
  zt::MakeImage(image, 20, 10, 8);
  zt::SetGreyTable(image);
  ASSERT_TRUE(zentrel::io::WriteImage(image, dir.File("m.png"), zentrel::io::OutputFormat::PNG));
  ASSERT_TRUE(zentrel::io::WriteImage(image, dir.File("m.tif"), zentrel::io::OutputFormat::TIFF));
  ASSERT_TRUE(zentrel::io::WriteImage(image, dir.File("m.pgm"), zentrel::io::OutputFormat::PGM));
  ASSERT_EQ(image.SaveBMPImage(dir.File("m.bmp").c_str()), 1);
  ASSERT_TRUE(zt::WriteFileBytes(
      dir.File("m.gif"),
      zt::ReadFileBytes(std::string(ZENTREL_SOURCE_DIR) + "/samples/sheet.gif")));
  // Lines: a, d, b, e, c, f — (c, f) the centre of the top-left pixel.
  const char kWorld[] = "2.5\n0.125\n-0.25\n-2.5\n700000.25\n5300000.75\n";
  const double kCorner[6] = {700000.25 - 1.25 + 0.125,   2.5,   -0.25,
                             5300000.75 - 0.0625 + 1.25, 0.125, -2.5};
  const std::pair<const char*, const char*> pairs[] = {
      {"m.png", "m.pgw"},  {"m.png", "m.pngw"}, {"m.png", "m.wld"},  {"m.tif", "m.tfw"},
      {"m.tif", "m.tifw"}, {"m.bmp", "m.bpw"},  {"m.bmp", "m.bmpw"}, {"m.gif", "m.gfw"},
      {"m.gif", "m.gifw"}, {"m.pgm", "m.wld"}};
  for (const auto& [picture, world] : pairs) {
    const std::string what = std::string(picture) + " + " + world;
    ASSERT_TRUE(zt::WriteFileBytes(dir.File(world),
                                   std::vector<std::uint8_t>(kWorld, kWorld + sizeof kWorld - 1)));
    Georeference geo;
    ASSERT_TRUE(zentrel::io::ReadGeoreference(dir.File(picture), geo)) << what;
    ExpectTransform(geo, kCorner, what);
    EXPECT_EQ(geo.c, 700000.25) << what;
    EXPECT_EQ(geo.f, 5300000.75) << what;
    EXPECT_EQ(geo.source, std::string("world file ") + world) << what;
    double reported[6];
    if (GdalinfoTransform(dir.File(picture), reported))
      ExpectTransform(geo, reported, what + " (gdalinfo)");
    std::remove(dir.File(world).c_str());
  }
}

TEST(IoGeoreference, PrjFilesNameTheSystemAndFilesWithoutPlacementSayNothing) {
  zt::TempDir dir;
  CImageDataModel image;
  zt::MakeImage(image, 4, 4, 24);
  ASSERT_TRUE(zentrel::io::WriteImage(image, dir.File("p.png"), zentrel::io::OutputFormat::PNG));
  Georeference geo;
  ASSERT_TRUE(zentrel::io::ReadGeoreference(dir.File("p.png"), geo));
  EXPECT_FALSE(geo.hasTransform);
  EXPECT_TRUE(geo.source.empty());
  const std::string world = "0.001\n0\n0\n-0.001\n9.5\n48.5\n";
  const std::string prj =
      "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
      "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
  ASSERT_TRUE(
      zt::WriteFileBytes(dir.File("p.pgw"), std::vector<std::uint8_t>(world.begin(), world.end())));
  ASSERT_TRUE(
      zt::WriteFileBytes(dir.File("p.prj"), std::vector<std::uint8_t>(prj.begin(), prj.end())));
  ASSERT_TRUE(zentrel::io::ReadGeoreference(dir.File("p.png"), geo));
  EXPECT_TRUE(geo.hasTransform);
  EXPECT_EQ(geo.epsg, 4326);
  EXPECT_NE(geo.wkt.find("WGS"), std::string::npos);
  EXPECT_FALSE(zentrel::io::ReadGeoreference(dir.File("missing.png"), geo));
}

}  // namespace
