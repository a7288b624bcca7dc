// The per-window value counts of the larger medians against counts taken
// sample by sample: every window width, rows added, replaced and moved in
// the two parts the median uses, and the edge column that even windows
// read twice.
#include <gtest/gtest.h>

#if defined(__x86_64__)

#include <algorithm>
#include <cstdint>
#include <vector>

#include "NoiseImages.h"
#include "cleanup/WindowCounts.h"

namespace cleanup = zentrel::detail::cleanup;

namespace {

using Row = std::vector<BYTE>;

/// A band of rows, each counted `times` times.
struct Band {
  std::vector<Row> rows;
  std::vector<int> times;
};

Row RandomRow(std::size_t width, zt::TestRandom& random) {
  Row row(width);
  // Few values, so that neighbouring columns often meet in one value.
  const int base = random.Between(0, 250);
  for (BYTE& sample : row)
    sample = static_cast<BYTE>(random.Between(0, 3) == 0 ? random.Between(0, 255)
                                                         : base + random.Between(0, 5));
  return row;
}

/// Compares every count the median reads with the band counted directly:
/// values by pixel over the filtered pixels, runs by column up to `width`.
void ExpectCounts(const cleanup::WindowCounts& counts, const Band& band, int w) {
  const int hw = (w - 1) / 2;
  const int width = static_cast<int>(band.rows[0].size());
  std::vector<int> fine(256), coarse(16);
  for (int x = hw; x < width - hw; ++x) {
    std::fill(fine.begin(), fine.end(), 0);
    for (std::size_t r = 0; r < band.rows.size(); ++r)
      for (int i = 0; i < w; ++i)
        fine[band.rows[r][std::min(x - hw + i, width - 1)]] += band.times[r];
    for (int v = 0; v < 256; ++v)
      ASSERT_EQ(counts.Fine(v)[x], fine[v] & 0xFF) << "value " << v << " pixel " << x;
  }
  for (int c = 0; c <= width; ++c) {
    std::fill(coarse.begin(), coarse.end(), 0);
    for (std::size_t r = 0; r < band.rows.size(); ++r)
      coarse[band.rows[r][std::min(c, width - 1)] >> 4] += band.times[r];
    for (int k = 0; k < 16; ++k) ASSERT_EQ(counts.Coarse(k)[c], coarse[k]) << "run " << k;
  }
}

TEST(WindowCounts, MatchSampleBySampleCountsThroughEveryUpdate) {
  zt::TestRandom random(1234);
  for (int w = 1; w <= 10; ++w) {
    for (std::size_t width : {static_cast<std::size_t>(w), std::size_t{33}, std::size_t{530}}) {
      std::vector<BYTE> memory(cleanup::WindowCounts::Bytes(width));
      cleanup::WindowCounts counts(memory.data(), width, w, (w - 1) / 2);
      Band band{{RandomRow(width, random), RandomRow(width, random), RandomRow(width, random)},
                {1, 2, 1}};
      for (std::size_t r = 0; r < band.rows.size(); ++r)
        counts.AddRow(band.rows[r].data(), band.times[r]);
      ExpectCounts(counts, band, w);

      // A row counted twice changes, as the last row of a two-row window.
      Row changed = RandomRow(width, random);
      counts.ReplaceRow(band.rows[1].data(), changed.data(), 2);
      band.rows[1] = changed;
      ExpectCounts(counts, band, w);

      // Two rows change in the median's two parts: some columns of the
      // second between other work, the rest and the first after it (the
      // run counts kept by hand, as the median's caller does).
      const Row to1 = RandomRow(width, random);
      const Row to2 = RandomRow(width, random);
      const cleanup::WindowCounts::Spreader spreader = counts.GetSpreader();
      cleanup::WindowCounts::ColumnOrder order(width);
      for (std::size_t i = 0; i < width / 3 && !order.Done(); ++i)
        cleanup::WindowCounts::LeaveAndEnter(spreader, band.rows[2].data(), to2.data(),
                                             order.Next());
      counts.FinishReplaceFine(order, band.rows[0].data(), to1.data(), band.rows[2].data(),
                               to2.data());
      for (std::size_t c = 0; c < width; ++c) {
        for (const auto& [from, to] :
             {std::pair{band.rows[0][c], to1[c]}, std::pair{band.rows[2][c], to2[c]}}) {
          --counts.CoarseToChange(from >> 4)[c];
          ++counts.CoarseToChange(to >> 4)[c];
        }
      }
      counts.RepeatLastColumn();
      band.rows[0] = to1;
      band.rows[2] = to2;
      ExpectCounts(counts, band, w);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(WindowCounts, ColumnOrderGivesEveryColumnOnce) {
  for (std::size_t width : {0, 1, 31, 32, 33, 511, 512, 513, 1041}) {
    cleanup::WindowCounts::ColumnOrder order(width);
    std::vector<int> seen(width, 0);
    while (!order.Done()) {
      const std::size_t c = order.Next();
      ASSERT_LT(c, width);
      ++seen[c];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<std::ptrdiff_t>(width))
        << "width " << width;
  }
}

}  // namespace

#endif  // __x86_64__
