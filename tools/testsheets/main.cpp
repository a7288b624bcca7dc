// zentrel-testsheets: writes synthetic map sheets and measures how well the
// vectorising pipeline finds their shapes, per kind of sheet.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TestSheet.h"
#include "Vectorizer.h"

namespace {

const char kUsage[] =
    "usage: zentrel-testsheets make KIND WIDTHxHEIGHT SHAPES SEED OUT.bmp\n"
    "       zentrel-testsheets score [WIDTHxHEIGHT [SHAPES [SHEETS]]] [--misses]\n"
    "KIND is one of: white-1, white-8, cream-8, grey-8, white-24, cream-24, grey-24,\ndefault-8 "
    "(paper in the library's default background colour, 235 grey).\n"
    "'make' draws one sheet (roads, lettering and speckle in proportion to its size)\n"
    "and saves it as a BMP file; 'score' draws SHEETS sheets of each kind (default\n"
    "800x600, 60 shapes, 10 sheets), vectorises them and prints recall and false-shape\n"
    "rate per kind as a Markdown table.\n";

cli::TestSheetPlan SpecFor(const cli::SheetKind& kind, int width, int height, int shapes,
                           unsigned seed) {
  cli::TestSheetPlan plan;
  plan.width = width;
  plan.height = height;
  plan.bits = kind.bits;
  plan.paper = kind.paper;
  plan.shapes = shapes;
  const double scale = static_cast<double>(width) * height / (800.0 * 600.0);
  plan.roads = std::max(2, static_cast<int>(std::lround(4 * std::sqrt(scale))));
  plan.words = static_cast<int>(std::lround(30 * scale));
  plan.seed = seed;
  return plan;
}

const cli::SheetKind* FindKind(const std::string& name) {
  for (const cli::SheetKind& k : cli::SheetKinds()) {
    std::string short_name = k.name;  // "white 8-bit" -> "white-8"
    short_name = short_name.substr(0, short_name.find(' ')) + "-" +
                 short_name.substr(short_name.find(' ') + 1,
                                   short_name.find('-') - short_name.find(' ') - 1);
    if (short_name == name) return &k;
  }
  return nullptr;
}

bool ParseSize(const char* text, int& width, int& height) {
  return std::sscanf(text, "%dx%d", &width, &height) == 2 && width >= 32 && height >= 32 &&
         width <= 30000 && height <= 30000;
}

void PrintMisses(const cli::VectorizeResult& result, const std::vector<cli::DrawnShape>& drawn,
                 const char* kind, unsigned seed) {
  for (const cli::DrawnShape& d : drawn) {
    if (!d.clear) continue;
    bool hit = false;
    for (const cli::Contour& c : result.contours)
      hit |= !c.hole && c.shape == d.kind &&
             std::hypot(c.centre.x - d.cx, c.centre.y - d.cy) <=
                 std::max(2.0, 0.25 * (d.kind == 1 ? d.radius : d.width));
    if (!hit)
      std::printf(
          "missed %s seed %u: kind %d at (%.1f, %.1f) length %.1f width %.1f angle %.2f "
          "radius %.1f inner %.1f\n",
          kind, seed, d.kind, d.cx, d.cy, d.length, d.width, d.angle, d.radius, d.inner);
  }
  for (const cli::Contour& c : result.contours) {
    if (c.shape == 0) continue;
    bool hit = false;
    for (const cli::DrawnShape& d : drawn)
      hit |= c.shape == d.kind && std::hypot(c.centre.x - d.cx, c.centre.y - d.cy) <=
                                      std::max(2.0, 0.25 * (d.kind == 1 ? d.radius : d.width));
    if (!hit)
      std::printf("false %s seed %u: shape %d%s at (%d, %d) size %d\n", kind, seed, c.shape,
                  c.hole ? " (hole)" : "", c.centre.x, c.centre.y, c.size);
  }
}

int Score(int width, int height, int shapes, int sheets, bool misses) {
  std::printf(
      "| sheet kind | sheets | clear shapes | found | recall | reported | false | false rate |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const cli::SheetKind& kind : cli::SheetKinds()) {
    cli::ShapeScore total;
    for (int s = 1; s <= sheets; ++s) {
      cli::SheetVectorizer sheet;
      const auto drawn =
          cli::MakeTestSheet(SpecFor(kind, width, height, shapes, static_cast<unsigned>(s)), sheet);
      CImageDataModel mask;
      const cli::VectorizeResult result = sheet.Run(cli::VectorizeOptions(), mask);
      const cli::ShapeScore score = cli::ScoreShapes(result, drawn);
      if (misses) PrintMisses(result, drawn, kind.name, static_cast<unsigned>(s));
      total.clear += score.clear;
      total.clearFound += score.clearFound;
      total.reported += score.reported;
      total.falseShapes += score.falseShapes;
    }
    std::printf("| %s | %d | %d | %d | %.1f %% | %d | %d | %.2f %% |\n", kind.name, sheets,
                total.clear, total.clearFound, 100 * total.Recall(), total.reported,
                total.falseShapes, 100 * total.FalseRate());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "make") == 0 && argc == 7) {
    const cli::SheetKind* kind = FindKind(argv[2]);
    int width = 0, height = 0;
    const int shapes = std::atoi(argv[4]);
    if (!kind || !ParseSize(argv[3], width, height) || shapes < 0 || shapes > 1000000) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    CImageDataModel sheet;
    const auto drawn = cli::MakeTestSheet(SpecFor(*kind, width, height, std::atoi(argv[4]),
                                                  static_cast<unsigned>(std::atoi(argv[5]))),
                                          sheet);
    if (sheet.IsEmpty() || !sheet.SaveBMPImage(argv[6])) {
      std::fprintf(stderr, "zentrel-testsheets: cannot make or write %s\n", argv[6]);
      return 1;
    }
    int clear = 0;
    for (const cli::DrawnShape& d : drawn) clear += d.clear ? 1 : 0;
    std::printf("%s: %d x %d, %zu shapes (%d clear of other marks)\n", argv[6], width, height,
                drawn.size(), clear);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "score") == 0) {
    int width = 800, height = 600, shapes = 60, sheets = 10;
    bool misses = false;
    int positional = 0;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--misses") == 0) {
        misses = true;
      } else if (positional == 0 && ParseSize(argv[i], width, height)) {
        ++positional;
      } else if (positional == 1) {
        shapes = std::atoi(argv[i]);
        ++positional;
      } else if (positional == 2) {
        sheets = std::atoi(argv[i]);
        ++positional;
      } else {
        std::fputs(kUsage, stderr);
        return 2;
      }
    }
    if (shapes < 1 || shapes > 1000000 || sheets < 1 || sheets > 100000) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    return Score(width, height, shapes, sheets, misses);
  }
  std::fputs(kUsage, argc >= 2 && std::strcmp(argv[1], "--help") == 0 ? stdout : stderr);
  return argc >= 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
