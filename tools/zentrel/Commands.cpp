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
        "and colour-table size of each file, the entries of the file's own colour table,\n"
        "its transparent index if it has one, and why a file is incomplete. The format\n"
        "comes from the content (with --strict: from the name, as the library's\n"
        "TestImageFormat). Exit status 1 if any file cannot be read, with the reason.");
    return 0;
  }
  if (args.empty()) throw UsageError("info needs at least one file");
  int status = 0;
  for (const std::string& path : args) {
    CImageDataModel image;
    const int format = DetectFormat(path);
    try {
      LoadImage(image, path);
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
    std::printf("%s: format %d (%s), %u x %u, %d bits, %d colours%s\n", path.c_str(), format,
                FormatName(format), image.GetWidth(), image.GetHeight(), image.GetColorPixel(),
                image.GetImageColors(), extra.c_str());
  }
  return status;
}

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::printf("usage: zentrel convert IN OUT.bmp [OP...]\n%s", kOperationsHelp);
    return 0;
  }
  if (args.size() < 2) throw UsageError("convert needs an input and an output file");
  std::vector<Operation> ops;  // all checked before anything is read or written
  for (std::size_t i = 2; i < args.size(); ++i) ops.push_back(ParseOperation(args[i]));
  CImageDataModel image;
  LoadImage(image, args[0]);
  for (const Operation& op : ops) ApplyOperation(image, op);
  SaveImage(image, args[1]);
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
