// One sheet through the whole job: read, paper colour, pipeline, outputs.
// Shared by 'zentrel vectorize' on one sheet and by its batches.
#ifndef ZENTREL_TOOLS_SHEET_H
#define ZENTREL_TOOLS_SHEET_H

#include <string>
#include <utility>
#include <vector>

#include "Georeference.h"
#include "Paper.h"
#include "VectorOutput.h"
#include "Vectorizer.h"

namespace cli {

struct SheetSettings {
  VectorizeOptions options;
  PaperChoice paper;
  std::string world;  // a world file to use instead of the one beside the image
};

/// The files to write; an empty name is not written.
struct SheetOutputs {
  std::string svg, json, outlines;
  std::vector<std::pair<std::string, VectorFormat>> vectors;  // GeoJSON, DXF, ...
};

struct SheetReport {
  COLORREF paper = 0;
  Georeference geo;
  VectorizeResult result;
  int rectangles = 0, circles = 0, others = 0;  // others: closed, neither shape
  std::string whyEmpty;  // set when no shape was found: paper, tolerance, ink
};

/// Runs the job on one sheet and writes the outputs asked for; throws Failure
/// when the sheet cannot be read or an output cannot be written. Uses its own
/// record, so several sheets may run at once on different threads.
SheetReport VectorizeSheet(const std::string& input, const SheetSettings& settings,
                           const SheetOutputs& outputs);

/// True when any of the outputs is one written through GDAL.
bool NeedsGdal(const SheetOutputs& outputs);

}  // namespace cli

#endif  // ZENTREL_TOOLS_SHEET_H
