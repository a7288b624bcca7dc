// Host-side geometry for checking shape candidates: outline area, convex
// hull, the smallest enclosing rotated rectangle, and how well an outline
// follows a circle or a rectangle.
#ifndef ZENTREL_TOOLS_SHAPEFIT_H
#define ZENTREL_TOOLS_SHAPEFIT_H

#include <cmath>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

/// The length of the vector (x, y): a plain square root, several times
/// quicker than std::hypot, whose guard against overflow the pixel
/// distances here do not need.
inline double Length(double x, double y) { return std::sqrt(x * x + y * y); }

/// The area enclosed by a closed outline (the last point joins the first).
double OutlineArea(const std::vector<POINT>& outline);

/// The convex hull of the points, counter-clockwise in x-right, y-up terms,
/// without repeated or collinear points.
std::vector<POINT> ConvexHull(std::vector<POINT> points);

/// A rotated rectangle: centre, side lengths (length >= width) and the
/// direction of its long side in radians, in [0, pi).
struct RotatedRect {
  double cx = 0, cy = 0;
  double length = 0, width = 0;
  double angle = 0;
};

/// The smallest-area rectangle around a convex hull, found by trying the
/// direction of each hull edge. A hull of fewer than three points gives a
/// rectangle of zero width.
RotatedRect SmallestEnclosingRectangle(const std::vector<POINT>& hull);

/// The rectangle with each side moved to the median position of the
/// outline points nearest to it: a speck or a stub on one side, which
/// widens the smallest enclosing rectangle, does not move it.
RotatedRect SettleSides(const std::vector<POINT>& outline, const RotatedRect& rect);

/// The share of outline points farther than tolerance from the rectangle's
/// outline, inside or outside it.
double ShareOffRectangle(const std::vector<POINT>& outline, const RotatedRect& rect,
                         double tolerance);

/// The mean distance of the outline points from the rectangle's outline.
double MeanOffRectangle(const std::vector<POINT>& outline, const RotatedRect& rect);

/// The mean difference between the outline points' distances from
/// (cx, cy) and radius.
double MeanOffCircle(const std::vector<POINT>& outline, double cx, double cy, double radius);

/// The greatest distance from a corner of the rectangle to the nearest
/// outline point: small for a rectangle, about 0.4 times the radius for a
/// circle in its square.
double FarthestCornerGap(const std::vector<POINT>& outline, const RotatedRect& rect);

/// The share of outline points whose distance from (cx, cy) differs from
/// radius by more than tolerance.
double ShareOffCircle(const std::vector<POINT>& outline, double cx, double cy, double radius,
                      double tolerance);

}  // namespace cli

#endif  // ZENTREL_TOOLS_SHAPEFIT_H
