// Batches: many sheets vectorised by several workers at once into a folder.
#ifndef ZENTREL_TOOLS_BATCH_H
#define ZENTREL_TOOLS_BATCH_H

#include <string>
#include <vector>

#include "Sheet.h"

namespace cli {

struct BatchSettings {
  SheetSettings sheet;
  std::string outDir;
  std::vector<std::string> formats{"geojson"};  // geojson dxf svg json gpkg shp
  unsigned jobs = 0;                            // 0: one per core
};

/// Parses a comma-separated list of output formats; throws UsageError naming
/// an unknown one (or a GDAL one when the tool has no GDAL).
std::vector<std::string> ParseFormats(const std::string& text);

/// The sheets named by the inputs: files as given, and for a folder its
/// regular files the tool can read (BMP and GIF), sorted by name, not
/// descending into subfolders. Throws Failure for an input that does not
/// exist or a folder that cannot be listed.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs);

struct BatchOutcome {
  std::size_t sheets = 0, done = 0;
  long rectangles = 0, circles = 0, others = 0;  // over the sheets done
  double seconds = 0;
  unsigned jobs = 0;                  // workers used
  std::vector<std::string> failures;  // one line per failed sheet, in order
};

/// Runs the batch and returns its outcome: each sheet into
/// outDir/<name>.<format>, 'jobs' sheets at a time, each worker with its own
/// record; a sheet that fails is recorded and skipped. With showProgress, a
/// progress line on standard error when it is a terminal. Throws Failure when
/// outDir cannot be made.
BatchOutcome ProcessBatch(const std::vector<std::string>& sheets, const BatchSettings& settings,
                          bool showProgress);

/// Runs the batch: each sheet into outDir/<name>.<format>, 'jobs' sheets at a
/// time, each worker with its own record. A sheet that fails is reported and
/// skipped. Shows a progress line on a terminal and prints a closing summary.
/// Returns the exit status: 0, or 1 when any sheet failed.
int RunBatch(const std::vector<std::string>& sheets, const BatchSettings& settings);

}  // namespace cli

#endif  // ZENTREL_TOOLS_BATCH_H
