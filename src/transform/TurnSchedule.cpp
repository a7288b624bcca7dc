#include "transform/TurnSchedule.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace zentrel::detail::rotation {
namespace {

/// Sectors round the centre for the orders by angle: narrow enough that a
/// turn of a few degrees reads from sectors still to come.
constexpr double kSectors = 720.0;
constexpr double kTwoPi = 6.283185307179586;

/// Starts count value-initialised objects of type T at `at` (suitably
/// aligned) and moves `at` past them.
template <class T>
T* Carve(unsigned char*& at, std::size_t count) {
  T* const start = reinterpret_cast<T*>(at);
  std::uninitialized_value_construct_n(start, count);
  at += sizeof(T) * count;
  return start;
}

}  // namespace

std::size_t TurnSchedule::BytesFor(std::size_t tiles) {
  // Widest members first, so each array stays aligned to its type.
  return tiles * (sizeof(double) + sizeof(TileSpan) + 3 * sizeof(std::int32_t) + sizeof(bool));
}

TurnSchedule::TurnSchedule(void* memory, std::int32_t tilesDown, std::int32_t tilesAcross)
    : m_tiles(tilesDown * tilesAcross),
      m_count(static_cast<std::size_t>(m_tiles)),
      m_across(tilesAcross) {
  unsigned char* at = static_cast<unsigned char*>(memory);
  const std::size_t n = m_count;
  m_key = Carve<double>(at, n);
  m_reads = Carve<TileSpan>(at, n);
  m_order = Carve<std::int32_t>(at, n);
  m_position = Carve<std::int32_t>(at, n);
  m_lastReader = Carve<std::int32_t>(at, n);
  m_kept = Carve<bool>(at, n);
}

void TurnSchedule::ChooseOrder(double centreRow, double centreColumn) {
  UseRowOrder();
  const std::int32_t byRows = CountCopies();
  if (byRows == 0) return;
  UseOrderRound(centreRow, centreColumn, true);
  const std::int32_t clockwise = CountCopies();
  UseOrderRound(centreRow, centreColumn, false);
  const std::int32_t counterClockwise = CountCopies();
  if (counterClockwise <= clockwise && counterClockwise <= byRows) return;
  if (clockwise <= byRows)
    UseOrderRound(centreRow, centreColumn, true);
  else
    UseRowOrder();
}

void TurnSchedule::ForgetCopies() { std::fill_n(m_kept, m_count, false); }

void TurnSchedule::UseOrderByKey() {
  for (std::int32_t t = 0; t < m_tiles; ++t) m_order[t] = t;
  // Ties go by tile number, so the order never depends on the sort. (A
  // stable sort could ask for memory.)
  std::sort(m_order, m_order + m_tiles, [this](std::int32_t a, std::int32_t b) {
    return m_key[a] < m_key[b] || (m_key[a] == m_key[b] && a < b);
  });
  for (std::int32_t p = 0; p < m_tiles; ++p) m_position[m_order[p]] = p;
  std::fill_n(m_lastReader, m_count, -1);
  for (std::int32_t p = 0; p < m_tiles; ++p) {
    const TileSpan& reads = m_reads[m_order[p]];
    for (std::int32_t r = reads.rowFirst; r <= reads.rowLast; ++r)
      for (std::int32_t c = reads.columnFirst; c <= reads.columnLast; ++c)
        m_lastReader[r * m_across + c] = p;  // p only grows
  }
  ForgetCopies();
}

void TurnSchedule::UseRowOrder() {
  for (std::int32_t t = 0; t < m_tiles; ++t) m_key[t] = t;
  UseOrderByKey();
}

void TurnSchedule::UseOrderRound(double centreRow, double centreColumn, bool clockwise) {
  // By sector, then outward within a sector, so that neighbouring tiles
  // follow one another.
  const double far = static_cast<double>(m_tiles) + 1.0;
  for (std::int32_t t = 0; t < m_tiles; ++t) {
    const double dy = TileRow(t) + 0.5 - centreRow;
    const double dx = TileColumn(t) + 0.5 - centreColumn;
    double sector = std::floor((std::atan2(dy, dx) + kTwoPi / 2) / kTwoPi * kSectors);
    sector = std::min(std::max(sector, 0.0), kSectors - 1);
    if (clockwise) sector = kSectors - 1 - sector;
    m_key[t] = sector * far + std::sqrt(dx * dx + dy * dy);
  }
  UseOrderByKey();
}

std::int32_t TurnSchedule::CountCopies() {
  std::int32_t copies = 0;
  auto count = [&copies](std::int32_t) { ++copies; };
  for (std::int32_t p = 0; p < m_tiles; ++p) {
    ReadsScratch(p, count);
    BeforeWrite(p, count);
  }
  ForgetCopies();
  return copies;
}

}  // namespace zentrel::detail::rotation
