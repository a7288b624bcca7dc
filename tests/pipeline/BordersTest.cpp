// Border following: outer borders and holes, each closed, every edge cell
// of the ink on exactly the borders it belongs to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Borders.h"

namespace {

// A mask drawn from text rows: '#' ink, anything else paper.
struct DrawnMask {
  CImageDataModel image;
  cli::MaskView view;
  explicit DrawnMask(const std::vector<std::string>& rows) {
    image.InitImage(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 8);
    view = cli::ViewOf(image);
    for (int y = 0; y < view.height; ++y)
      for (int x = 0; x < view.width; ++x)
        *view.At(x, y) = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#'
                             ? cli::kInk
                             : cli::kPaper;
  }
  std::vector<cli::Border> Follow() {
    std::vector<cli::Border> found;
    cli::FollowBorders(view, [&](cli::Border& b) { found.push_back(b); });
    return found;
  }
};

bool Touching(POINT a, POINT b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; }

TEST(Borders, PatchesHolesAndSingleCells) {
  struct Case {
    const char* name;
    std::vector<std::string> rows;
    std::vector<std::pair<bool, std::size_t>> borders;  // hole?, cells
  };
  const std::vector<Case> cases = {
      {"single cell", {".....", "..#..", "....."}, {{false, 1}}},
      {"filled square",
       {"......", ".####.", ".####.", ".####.", ".####.", "......"},
       {{false, 12}}},
      {"ring with a hole",
       {".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".#####.", "......."},
       // The hole's border passes the cells beside the hole, not the ring's
       // corners, which touch it only diagonally.
       {{false, 16}, {true, 12}}},
      // A one-cell line is followed along both its sides: each inner cell twice.
      {"diagonal line", {"......", ".#....", "..#...", "...#..", "......"}, {{false, 4}}},
      {"two patches", {"........", ".##..#..", ".##..#..", "........"}, {{false, 4}, {false, 2}}},
      // Two holes that meet only at a corner are two holes (paper is
      // four-connected).
      {"two holes at a corner",
       {"......", ".####.", ".#.##.", ".##.#.", ".####.", "......"},
       {{false, 12}, {true, 4}, {true, 4}}},
  };
  for (const Case& c : cases) {
    DrawnMask mask(c.rows);
    const std::vector<cli::Border> found = mask.Follow();
    ASSERT_EQ(found.size(), c.borders.size()) << c.name;
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].hole, c.borders[i].first) << c.name << " border " << i;
      EXPECT_EQ(found[i].cells.size(), c.borders[i].second) << c.name << " border " << i;
      EXPECT_TRUE(Touching(found[i].cells.front(), found[i].cells.back())) << c.name;
      for (std::size_t k = 1; k < found[i].cells.size(); ++k)
        EXPECT_TRUE(Touching(found[i].cells[k - 1], found[i].cells[k])) << c.name << " step " << k;
    }
  }
}

// On a busy random mask, every ink cell with paper beside it (left, right,
// above or below) is passed by some border, and no paper cell is.
TEST(Borders, EveryEdgeCellLiesOnABorder) {
  std::vector<std::string> rows(60, std::string(80, '.'));
  unsigned state = 12345;
  for (int y = 1; y < 59; ++y)
    for (int x = 1; x < 79; ++x) {
      state = state * 1103515245u + 12345u;
      if ((state >> 16) % 100 < 55) rows[y][x] = '#';
    }
  DrawnMask mask(rows);
  std::vector<std::vector<int>> passed(60, std::vector<int>(80, 0));
  for (const cli::Border& b : mask.Follow())
    for (const POINT& p : b.cells) passed[p.y][p.x] = 1;
  for (int y = 1; y < 59; ++y)
    for (int x = 1; x < 79; ++x) {
      const bool ink = rows[y][x] == '#';
      const bool edge = ink && (rows[y][x - 1] != '#' || rows[y][x + 1] != '#' ||
                                rows[y - 1][x] != '#' || rows[y + 1][x] != '#');
      if (!ink) {
        ASSERT_EQ(passed[y][x], 0) << x << "," << y;
      }
      if (edge) {
        ASSERT_EQ(passed[y][x], 1) << x << "," << y;
      }
    }
}

}  // namespace
