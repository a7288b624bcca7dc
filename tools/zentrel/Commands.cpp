// The info, convert and vectorize commands.
#include <cstdio>
#include <utility>

#include "Batch.h"
#include "Cli.h"
#include "GdalModule.h"
#include "Operations.h"
#include "Sheet.h"
#include "Vectorizer.h"

namespace cli {

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a == "-h" || a == "--help") return true;
  return false;
}

int RunInfo(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::puts(
        "usage: zentrel info FILE...\n"
        "Prints the format code (0 unknown, 1 BMP, 2 TIF, 3 GIF), width, height, bit depth\n"
        "and colour-table size of each file, the entries of the file's own colour table,\n"
        "its transparent index if it has one, and why a file is incomplete. The format\n"
        "comes from the content (with --strict: from the name, as the library's\n"
        "TestImageFormat). Exit status 1 if any file cannot be read, with the reason.\n"
        "Sheets of any size the library can hold are accepted (the 10000-pixel limit\n"
        "applies to painting only: render).");
    return 0;
  }
  if (args.empty()) throw UsageError("info needs at least one file");
  int status = 0;
  for (const std::string& path : args) {
    CImageDataModel image;
    const int format = DetectFormat(path);
    try {
      LoadImage(image, path, false);
    } catch (const Failure& e) {
      std::fprintf(stderr, "zentrel: %s\n", e.what());
      status = 1;
      continue;
    }
    std::string extra;
    if (image.GetFileColors() > 0)
      extra += ", " + std::to_string(image.GetFileColors()) + " in the file's colour table";
    if (image.GetTransparentIndex() >= 0)
      extra += ", transparent index " + std::to_string(image.GetTransparentIndex());
    if (image.GetLastReadNote() != ZENTREL_NOTE_NONE)
      extra +=
          "; incomplete: " + std::string(CImageDataModel::GetReadNoteText(image.GetLastReadNote()));
    // The library's format code, and the name of what the file holds (PNG and
    // PNM have no code of their own).
    const char* name =
        DefaultLoadOptions().strict ? FormatName(format) : ContentFormatName(path);
    std::printf("%s: format %d (%s), %u x %u, %d bits, %d colours%s\n", path.c_str(), format,
                name, image.GetWidth(), image.GetHeight(), image.GetColorPixel(),
                image.GetImageColors(), extra.c_str());
  }
  return status;
}

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::printf(
        "usage: zentrel convert IN OUT [--keep-palette] [--format FORMAT] [OP...]\n"
        "Reads IN (BMP, GIF, PNG, TIFF or PNM, recognised by content; - for standard\n"
        "input), applies the operations in order and writes OUT in the format of its\n"
        "extension: .bmp, .png, .tif/.tiff, .pgm or .ppm. OUT - writes to standard\n"
        "output in the --format given (bmp, png, tif, pgm, ppm), which also overrides\n"
        "the extension. PNG, TIFF and PNM need a zentrel built with GDAL. Sheets of\n"
        "any size the library can hold are accepted (no 10000-pixel limit: nothing is\n"
        "painted).\n%s",
        kOperationsHelp);
    return 0;
  }
  // Everything is checked before anything is read or written
  // (tool-unknown-extension: an output name the tool cannot write is a usage
  // error, not BMP bytes under a foreign name).
  std::vector<std::string> files;
  std::vector<Operation> ops;
  std::string formatWord;
  bool keepPalette = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--keep-palette") {
      keepPalette = true;
    } else if (args[i] == "--format") {
      if (i + 1 >= args.size()) throw UsageError("--format needs bmp, png, tif, pgm or ppm");
      formatWord = args[++i];
    } else if (files.size() < 2) {
      files.push_back(args[i]);
    } else {
      ops.push_back(ParseOperation(args[i]));
    }
  }
  if (files.size() < 2) throw UsageError("convert needs an input and an output file");
  SaveFormat format = SaveFormat::Bmp;
  if (!formatWord.empty()) {
    if (!SaveFormatFromWord(formatWord, format))
      throw UsageError("unknown --format '" + formatWord + "' (bmp, png, tif, pgm or ppm)");
  } else if (files[1] == "-") {
    throw UsageError("writing to standard output needs --format (bmp, png, tif, pgm or ppm)");
  } else if (!SaveFormatFromName(files[1], format)) {
    throw UsageError("unknown output extension in '" + files[1] +
                     "' (.bmp, .png, .tif, .tiff, .pgm or .ppm)");
  }
  if (format != SaveFormat::Bmp && !HaveImageIo())
    throw Failure(files[1] +
                  ": PNG, TIFF and PNM files need Zentrel::IO, which this build of "
                  "zentrel lacks");
  CImageDataModel image;
  LoadImage(image, files[0], false);
  for (const Operation& op : ops) {
    // convert-true-colour: recolouring a shared colour-table entry would
    // change pixels the operation never touched; work on a 24-bit copy.
    if (!keepPalette && image.GetColorPixel() == 8 && ChangesColourTable(op)) {
      PromoteToTrueColour(image);
      std::fprintf(stderr,
                   "zentrel: note: %s is 8-bit; made it 24-bit before '%s' so that only the "
                   "pixels it touches change (--keep-palette keeps the colour table)\n",
                   files[0].c_str(), op.text.c_str());
    }
    ApplyOperation(image, op);
  }
  SaveImage(image, files[1], format);
  return 0;
}

