// The paper colour of a sheet: found as the most common colour, or given by
// the user, and the diagnostics printed when a sheet yields no shapes.
#ifndef ZENTREL_TOOLS_PAPER_H
#define ZENTREL_TOOLS_PAPER_H

#include <cstdint>
#include <string>

#include "ImageDataModel.h"

namespace cli {

/// How the paper colour is chosen: found on the sheet, or given.
struct PaperChoice {
  bool automatic = true;
  COLORREF colour = RGB(235, 235, 235);  // used when not automatic
};

/// Parses "auto" or RRGGBB; throws UsageError otherwise.
PaperChoice ParsePaperChoice(const std::string& text);

/// The dominant colour of the image: pixels are counted in bins of 4 levels
/// per channel (so scanner noise of a level or two falls in one bin); in the
/// fullest bin the most common exact colour wins. Sheets above 4 million
/// pixels are sampled on an even grid. An empty image gives RGB(235,235,235),
/// the library's own default paper.
COLORREF DominantColour(const CImageDataModel& image);

/// The chosen paper colour for this image (detected or given).
COLORREF ResolvePaper(const CImageDataModel& image, const PaperChoice& choice);

/// Resolves the paper colour and makes it the record's background colour,
/// as every pipeline run of the tool does first (paper-auto). Returns it.
COLORREF ApplyPaper(CImageDataModel& image, const PaperChoice& choice);

/// How many pixels the background test (paper colour and tolerance of the
/// record) takes for ink: what the summary reports when nothing is found.
std::uint64_t CountInkPixels(const CImageDataModel& image);

/// "RRGGBB".
std::string HexColour(COLORREF colour);
/// "RGB(r, g, b)".
std::string DescribeColour(COLORREF colour);

/// The explanation printed when a sheet gives no circle or rectangle (from
/// 'contours' traced outlines): paper colour, tolerance, and how many pixels
/// differ from the paper, with a hint.
std::string WhyNothingFound(const CImageDataModel& image, bool automatic, std::size_t contours);

}  // namespace cli

#endif  // ZENTREL_TOOLS_PAPER_H
