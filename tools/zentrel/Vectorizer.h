// The map-digitising pipeline as a host runs it: read a sheet, filter
// speckle, mark outlines, trace them into point lists, keep their
// significant points, and classify and measure each one.
#ifndef ZENTREL_TOOLS_VECTORIZER_H
#define ZENTREL_TOOLS_VECTORIZER_H

#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

struct Contour {
  std::vector<POINT> points;  // as traced, in order
  std::vector<POINT> kept;    // the significant points
  bool closed = false;        // the trace came back next to its start
  int shape = 0;              // 0 neither, 1 circle, 2 rectangle
  int size = 0;               // radius of a circle, quarter perimeter of a rectangle
  POINT centre{0, 0};
  COLORREF regionColour = 0;  // the colour measured around the contour's first point
  RECT region{0, 0, 0, 0};    // and the extent of that colour there
};

struct VectorizeOptions {
  bool denoise = true;     // a 3 x 3 median over 8-bit sheets first
  int minimumPoints = 12;  // shorter traces are speckle or fragments
  // The colour tolerance of the whole pipeline. At 15 the circle test allows
  // a spread of 0.15, which a dense square outline (spread about 0.19) fails,
  // so squares are not taken for circles; the background tolerance of 15 per
  // channel still covers scanned paper.
  int precision = 15;
};

struct VectorizeResult {
  UINT width = 0, height = 0;
  std::vector<Contour> contours;
  int maskCells = 0;   // outline cells found by the edge pass
  double seconds = 0;  // time of the whole pipeline after reading
};

/// A record with the host-side pipeline; reaches the tracing operations the
/// library offers to derived classes.
class SheetVectorizer : public CImageDataModel {
 public:
  /// Runs the pipeline on the loaded image. The record keeps the (filtered)
  /// sheet; the outlines are drawn into 'outlines', a 24-bit copy.
  VectorizeResult Run(const VectorizeOptions& options, CImageDataModel& outlines);

 private:
  std::vector<BYTE> OutlineMask(CImageDataModel& outlines, int& cells);
  std::vector<POINT> TraceFrom(int x, int y, std::vector<BYTE>& mask);
  void Classify(Contour& contour);
};

/// Writes the contours as JSON.
void WriteJson(const std::string& path, const std::string& source, const VectorizeResult& result);
/// Writes an SVG showing the image with the contours and shapes over it.
void WriteSvg(const std::string& path, const CImageDataModel& image, const VectorizeResult& result);

}  // namespace cli

#endif  // ZENTREL_TOOLS_VECTORIZER_H
