// The map-digitising pipeline as a host runs it: mark the sheet's ink
// against its paper colour, clean speckle, follow every border of every ink
// patch, keep each border's significant points, and classify and measure it.
#ifndef ZENTREL_TOOLS_VECTORIZER_H
#define ZENTREL_TOOLS_VECTORIZER_H

#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

struct Contour {
  std::vector<POINT> points;  // the border's pixels in order; the last touches the first
  std::vector<POINT> kept;    // the significant points
  bool closed = false;        // the trace came back next to its start
  bool hole = false;          // the border of a hole in an ink patch (paper inside)
  int shape = 0;              // 0 neither, 1 circle, 2 rectangle
  int size = 0;  // radius of a circle, quarter perimeter of a rectangle or other border
  POINT centre{0, 0};
  // A rectangle's fitted sides (through the border pixels' centres, length
  // >= width) and the direction of its long side in radians, 0 <= angle < pi,
  // measured from the x axis towards y (clockwise on screen).
  double length = 0, width = 0, angle = 0;
  // For a recognised shape, the colour measured around the shape (the
  // library's region measure, seeded inside it) and the extent of that
  // colour there; for any other border, the colour of its first pixel and
  // the border's bounding box.
  COLORREF regionColour = 0;
  RECT region{0, 0, 0, 0};
};

struct VectorizeOptions {
  bool denoise = true;     // a 3 x 3 majority vote over the ink mask first
  int minimumPoints = 12;  // shorter borders are speckle or fragments
  // The colour tolerance of the whole pipeline (the record's precision):
  // it decides which pixels are paper, and at 15 the circle test allows a
  // spread of 0.15, which a square's border (spread about 0.19) fails.
  int precision = 15;
  // The smallest shape recognised, in pixels: a circle's diameter or a
  // rectangle's shorter side. Lettering and symbols are smaller.
  int minimumShape = 12;
};

struct VectorizeResult {
  UINT width = 0, height = 0;
  std::vector<Contour> contours;
  int maskCells = 0;   // border cells followed, speckle and fragments included
  double seconds = 0;  // time of the whole pipeline after reading
};

/// A record with the host-side pipeline; reaches the compression operation
/// the library offers to derived classes.
class SheetVectorizer : public CImageDataModel {
 public:
  /// Runs the pipeline on the loaded image, whose background colour
  /// (SetBKColor) is taken as the paper colour; sets the record's precision
  /// to options.precision. The sheet itself is not changed. 'outlines'
  /// becomes the ink mask, an 8-bit image of the sheet's size: paper in the
  /// paper colour, ink grey, and every followed border red. An empty sheet,
  /// or one neither 8 nor 24 bits deep, gives no contours.
  VectorizeResult Run(const VectorizeOptions& options, CImageDataModel& outlines);
  /// The same without the outline picture: the pipeline's own mask, packed
  /// two bits a pixel, is all it holds beside the sheet.
  VectorizeResult Run(const VectorizeOptions& options);

 private:
  VectorizeResult RunPipeline(const VectorizeOptions& options, CImageDataModel* outlines);
  std::vector<POINT> Compress(const std::vector<POINT>& points);
  void Classify(Contour& contour, const VectorizeOptions& options);
  bool IsVerifiedCircle(Contour& contour, const VectorizeOptions& options);
  bool IsVerifiedRectangle(Contour& contour, const VectorizeOptions& options);
  void MeasureRegion(Contour& contour, const RECT& box);
};

/// Writes the contours as JSON.
void WriteJson(const std::string& path, const std::string& source, const VectorizeResult& result);
/// Writes an SVG showing the image with the contours and shapes over it.
void WriteSvg(const std::string& path, const CImageDataModel& image, const VectorizeResult& result);

}  // namespace cli

#endif  // ZENTREL_TOOLS_VECTORIZER_H
