// Places k − m .. k of R's order by counting, 64 pixels in the byte lanes
// of AVX-512 registers.
//
// With t0 = max(k − m, 0), D the distance of R's t0-th sample is the least
// d with at least t0 samples at distance d or less: eight halving steps
// over 0 .. 255, each one count across R. The first t0 samples are those
// nearer than D and the first t0 − L at distance D in reading order
// (L samples lie nearer). Later places follow in reading order at D, then
// at each next distance present; a scan per distance records, for the
// places t0 + 1 .. k, whether the sample lies above v (its value v ± D)
// and whether it lies above the own row.
#include "cleanup/NearestCounting.h"

#include <algorithm>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define ZENTREL_COUNTING_AVX512 1
#endif

namespace zentrel::detail::cleanup {

#if defined(ZENTREL_COUNTING_AVX512)

bool CountingAvailable() { return __builtin_cpu_supports("avx512bw"); }

namespace {

constexpr int kLanes = CountingGroup::kLanes;
constexpr int kMaxWritten = CountingGroup::kMaxWritten;

/// What the scans leave for writing the plan, byte lanes.
struct Places {
  __m512i nearSum[2];             // the sum of R's first t0 samples, 16-bit lanes, two halves
  __m512i distance[kMaxWritten];  // of places t0 + 1 .. t0 + kMaxWritten
  __m512i aboveValue;             // bit q: place t0 + 1 + q holds v + distance
  __m512i aboveRow;               // bit q: place t0 + 1 + q lies above the own row
};

/// Per lane, how many of the distances are at most `probe`.
__attribute__((target("avx512bw"), always_inline)) inline __m512i CountWithin(const __m512i* dist,
                                                                              int size,
                                                                              __m512i probe) {
  const __m512i one = _mm512_set1_epi8(1);
  // Two counts, so that the adds do not wait on each other.
  __m512i even = _mm512_setzero_si512();
  __m512i odd = _mm512_setzero_si512();
  int n = 0;
  for (; n + 1 < size; n += 2) {
    even = _mm512_mask_add_epi8(even, _mm512_cmple_epu8_mask(dist[n], probe), even, one);
    odd = _mm512_mask_add_epi8(odd, _mm512_cmple_epu8_mask(dist[n + 1], probe), odd, one);
  }
  if (n < size)
    even = _mm512_mask_add_epi8(even, _mm512_cmple_epu8_mask(dist[n], probe), even, one);
  return _mm512_add_epi8(even, odd);
}

/// Per lane, the least d with at least `target` (≥ 1) of the distances at
/// d or less; `nearer` gets how many lie below it.
__attribute__((target("avx512bw"))) __m512i SearchDistance(const __m512i* dist, int size,
                                                           int target, __m512i& nearer) {
  const __m512i wanted = _mm512_set1_epi8(static_cast<char>(target));
  // Smooth areas keep d below 32 in every lane of a group (on the
  // benchmark's sheet at 10 × 10, 87 % of the groups): one count shows it
  // and saves the three steps of the high bits.
  constexpr int kLowBits = 5;
  const __m512i lowMost = _mm512_set1_epi8((1 << kLowBits) - 1);
  const bool low = _mm512_cmplt_epu8_mask(CountWithin(dist, size, lowMost), wanted) == 0;
  __m512i found = _mm512_setzero_si512();
  nearer = _mm512_setzero_si512();
  for (int bit = low ? kLowBits - 1 : 7; bit >= 0; --bit) {
    const __m512i probe =
        _mm512_add_epi8(found, _mm512_set1_epi8(static_cast<char>((1 << bit) - 1)));
    const __m512i total = CountWithin(dist, size, probe);
    const __mmask64 tooFew = _mm512_cmplt_epu8_mask(total, wanted);
    found =
        _mm512_mask_add_epi8(found, tooFew, found, _mm512_set1_epi8(static_cast<char>(1 << bit)));
    // The last step that moved `found` counted the distances below it.
    nearer = _mm512_mask_mov_epi8(nearer, tooFew, total);
  }
  return found;
}

/// What a scan at one distance carries from sample to sample.
struct Round {
  __m512i next;        // the least distance beyond the scan's
  __m512i place;       // of the next sample at the scan's distance
  __m512i aboveValue;  // as Places
  __m512i aboveRow;
};

/// One sample d of a scan: `at` it lies at the scan's distance and `bit`
/// is its place's bit (0 past the places wanted), `beyond` it lies
/// farther; Upper: it lies above the own row.
template <bool Upper>
__attribute__((target("avx512bw"), always_inline)) inline void Record(__m512i d, __mmask64 at,
                                                                      __mmask64 beyond,
                                                                      __mmask64 aboveV, __m512i bit,
                                                                      Round& r) {
  r.next = _mm512_mask_min_epu8(r.next, beyond, r.next, d);
  r.aboveValue = _mm512_mask_add_epi8(r.aboveValue, at & aboveV, r.aboveValue, bit);
  if (Upper) r.aboveRow = _mm512_mask_add_epi8(r.aboveRow, at, r.aboveRow, bit);
  r.place = _mm512_mask_add_epi8(r.place, at, r.place, _mm512_set1_epi8(1));
}

/// Samples from .. to − 1 of a scan after the first, at distance `level`,
/// with r.place biased so that the byte shuffle reads bit(q) for q < 16
/// and 0 from q = 16 on (the index's top bit set) without a clamp.
template <bool Upper>
__attribute__((target("avx512bw"), always_inline)) inline void ScanRound(const __m512i* dist,
                                                                         const __mmask64* aboveV,
                                                                         int from, int to,
                                                                         __m512i level,
                                                                         __m512i bitOf, Round& r) {
  for (int n = from; n < to; ++n) {
    const __m512i d = dist[n];
    Record<Upper>(d, _mm512_cmpeq_epu8_mask(d, level), _mm512_cmpgt_epu8_mask(d, level), aboveV[n],
                  _mm512_shuffle_epi8(bitOf, r.place), r);
  }
}

/// Samples from .. to − 1 of the first scan, at distance `level` = D:
/// adds those among R's first t0 (nearer than D, or among the first `skip`
/// at D) to `sum`, 16-bit lanes in two halves, and records the places
/// after t0 (r.place counts the samples at D).
template <bool Upper>
__attribute__((target("avx512bw"), always_inline)) inline void ScanFirst(
    const CountingGroup& g, const __m512i* dist, const __mmask64* aboveV, int from, int to,
    __m512i level, __m512i skip, __m512i bitOf, Round& r, __m512i* sum) {
  const __m512i fifteen = _mm512_set1_epi8(15);
  for (int n = from; n < to; ++n) {
    const __m512i d = dist[n];
    const __mmask64 at = _mm512_cmpeq_epu8_mask(d, level);
    const __mmask64 taken =
        _mm512_cmplt_epu8_mask(d, level) | (at & _mm512_cmplt_epu8_mask(r.place, skip));
    // Place after t0 ("negative" ones wrap past 127 and pick 0).
    const __m512i bit =
        _mm512_shuffle_epi8(bitOf, _mm512_min_epu8(_mm512_sub_epi8(r.place, skip), fifteen));
    Record<Upper>(d, at, _mm512_cmpgt_epu8_mask(d, level), aboveV[n], bit, r);
    const BYTE* s = g.source[n];
    sum[0] = _mm512_mask_add_epi16(
        sum[0], static_cast<__mmask32>(taken), sum[0],
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s))));
    sum[1] = _mm512_mask_add_epi16(
        sum[1], static_cast<__mmask32>(taken >> 32), sum[1],
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32))));
  }
}

