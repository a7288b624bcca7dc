// The tile schedule of the turn over the image: whatever the tiles read and
// whichever order is chosen, each tile must find every tile it reads as it
// was before the turn, in the image or in a copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "transform/TurnSchedule.h"

namespace {

using zentrel::detail::rotation::TileSpan;
using zentrel::detail::rotation::TurnSchedule;

/// A schedule over down × across tiles with the given reads, in its own
/// memory.
struct ScheduleCase {
  ScheduleCase(std::int32_t down, std::int32_t across, std::vector<TileSpan> spans)
      : across(across),
        reads(std::move(spans)),
        memory(TurnSchedule::BytesFor(reads.size()) / 8 + 1),
        schedule(memory.data(), down, across) {
    for (std::size_t t = 0; t < reads.size(); ++t)
      schedule.SetReads(static_cast<std::int32_t>(t), reads[t]);
  }

  std::int32_t across;
  std::vector<TileSpan> reads;
  std::vector<std::uint64_t> memory;
  TurnSchedule schedule;
};

/// Runs the schedule as the turn does, each tile's pixels standing for a
/// version (0 before the turn, 1 once written), and fails where a tile
/// would read a written tile or a missing copy, or a tile is visited other
/// than once. Returns the number of copies.
int RunChecked(ScheduleCase& run) {
  TurnSchedule& schedule = run.schedule;
  const std::size_t tiles = run.reads.size();
  std::vector<int> image(tiles, 0), copy(tiles, -1), visits(tiles, 0);
  int copies = 0;
  auto keep = [&](std::int32_t tile) {
    EXPECT_EQ(copy[tile], -1) << "tile " << tile << " copied twice";
    copy[tile] = image[tile];
    ++copies;
  };
  for (std::int32_t position = 0; position < schedule.Tiles(); ++position) {
    const std::int32_t tile = schedule.TileAt(position);
    ++visits[tile];
    const bool fromCopy = schedule.ReadsScratch(position, keep);
    const TileSpan& reads = run.reads[tile];
    for (std::int32_t r = reads.rowFirst; r <= reads.rowLast; ++r)
      for (std::int32_t c = reads.columnFirst; c <= reads.columnLast; ++c) {
        const std::int32_t read = r * run.across + c;
        EXPECT_EQ(fromCopy ? copy[read] : image[read], 0)
            << "tile " << tile << " reads tile " << read << (fromCopy ? " from its copy" : "");
      }
    schedule.BeforeWrite(position, keep);
    image[tile] = 1;
  }
  for (std::size_t t = 0; t < tiles; ++t) EXPECT_EQ(visits[t], 1) << "tile " << t;
  return copies;
}

/// Random reads: each tile reads a rectangle of up to three tiles a side
/// somewhere in the grid, or nothing.
std::vector<TileSpan> RandomReads(std::int32_t down, std::int32_t across, std::mt19937& random) {
  std::vector<TileSpan> spans(static_cast<std::size_t>(down * across));
  for (TileSpan& span : spans) {
    if (random() % 8 == 0) continue;  // every source outside
    span.rowFirst = static_cast<std::int32_t>(random() % down);
    span.columnFirst = static_cast<std::int32_t>(random() % across);
    span.rowLast = std::min(down - 1, span.rowFirst + static_cast<std::int32_t>(random() % 3));
    span.columnLast =
        std::min(across - 1, span.columnFirst + static_cast<std::int32_t>(random() % 3));
  }
  return spans;
}

TEST(TurnSchedule, EveryOrderReadsEachTileAsItWasAndTheChoiceCopiesLeast) {
  std::mt19937 random(31);
  const std::int32_t grids[][2] = {{1, 1}, {1, 7}, {6, 1}, {5, 5}, {9, 4}, {12, 13}};
  for (const auto& grid : grids) {
    for (int trial = 0; trial < 20; ++trial) {
      const std::vector<TileSpan> spans = RandomReads(grid[0], grid[1], random);
      ScheduleCase byRows(grid[0], grid[1], spans);
      byRows.schedule.UseRowOrder();
      const int rowCopies = RunChecked(byRows);
      ScheduleCase chosen(grid[0], grid[1], spans);
      chosen.schedule.ChooseOrder(grid[0] / 2.0, grid[1] / 2.0);
      EXPECT_LE(RunChecked(chosen), rowCopies) << grid[0] << "x" << grid[1];
      if (HasFailure()) return;
    }
  }
}

TEST(TurnSchedule, TilesReadingOnlyThemselvesAreNeverCopied) {
  // A turn by 0 degrees: each tile reads its own pixels, gathered before
  // they are written over.
  const std::int32_t down = 4, across = 6;
  std::vector<TileSpan> spans;
  for (std::int32_t r = 0; r < down; ++r)
    for (std::int32_t c = 0; c < across; ++c) spans.push_back({r, r, c, c});
  ScheduleCase run(down, across, spans);
  run.schedule.ChooseOrder(down / 2.0, across / 2.0);
  EXPECT_EQ(RunChecked(run), 0);
}

}  // namespace
