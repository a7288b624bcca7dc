// The info, convert and vectorize commands.
#include <cstdio>

#include "Cli.h"
#include "Operations.h"
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
        "and colour-table size of each file. Exit status 1 if any file cannot be read.");
    return 0;
  }
  if (args.empty()) throw UsageError("info needs at least one file");
  int status = 0;
  for (const std::string& path : args) {
    CImageDataModel image;
    const int format = image.TestImageFormat(path.c_str());
    try {
      LoadImage(image, path);
    } catch (const Failure& e) {
      std::fprintf(stderr, "zentrel: %s\n", e.what());
      status = 1;
      continue;
    }
    std::printf("%s: format %d (%s), %u x %u, %d bits, %d colours\n", path.c_str(), format,
                FormatName(format), image.GetWidth(), image.GetHeight(), image.GetColorPixel(),
                image.GetImageColors());
  }
  return status;
}

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::printf(
        "usage: zentrel convert IN OUT [OP...] [--format FORMAT]\n"
        "Reads IN (BMP, GIF, PNG, TIFF or PNM, recognised by content; - for standard\n"
        "input), applies the operations in order and writes OUT in the format of its\n"
        "extension: .bmp, .png, .tif/.tiff, .pgm or .ppm. OUT - writes to standard\n"
        "output in the --format given (bmp, png, tif, pgm, ppm), which also overrides\n"
        "the extension. PNG, TIFF and PNM need a zentrel built with GDAL.\n%s",
        kOperationsHelp);
    return 0;
  }
  // Everything is checked before anything is read or written
  // (tool-unknown-extension: an output name the tool cannot write is a usage
  // error, not BMP bytes under a foreign name).
  std::vector<std::string> files;
  std::vector<Operation> ops;
  std::string formatWord;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format") {
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
  LoadImage(image, files[0]);
  for (const Operation& op : ops) ApplyOperation(image, op);
  SaveImage(image, files[1], format);
  return 0;
}

int RunVectorize(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::puts(
        "usage: zentrel vectorize IN [--svg OUT.svg] [--json OUT.json] [--outlines OUT.bmp]\n"
        "                            [--no-denoise] [--precision N]\n"
        "Filters speckle (3 x 3 median, 8-bit sheets), marks region outlines, traces them,\n"
        "keeps each outline's significant points, and classifies it as a circle, a\n"
        "rectangle or neither. Prints one line per recognised shape. --precision sets\n"
        "the colour tolerance, 15..40 (default 15).");
    return 0;
  }
  std::string input, svg, json, outlinesPath;
  VectorizeOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) {
      if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a file name");
      return args[++i];
    };
    if (a == "--svg")
      svg = value("--svg");
    else if (a == "--json")
      json = value("--json");
    else if (a == "--outlines")
      outlinesPath = value("--outlines");
    else if (a == "--no-denoise")
      options.denoise = false;
    else if (a == "--precision") {
      long precision = 0;
      if (i + 1 >= args.size() || !ParseInteger(args[++i], 15, 40, precision))
        throw UsageError("--precision needs a whole number in 15..40");
      options.precision = static_cast<int>(precision);
    } else if (!a.empty() && a[0] == '-')
      throw UsageError("unknown option '" + a + "'");
    else if (input.empty())
      input = a;
    else
      throw UsageError("vectorize takes one input file");
  }
  if (input.empty()) throw UsageError("vectorize needs an input file");

  SheetVectorizer sheet;
  LoadImage(sheet, input);
  CImageDataModel outlines;
  const VectorizeResult result = sheet.Run(options, outlines);
  int circles = 0, rectangles = 0;
  for (const Contour& c : result.contours) {
    if (c.shape == 0) continue;
    (c.shape == 1 ? circles : rectangles)++;
    std::printf("%-9s centre (%d, %d) size %d\n", c.shape == 1 ? "circle" : "rectangle", c.centre.x,
                c.centre.y, c.size);
  }
  std::printf("%zu contours: %d rectangles, %d circles (%.3f s)\n", result.contours.size(),
              rectangles, circles, result.seconds);
  if (!json.empty()) WriteJson(json, input, result);
  if (!svg.empty()) WriteSvg(svg, sheet, result);
  if (!outlinesPath.empty()) SaveImage(outlines, outlinesPath);
  return 0;
}

}  // namespace cli
