// The job on one sheet, from reading it to writing its outputs.
#include "Sheet.h"

#include <unistd.h>

#include "Cli.h"
#include "GdalModule.h"
#include "Report.h"

namespace cli {

bool NeedsGdal(const SheetOutputs& outputs) { return !outputs.vectors.empty(); }

SheetReport VectorizeSheet(const std::string& input, const SheetSettings& settings,
                           const SheetOutputs& outputs) {
  SheetReport report;
  // A --world that cannot be used fails before the work starts. It is read
  // (with GDAL) only once the pipeline's mask is gone, so that GDAL's own
  // memory never adds to the pipeline's.
  if (!settings.world.empty() && !HaveGdal())
    throw Failure("--world is unavailable: " + GdalModuleProblem());
  if (!settings.world.empty() && ::access(settings.world.c_str(), R_OK) != 0)
    throw Failure(settings.world + ": cannot read it as a world file (six numbers, one a line)");
  SheetVectorizer sheet;
  LoadImage(sheet, input, false);
  // paper-auto: the sheet's own paper unless one is given, not the library's
  // default, which scans on white or tinted paper do not match.
  report.paper = ApplyPaper(sheet, settings.paper);
  // The outline picture costs a byte a pixel: made only when it is written.
  CImageDataModel outlines;
  report.result = outputs.outlines.empty() ? sheet.Run(settings.options)
                                           : sheet.Run(settings.options, outlines);
  for (const Contour& c : report.result.contours) {
    if (c.shape == 1)
      ++report.circles;
    else if (c.shape == 2)
      ++report.rectangles;
    else if (c.closed)
      ++report.others;
  }
  if (report.rectangles + report.circles == 0)
    report.whyEmpty =
        WhyNothingFound(sheet, settings.paper.automatic, report.result.contours.size());

  // Only the SVG reads the sheet from here on: it is released as soon as
  // that is written, before the outputs that need memory of their own.
  if (outputs.svg.empty()) sheet.FreeImage();
  report.geo = FindGeoreference(input, settings.world);
  if (!outputs.json.empty()) WriteJson(outputs.json, input, report.result, report.paper);
  if (!outputs.svg.empty()) {
    WriteSvg(outputs.svg, sheet, report.result);
    sheet.FreeImage();
  }
  if (!outputs.outlines.empty()) SaveImage(outlines, outputs.outlines);
  for (const auto& [path, format] : outputs.vectors)
    WriteVector(path, format, report.result, report.geo);
  return report;
}

}  // namespace cli