namespace {

const char kVectorizeHelp[] =
    "usage: zentrel vectorize IN [--geojson F] [--dxf F] [--svg F] [--json F]\n"
    "                            [--outlines F.bmp] [--world FILE] [OPTIONS]\n"
    "       zentrel vectorize --out-dir DIR [--formats LIST] [-j N] [OPTIONS] INPUT...\n"
    "Reads BMP, GIF, PNG, TIFF or PNM sheets. Finds the paper colour, marks every\n"
    "pixel that differs from it as ink, removes speckle (3 x 3 majority over the\n"
    "ink), follows the border of every ink patch and hole, keeps each border's\n"
    "significant points, and classifies it as a circle, a rectangle or neither\n"
    "(borders cut by the sheet's edge are neither). Prints the paper colour and\n"
    "one line per recognised shape; when nothing is found, says why.\n"
    "Outputs:\n"
    "  --geojson F     every closed outline as a GeoJSON (RFC 7946) polygon with its\n"
    "                  shape, size, centre, region and point count; F ending in .gpkg\n"
    "                  or .shp gives a GeoPackage or a Shapefile\n"
    "  --dxf F         outlines as closed polylines on layers RECTANGLE, CIRCLE, OTHER,\n"
    "                  circles also as CIRCLE entities\n"
    "  --svg F         the sheet with the outlines and shapes drawn over it\n"
    "  --json F        every contour in pixels (points, kept points, shape, region)\n"
    "  --outlines F    the ink mask with the borders marked (BMP)\n"
    "Coordinates are map coordinates when the sheet is a GeoTIFF or a world file\n"
    "lies beside the image (or --world FILE names one), with the coordinate system\n"
    "of the GeoTIFF or of a .prj of the same name; otherwise pixel units, X = x + 0.5, Y = y + 0.5 (Y down), as GDAL\n"
    "places an image without georeferencing.\n"
    "Options:\n"
    "  --background auto|RRGGBB  paper colour (default auto: the most common colour)\n"
    "  --precision N             colour tolerance, 15..40 (default 15)\n"
    "  --no-denoise              no speckle filter\n"
    "Batches (--out-dir): each INPUT is a sheet or a folder (its BMP and GIF files,\n"
    "and PNG, TIFF and PNM files with Zentrel::IO; not subfolders); writes DIR/<name>.<format> for each format in LIST (geojson,\n"
    "dxf, svg, json, gpkg, shp; default geojson), N sheets at once (default: one per\n"
    "core). A sheet that fails is reported and skipped; exit status 1 if any did.\n"
    "Sheets of any size the library can hold are accepted (no 10000-pixel limit:\n"
    "nothing is painted).\n";

std::pair<std::string, VectorFormat> VectorTarget(const std::string& option,
                                                  const std::string& path) {
  if (!HaveGdal())
    throw UsageError(option + " is unavailable: " + GdalModuleProblem());
  return {path,
          VectorFormatFor(path, option == "--dxf" ? VectorFormat::Dxf : VectorFormat::GeoJson)};
}

void PrintSheet(const SheetReport& report, const SheetSettings& settings) {
  std::printf("paper %s (%s), tolerance %d\n", DescribeColour(report.paper).c_str(),
              settings.paper.automatic ? "most common colour" : "given",
              settings.options.precision);
  if (report.geo.georeferenced) std::printf("map coordinates from %s\n", report.geo.source.c_str());
  const VectorizeResult& result = report.result;
  for (const Contour& c : result.contours) {
    if (c.shape == 0) continue;
    std::printf("%-9s centre (%d, %d) size %d\n", c.shape == 1 ? "circle" : "rectangle", c.centre.x,
                c.centre.y, c.size);
  }
  std::printf("%zu contours: %d rectangles, %d circles (%.3f s)\n", result.contours.size(),
              report.rectangles, report.circles, result.seconds);
  if (!report.whyEmpty.empty()) std::printf("%s\n", report.whyEmpty.c_str());
}

}  // namespace

