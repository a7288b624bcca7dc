// Synthetic map sheets with known contents, for measuring how well the
// vectorising pipeline finds shapes: paper of several colours, 1-, 8- and
// 24-bit pixels, anti-aliased rotated rectangles, discs and rings, roads
// crossing them, lettering and speckle; and the scoring of a result
// against what was drawn.
#ifndef ZENTREL_TOOLS_TESTSHEET_H
#define ZENTREL_TOOLS_TESTSHEET_H

#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "Vectorizer.h"

namespace cli {

struct TestSheetPlan {
  int width = 800, height = 600;
  // 1: two colours, white paper and black ink (held as an 8-bit image);
  // 8: a colour table of paper shades and anti-aliased ink blends; 24.
  int bits = 8;
  COLORREF paper = RGB(255, 255, 255);
  int shapes = 60;              // rectangles, discs and rings together
  int roads = 4;                // polylines across the sheet
  int words = 30;               // runs of letter-like marks
  double speckle = 1.0 / 1000;  // specks per pixel
  unsigned seed = 1;
};

/// A shape as drawn. A rectangle has sides length >= width turned by angle
/// (radians); a circle has an outer radius and an inner one (0 for a disc).
struct DrawnShape {
  int kind = 0;  // 1 circle (disc or ring), 2 rectangle
  double cx = 0, cy = 0;
  double length = 0, width = 0, angle = 0;
  double radius = 0, inner = 0;
  bool clear = true;  // no road or lettering comes within three pixels of it
};

/// Draws a sheet into 'sheet' (replacing any image it holds), sets the
/// record's background colour to the paper colour, and returns the shapes
/// drawn. Deterministic for a given plan. Returns no shapes if the image
/// cannot be made.
std::vector<DrawnShape> MakeTestSheet(const TestSheetPlan& plan, CImageDataModel& sheet);

/// A named sheet kind: paper colour and depth.
struct SheetKind {
  const char* name;
  int bits;
  COLORREF paper;
};
/// The kinds the quality measurements cover: white, cream and grey paper
/// at 8 and 24 bits, white paper at 1 bit, and the library's default
/// background colour at 8 bits.
const std::vector<SheetKind>& SheetKinds();

struct ShapeScore {
  int clear = 0;        // shapes drawn clear of other marks
  int clearFound = 0;   // of those, recognised with the right kind and centre
  int reported = 0;     // rectangles and circles the pipeline reported
  int falseShapes = 0;  // of those, matching nothing drawn
  double Recall() const { return clear ? static_cast<double>(clearFound) / clear : 1.0; }
  double FalseRate() const { return reported ? static_cast<double>(falseShapes) / reported : 0.0; }
};

/// Matches the reported shapes to the drawn ones: the same kind, the centre
/// within a quarter of the shape's size (at least 2 pixels). The inside of
/// a drawn ring, reported as a circle about its centre, is part of the ring
/// and counts neither way.
ShapeScore ScoreShapes(const VectorizeResult& result, const std::vector<DrawnShape>& drawn);

}  // namespace cli

#endif  // ZENTREL_TOOLS_TESTSHEET_H
