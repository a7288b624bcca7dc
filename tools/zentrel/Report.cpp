// JSON and SVG output of the vectorising pipeline.
#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Cli.h"
#include "Json.h"
#include "Report.h"
#include "Vectorizer.h"

namespace cli {
namespace {

const char* ShapeName(int shape) {
  return shape == 1 ? "circle" : shape == 2 ? "rectangle" : "none";
}

std::string Hex(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

nlohmann::json PointList(const std::vector<POINT>& points) {
  nlohmann::json list = nlohmann::json::array();
  for (const POINT& p : points) list.push_back({p.x, p.y});
  return list;
}

nlohmann::json Document(const std::string& source, const VectorizeResult& r) {
  nlohmann::json contours = nlohmann::json::array();
  for (const Contour& c : r.contours)
    contours.push_back({{"shape", ShapeName(c.shape)},
                        {"shape_code", c.shape},
                        {"size", c.size},
                        {"centre", {c.centre.x, c.centre.y}},
                        {"closed", c.closed},
                        {"region_colour", Hex(c.regionColour)},
                        {"region", {c.region.left, c.region.top, c.region.right, c.region.bottom}},
                        {"kept", PointList(c.kept)},
                        {"points", PointList(c.points)}});
  return {{"source", source},
          {"width", r.width},
          {"height", r.height},
          {"outline_cells", r.maskCells},
          {"contours", std::move(contours)}};
}

}  // namespace

void WriteJson(const std::string& path, const std::string& source, const VectorizeResult& r) {
  SaveText(
      path,
      Document(source, r).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void WriteJson(const std::string& path, const std::string& source, const VectorizeResult& r,
               COLORREF paper) {
  nlohmann::json document = Document(source, r);
  document["paper"] = Hex(paper);
  SaveText(path, document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void WriteSvg(const std::string& path, const CImageDataModel& image, const VectorizeResult& r) {
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << r.width << "\" height=\""
      << r.height << "\" viewBox=\"0 0 " << r.width << ' ' << r.height << "\">\n";
  out << "<image x=\"0\" y=\"0\" width=\"" << r.width << "\" height=\"" << r.height
      << "\" href=\"data:image/png;base64," << PngBase64(image) << "\"/>\n";
  out << "<g fill=\"none\" stroke-width=\"1\">\n";
  for (const Contour& c : r.contours) {
    // Each traced outline thin and cyan, its significant points as dots.
    out << "<polyline stroke=\"#00B4D8\" points=\"";
    for (const POINT& p : c.points) out << p.x + 0.5 << ',' << p.y + 0.5 << ' ';
    out << "\"/>\n";
  }
  out << "</g>\n<g fill=\"#FF006E\">\n";
  for (const Contour& c : r.contours)
    for (const POINT& p : c.kept)
      out << "<circle cx=\"" << p.x + 0.5 << "\" cy=\"" << p.y + 0.5 << "\" r=\"1.5\"/>\n";
  out << "</g>\n<g fill=\"none\" stroke-width=\"2.5\" font-family=\"sans-serif\" "
         "font-size=\"11\">\n";
  for (const Contour& c : r.contours) {
    if (c.shape == 1) {
      out << "<circle stroke=\"#FF006E\" cx=\"" << c.centre.x + 0.5 << "\" cy=\""
          << c.centre.y + 0.5 << "\" r=\"" << c.size << "\"/>\n";
    } else if (c.shape == 2) {
      // The rectangle's extent is that of its traced outline.
      LONG l = c.points[0].x, t = c.points[0].y, rr = l, b = t;
      for (const POINT& p : c.points) {
        l = std::min(l, p.x);
        t = std::min(t, p.y);
        rr = std::max(rr, p.x);
        b = std::max(b, p.y);
      }
      out << "<rect stroke=\"#FB8500\" x=\"" << l - 1.5 << "\" y=\"" << t - 1.5 << "\" width=\""
          << rr - l + 4 << "\" height=\"" << b - t + 4 << "\"/>\n";
    }
  }
  out << "</g>\n</svg>\n";
  SaveText(path, out.str());
}

}  // namespace cli