__attribute__((target("avx512bw"))) void FindPlaces(const CountingGroup& g, const __m512i* dist,
                                                    const __mmask64* aboveV, Places& out) {
  const int t0 = std::max(g.k - g.m, 0);
  const int needed = std::min(std::min(g.k, g.size) - t0, g.m);
  // bit(q) for places q < m, 0 for the others (and for "negative" q), in
  // each 16-byte block as the byte shuffle reads it.
  alignas(64) char bits[kLanes] = {};
  for (int q = 0; q < g.m; ++q)
    for (int block = 0; block < kLanes; block += 16) bits[block + q] = static_cast<char>(1 << q);
  const __m512i bitOf = _mm512_load_si512(bits);

  __m512i nearer = _mm512_setzero_si512();
  __m512i level = t0 > 0 ? SearchDistance(dist, g.size, t0, nearer) : _mm512_setzero_si512();
  // At the first distance the first `skip` samples belong to the first t0.
  const __m512i skip = _mm512_sub_epi8(_mm512_set1_epi8(static_cast<char>(t0)), nearer);
  const __m512i none = _mm512_set1_epi8(static_cast<char>(255));
  const int split = std::min(g.aboveCount, g.size);
  Round round{none, _mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
  out.nearSum[0] = _mm512_setzero_si512();
  out.nearSum[1] = _mm512_setzero_si512();
  ScanFirst<true>(g, dist, aboveV, 0, split, level, skip, bitOf, round, out.nearSum);
  ScanFirst<false>(g, dist, aboveV, split, g.size, level, skip, bitOf, round, out.nearSum);
  __m512i filled = _mm512_sub_epi8(round.place, skip);
  for (int q = 0; q < kMaxWritten; ++q) {
    out.distance[q] = _mm512_maskz_mov_epi8(
        _mm512_cmpgt_epu8_mask(filled, _mm512_set1_epi8(static_cast<char>(q))), level);
  }
  const __m512i wanted = _mm512_set1_epi8(static_cast<char>(std::max(needed, 0)));
  const __m512i bias = _mm512_set1_epi8(0x70);
  // Each round takes the next distance present in every lane still short
  // of places; such a lane has samples farther than its last distance.
  for (int rounds = 0; rounds < 256 && _mm512_cmplt_epu8_mask(filled, wanted) != 0; ++rounds) {
    level = round.next;
    round.next = none;
    round.place = _mm512_add_epi8(filled, bias);
    ScanRound<true>(dist, aboveV, 0, split, level, bitOf, round);
    ScanRound<false>(dist, aboveV, split, g.size, level, bitOf, round);
    const __m512i after = _mm512_sub_epi8(round.place, bias);
    for (int q = 0; q < kMaxWritten; ++q) {
      const __m512i place = _mm512_set1_epi8(static_cast<char>(q));
      const __mmask64 here =
          _mm512_cmple_epu8_mask(filled, place) & _mm512_cmpgt_epu8_mask(after, place);
      out.distance[q] = _mm512_mask_mov_epi8(out.distance[q], here, level);
    }
    filled = after;
  }
  out.aboveValue = round.aboveValue;
  out.aboveRow = round.aboveRow;
}

/// Stores 32 16-bit lanes (lanes first .. first + 31 of the group) at
/// target[l × stride] for l < length.
__attribute__((target("avx512bw"))) void StoreLanes(std::int16_t* target, std::ptrdiff_t stride,
                                                    int first, int length, __m512i values) {
  const int count = std::min(std::max(length - first, 0), 32);
  if (count == 0) return;
  if (stride == 1) {
    _mm512_mask_storeu_epi16(target + first,
                             static_cast<__mmask32>((std::uint64_t{1} << count) - 1), values);
    return;
  }
  alignas(64) std::int16_t lanes[32];
  _mm512_store_si512(lanes, values);
  for (int l = 0; l < count; ++l) target[(first + l) * stride] = lanes[l];
}

/// Bytes 0 .. 31 (half 0) or 32 .. 63 (half 1) widened to 16-bit lanes.
__attribute__((target("avx512bw"))) __m512i WidenHalf(__m512i bytes, int half) {
  alignas(64) BYTE lanes[kLanes];
  _mm512_store_si512(lanes, bytes);
  return _mm512_cvtepu8_epi16(
      _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes + 32 * half)));
}

