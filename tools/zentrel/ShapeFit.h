// Host-side geometry for checking shape candidates: outline area, convex
// hull, the smallest enclosing rotated rectangle, and how well an outline
// follows a circle or a rectangle.
#ifndef ZENTREL_TOOLS_SHAPEFIT_H
#define ZENTREL_TOOLS_SHAPEFIT_H

#include <vector>

#include "ImageDataModel.h"

namespace cli {

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

/// The greatest distance of an outline point from the nearest side of the
/// rectangle (points inside it; 0 when every point lies on a side).
double GreatestInsetFromSides(const std::vector<POINT>& outline, const RotatedRect& rect);

/// The greatest difference between an outline point's distance from
/// (cx, cy) and radius.
double GreatestRadialError(const std::vector<POINT>& outline, double cx, double cy,
                           double radius);

}  // namespace cli

#endif  // ZENTREL_TOOLS_SHAPEFIT_H