int RunVectorize(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kVectorizeHelp, stdout);
    return 0;
  }
  std::vector<std::string> inputs;
  SheetOutputs outputs;
  BatchSettings batch;
  SheetSettings& settings = batch.sheet;
  bool formatsGiven = false, jobsGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) {
      if (i + 1 >= args.size()) throw UsageError(a + " needs " + what);
      return args[++i];
    };
    if (a == "--svg")
      outputs.svg = value("a file name");
    else if (a == "--json")
      outputs.json = value("a file name");
    else if (a == "--outlines")
      outputs.outlines = value("a file name");
    else if (a == "--geojson" || a == "--dxf")
      outputs.vectors.push_back(VectorTarget(a, value("a file name")));
    else if (a == "--world")
      settings.world = value("a file name");
    else if (a == "--background")
      settings.paper = ParsePaperChoice(value("'auto' or a colour RRGGBB"));
    else if (a == "--no-denoise")
      settings.options.denoise = false;
    else if (a == "--precision") {
      long precision = 0;
      if (i + 1 >= args.size() || !ParseInteger(args[++i], 15, 40, precision))
        throw UsageError("--precision needs a whole number in 15..40");
      settings.options.precision = static_cast<int>(precision);
    } else if (a == "--out-dir")
      batch.outDir = value("a folder");
    else if (a == "--formats") {
      batch.formats = ParseFormats(value("a list such as geojson,dxf"));
      formatsGiven = true;
    } else if (a == "-j" || a == "--jobs") {
      long jobs = 0;
      if (i + 1 >= args.size() || !ParseInteger(args[++i], 1, 256, jobs))
        throw UsageError(a + " needs a whole number in 1..256");
      batch.jobs = static_cast<unsigned>(jobs);
      jobsGiven = true;
    } else if (!a.empty() && a[0] == '-')
      throw UsageError("unknown option '" + a + "'");
    else
      inputs.push_back(a);
  }
  if (inputs.empty()) throw UsageError("vectorize needs an input file");

  if (!batch.outDir.empty()) {
    if (!outputs.svg.empty() || !outputs.json.empty() || !outputs.outlines.empty() ||
        !outputs.vectors.empty())
      throw UsageError("--out-dir names the outputs itself: use --formats, not file options");
    if (!settings.world.empty())
      throw UsageError("--world names one sheet's world file: not with --out-dir");
    if (!formatsGiven && !HaveGdal()) batch.formats = {"json"};
    return RunBatch(ExpandInputs(inputs), batch);
  }
  if (formatsGiven || jobsGiven) throw UsageError("--formats and -j need --out-dir");
  if (inputs.size() > 1) throw UsageError("vectorize takes one input file (or --out-dir)");
  const SheetReport report = VectorizeSheet(inputs[0], settings, outputs);
  PrintSheet(report, settings);
  return 0;
}

}  // namespace cli