__attribute__((target("avx512bw"))) void WritePlan(const CountingGroup& g, const __m512i v,
                                                   const Places& places) {
  const int t0 = std::max(g.k - g.m, 0);
  for (int half = 0; half < 2; ++half) {
    const int first = 32 * half;
    const __m512i value = WidenHalf(v, half);
    __m512i running = places.nearSum[half];
    // sums[m] is place k − m: t0 when k ≥ m, else 0 with nothing summed.
    StoreLanes(g.sums[g.m], g.stride, first, g.length, running);
    for (int c = g.m - 1; c >= 0; --c) {
      const int t = g.k - c;
      if (t <= 0 || t > g.size) {
        StoreLanes(g.sums[c], g.stride, first, g.length, _mm512_setzero_si512());
        StoreLanes(g.reach[c], g.stride, first, g.length, _mm512_set1_epi16(t <= 0 ? -1 : 255));
        continue;
      }
      const int q = t - t0 - 1;
      const __m512i distance = WidenHalf(places.distance[q], half);
      const __m512i bit = _mm512_set1_epi8(static_cast<char>(1 << q));
      const __mmask64 aboveValue = _mm512_test_epi8_mask(places.aboveValue, bit);
      const __mmask64 aboveRow = _mm512_test_epi8_mask(places.aboveRow, bit);
      const __mmask32 plus = static_cast<__mmask32>(aboveValue >> first);
      const __mmask32 upper = static_cast<__mmask32>(aboveRow >> first);
      const __m512i sample =
          _mm512_mask_add_epi16(_mm512_sub_epi16(value, distance), plus, value, distance);
      running = _mm512_add_epi16(running, sample);
      StoreLanes(g.sums[c], g.stride, first, g.length, running);
      StoreLanes(g.reach[c], g.stride, first, g.length,
                 _mm512_mask_sub_epi16(distance, upper, distance, _mm512_set1_epi16(1)));
    }
  }
}

}  // namespace

__attribute__((target("avx512bw"))) void PlanByCounting(const CountingGroup& g) {
  alignas(64) __m512i dist[CountingGroup::kMaxSamples];
  __mmask64 aboveV[CountingGroup::kMaxSamples];
  const __m512i v = _mm512_loadu_si512(g.own);
  for (int n = 0; n < g.size; ++n) {
    const __m512i s = _mm512_loadu_si512(g.source[n]);
    dist[n] = _mm512_or_si512(_mm512_subs_epu8(s, v), _mm512_subs_epu8(v, s));
    aboveV[n] = _mm512_cmpgt_epu8_mask(s, v);
  }
  Places places;
  FindPlaces(g, dist, aboveV, places);
  WritePlan(g, v, places);
}

#else

bool CountingAvailable() { return false; }
void PlanByCounting(const CountingGroup&) {}

#endif

}  // namespace zentrel::detail::cleanup
