// The tool's own JSON report of a vectorised sheet, with its paper colour.
#ifndef ZENTREL_TOOLS_REPORT_H
#define ZENTREL_TOOLS_REPORT_H

#include <string>

#include "Vectorizer.h"

namespace cli {

/// Writes every contour as JSON (source, size, paper colour, outline cells;
/// per contour shape, size, centre, closed, region, kept and traced points,
/// in pixels); throws Failure when the file cannot be written.
void WriteJson(const std::string& path, const std::string& source, const VectorizeResult& result,
               COLORREF paper);

}  // namespace cli

#endif  // ZENTREL_TOOLS_REPORT_H
