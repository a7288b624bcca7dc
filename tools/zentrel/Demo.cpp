// The demo: the whole pipeline on the bundled sample sheet, with its
// results compared to the sheet's ground truth.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "Cli.h"
#include "Json.h"
#include "Paper.h"
#include "Report.h"
#include "VectorOutput.h"
#include "Vectorizer.h"

#ifndef ZENTREL_SAMPLES_DIR
#define ZENTREL_SAMPLES_DIR "samples"
#endif
#ifndef ZENTREL_PREFIX_SAMPLES_DIR
#define ZENTREL_PREFIX_SAMPLES_DIR "share/zentrel/samples"
#endif
#ifndef ZENTREL_INSTALLED_SAMPLES_DIR
#define ZENTREL_INSTALLED_SAMPLES_DIR ZENTREL_SAMPLES_DIR
#endif

namespace cli {
namespace {

bool IsFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// demo-samples-under-prefix: where an installed zentrel keeps its sample: the data folder under
// the prefix it was installed to, found from the executable's own location.
std::string InstalledSamplesFolder() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return ZENTREL_INSTALLED_SAMPLES_DIR;
  std::string exe(self, static_cast<std::size_t>(n));
  const std::size_t bin = exe.find_last_of('/');
  const std::size_t prefix = bin == std::string::npos ? bin : exe.find_last_of('/', bin - 1);
  if (prefix == std::string::npos) return ZENTREL_INSTALLED_SAMPLES_DIR;
  return exe.substr(0, prefix + 1) + ZENTREL_PREFIX_SAMPLES_DIR;
}

std::string SamplesFolder() {
  const std::string installed = InstalledSamplesFolder();
  for (const std::string& folder :
       {installed, std::string(ZENTREL_SAMPLES_DIR), std::string(ZENTREL_INSTALLED_SAMPLES_DIR)})
    if (IsFile(folder + "/sheet.gif")) return folder;
  throw Failure("the bundled sample sheet is missing (looked in " + installed + ", " +
                std::string(ZENTREL_SAMPLES_DIR) + " and " + ZENTREL_INSTALLED_SAMPLES_DIR + ")");
}

struct Score {
  int expected = 0;
  int found = 0;
};

// A recognised shape matches a drawn one when its centre lies within a few
// pixels (or a fraction of the shape's size) of the drawn centre.
bool Near(const Contour& c, double x, double y, double tolerance) {
  return std::abs(c.centre.x - x) <= tolerance && std::abs(c.centre.y - y) <= tolerance;
}

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::puts(
        "usage: zentrel demo [OUTDIR]\n"
        "Vectorises the bundled sample sheet (samples/sheet.gif) into OUTDIR (default\n"
        "demo-out): sheet.bmp, sheet-outlines.bmp, sheet.json, sheet.svg, and with GDAL\n"
        "sheet.geojson and sheet.dxf, and reports how many of the sheet's drawn\n"
        "rectangles and circles were recognised. The paper colour is found as by\n"
        "'zentrel vectorize'.");
    return 0;
  }
  if (args.size() > 1) throw UsageError("demo takes at most one folder");
  const std::string outdir = args.empty() ? "demo-out" : args[0];
  if (::mkdir(outdir.c_str(), 0777) != 0 && errno != EEXIST)
    throw Failure(outdir + ": cannot create the folder");
  const std::string samples = SamplesFolder();
  const auto start = std::chrono::steady_clock::now();

  SheetVectorizer sheet;
  LoadImage(sheet, samples + "/sheet.gif", false);
  SaveImage(sheet, outdir + "/sheet.bmp");
  // The paper is found as on any sheet.
  const COLORREF paper = ApplyPaper(sheet, PaperChoice{});
  CImageDataModel outlines;
  const VectorizeResult result = sheet.Run(VectorizeOptions(), outlines);
  SaveImage(outlines, outdir + "/sheet-outlines.bmp");
  WriteJson(outdir + "/sheet.json", samples + "/sheet.gif", result, paper);
  WriteSvg(outdir + "/sheet.svg", sheet, result);
  std::string vectors;
  if (HaveGdal()) {
    WriteVector(outdir + "/sheet.geojson", VectorFormat::GeoJson, result, Georeference());
    WriteVector(outdir + "/sheet.dxf", VectorFormat::Dxf, result, Georeference());
    vectors = ", sheet.geojson, sheet.dxf";
  }

  const nlohmann::json truth = ReadJsonFile(samples + "/sheet-truth.json");
  std::vector<bool> used(result.contours.size(), false);
  auto match = [&](int shape, double x, double y, double tolerance) {
    for (std::size_t i = 0; i < result.contours.size(); ++i) {
      const Contour& c = result.contours[i];
      if (!used[i] && c.shape == shape && Near(c, x, y, tolerance)) {
        used[i] = true;
        return true;
      }
    }
    return false;
  };
  Score rectangles, circles;
  const nlohmann::json none = nlohmann::json::array();
  const nlohmann::json& drawnRectangles =
      truth.is_object() ? truth.value("rectangles", none) : none;
  const nlohmann::json& drawnCircles = truth.is_object() ? truth.value("circles", none) : none;
  try {
    for (const nlohmann::json& r : drawnRectangles) {
      const nlohmann::json& box = r.at("bbox");
      const double side = std::min(box.at(2).get<double>() - box.at(0).get<double>(),
                                   box.at(3).get<double>() - box.at(1).get<double>());
      ++rectangles.expected;
      rectangles.found += match(2, r.at("centre").at(0).get<double>(),
                                r.at("centre").at(1).get<double>(), std::max(3.0, side / 8));
    }
    for (const nlohmann::json& c : drawnCircles) {
      ++circles.expected;
      circles.found +=
          match(1, c.at("centre").at(0).get<double>(), c.at("centre").at(1).get<double>(),
                std::max(3.0, c.at("radius").get<double>() / 5));
    }
  } catch (const nlohmann::json::exception& e) {
    throw Failure(samples + "/sheet-truth.json: unexpected content (" + e.what() + ")");
  }
  // A ring has two outlines: its inner one is a second circle about the
  // same drawn centre.
  int extra = 0, unclassified = 0, innerEdges = 0;
  for (std::size_t i = 0; i < result.contours.size(); ++i) {
    const Contour& c = result.contours[i];
    if (c.shape == 0) {
      ++unclassified;
      continue;
    }
    if (used[i]) continue;
    bool inner = false;
    for (const nlohmann::json& t : drawnCircles)
      inner |= t.value("kind", "") == "roundabout" && c.shape == 1 &&
               Near(c, t.at("centre").at(0).get<double>(), t.at("centre").at(1).get<double>(), 3.0);
    (inner ? innerEdges : extra)++;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("zentrel demo: %s/sheet.gif, %u x %u pixels\n", samples.c_str(), result.width,
              result.height);
  std::printf("  paper colour:           %s (most common colour)\n", DescribeColour(paper).c_str());
  std::printf("  outline cells marked:   %d\n", result.maskCells);
  std::printf("  contours traced:        %zu (%d neither circle nor rectangle)\n",
              result.contours.size(), unclassified);
  std::printf("  rectangles recognised:  %d of %d drawn\n", rectangles.found, rectangles.expected);
  std::printf("  circles recognised:     %d of %d drawn\n", circles.found, circles.expected);
  std::printf("  inner edges of rings:   %d\n", innerEdges);
  std::printf("  shapes matching nothing drawn: %d\n", extra);
  std::printf("  time: %.3f s (pipeline %.3f s)\n", seconds, result.seconds);
  std::printf("  wrote %s/sheet.svg, sheet.json, sheet.bmp, sheet-outlines.bmp%s\n", outdir.c_str(),
              vectors.c_str());
  return 0;
}

}  // namespace cli
