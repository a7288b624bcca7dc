// The colour tracer's visited set against a plain set: walks that stay in
// one tile (the inline look-up), cross tiles, outgrow the table inside the
// object and the scratch tables, and turn the set into a bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <utility>

#include "vector/VisitedSet.h"

namespace {

using zentrel::detail::tracing::VisitedSet;

struct Walk {
  std::uint32_t width;
  std::uint32_t height;
  int steps;
  int jumpEvery;  // a jump to a random position every this many steps
};

TEST(VisitedSet, AgreesWithAPlainSetAlongWalksOfEveryReach) {
  // A small image turns into a bitmap once its tiles outgrow it; a large one grows its table
  // many times; frequent jumps fill many tiles with few positions each.
  for (const Walk& walk : {Walk{200, 200, 4000, 3}, Walk{4000, 3000, 20000, 1000},
                           Walk{4000, 3000, 5000, 3}, Walk{300, 7, 3000, 200}}) {
    VisitedSet visited(walk.width, walk.height);
    std::set<std::pair<std::uint32_t, std::uint32_t>> plain;
    std::mt19937 random(walk.width * 31 + walk.steps);
    std::uint32_t x = walk.width / 2, y = walk.height / 2;
    for (int step = 0; step < walk.steps; ++step) {
      if (step % walk.jumpEvery == 0) {
        x = random() % walk.width;
        y = random() % walk.height;
      } else {
        // One of the eight neighbours, kept inside the image.
        const int dx = static_cast<int>(random() % 3) - 1, dy = static_cast<int>(random() % 3) - 1;
        x = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + dx, 0, walk.width - 1));
        y = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + dy, 0, walk.height - 1));
      }
      ASSERT_EQ(visited.Contains(x, y), plain.count({x, y}) == 1) << "step " << step;
      ASSERT_TRUE(visited.Insert(x, y));
      plain.insert({x, y});
      ASSERT_TRUE(visited.Contains(x, y));
      // A probe elsewhere, so that look-ups leave the last tile too.
      const std::uint32_t px = random() % walk.width, py = random() % walk.height;
      ASSERT_EQ(visited.Contains(px, py), plain.count({px, py}) == 1) << "step " << step;
    }
  }
}

}  // namespace
