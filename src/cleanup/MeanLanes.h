// The serial step of the window-mean filters for eight rows at once: each
// 16-bit lane of an SSE2 register carries one row's chain of window sums.
// Used by the wavefront in MeanFilters.cpp where SSE2 is available (and not
// turned off with ZENTREL_CLEANUP_PORTABLE, as the tests do to check the
// portable path).
#ifndef ZENTREL_CLEANUP_MEANLANES_H
#define ZENTREL_CLEANUP_MEANLANES_H

#if defined(__SSE2__) && !defined(ZENTREL_CLEANUP_PORTABLE)
#define ZENTREL_CLEANUP_HAVE_LANES 1

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "ZentrelPlatform.h"
#include "cleanup/NoiseWindow.h"

namespace zentrel::detail::cleanup {

constexpr int kLaneCount = 8;
/// The most pixels FilterLanes takes per lane at once.
constexpr std::ptrdiff_t kLaneMaxLength = 128;

/// Transposes an 8 × 8 block of 16-bit values held in eight registers.
inline void Transpose8x8(__m128i v[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  v[0] = _mm_unpacklo_epi64(b0, b4);
  v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5);
  v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = _mm_unpacklo_epi64(b2, b6);
  v[5] = _mm_unpackhi_epi64(b2, b6);
  v[6] = _mm_unpacklo_epi64(b3, b7);
  v[7] = _mm_unpackhi_epi64(b3, b7);
}

/// The inputs and outputs of a group of rows. Lane l filters `length`
/// pixels (a multiple of 8) starting at pixels[l]; pixels[l][−hw .. −1] are
/// its already written left neighbours; steps + l·stepStride holds its
/// window-sum steps; sums[l] its current window sum. Unused lanes point at
/// zeroed scratch.
template <int Lanes>
struct LaneGroup {
  BYTE* pixels[Lanes];
  const std::int16_t* steps;
  std::ptrdiff_t stepStride;
  std::int32_t sums[Lanes];
};

template <int Type>
inline __m128i LaneFilteredValue(__m128i mean, __m128i v) {
  if (Type == 0) return mean;
  if (Type == 1) {
    // The mean where |mean − v| > 20, else v. Of the two saturating
    // differences one is 0 and the other |mean − v|.
    const __m128i distance = _mm_or_si128(_mm_subs_epu16(mean, v), _mm_subs_epu16(v, mean));
    const __m128i far = _mm_cmpgt_epi16(distance, _mm_set1_epi16(20));
    return _mm_add_epi16(v, _mm_and_si128(far, _mm_sub_epi16(mean, v)));
  }
  // 2v − mean limited to 0..255: the saturating difference stops at 0.
  return _mm_min_epi16(_mm_subs_epu16(_mm_add_epi16(v, v), mean), _mm_set1_epi16(255));
}

/// Runs the serial step over Registers × 8 rows: for each pixel, the mean of
/// the window sum, the filtered value written, and the sum slid one pixel
/// right (sum += step + written − the value hw to the left). Each register
/// carries an independent chain, so several hide each other's latency.
template <int Type, int Registers>
void FilterLanes(LaneGroup<Registers * kLaneCount>& group, std::ptrdiff_t length, int hw,
                 const LaneDivider& divide) {
  constexpr int kLanes = Registers * kLaneCount;
  constexpr std::ptrdiff_t kMaxLength = kLaneMaxLength;
  constexpr int kMaxHalf = 4;
  alignas(16) std::int16_t steps[kMaxLength][kLanes];
  alignas(16) std::int16_t values[kMaxLength][kLanes];
  alignas(16) std::int16_t written[kMaxHalf + kMaxLength][kLanes];
  const __m128i zero = _mm_setzero_si128();

  // Lane-major inputs to pixel-major rows of lanes, eight by eight.
  for (int g = 0; g < Registers; ++g) {
    for (std::ptrdiff_t b = 0; b < length; b += 8) {
      __m128i block[8];
      for (int l = 0; l < kLaneCount; ++l)
        block[l] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
            group.steps + (g * kLaneCount + l) * group.stepStride + b));
      Transpose8x8(block);
      for (int i = 0; i < 8; ++i)
        _mm_store_si128(reinterpret_cast<__m128i*>(&steps[b + i][g * kLaneCount]), block[i]);
      if (Type != 0) {
        for (int l = 0; l < kLaneCount; ++l)
          block[l] = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(
                                           group.pixels[g * kLaneCount + l] + b)),
                                       zero);
        Transpose8x8(block);
        for (int i = 0; i < 8; ++i)
          _mm_store_si128(reinterpret_cast<__m128i*>(&values[b + i][g * kLaneCount]), block[i]);
      }
    }
  }
  for (int i = 0; i < hw; ++i)
    for (int l = 0; l < kLanes; ++l) written[i][l] = group.pixels[l][i - hw];

  alignas(16) std::int16_t sums[kLanes];
  for (int l = 0; l < kLanes; ++l) sums[l] = static_cast<std::int16_t>(group.sums[l]);
  __m128i sum[Registers];
  for (int g = 0; g < Registers; ++g)
    sum[g] = _mm_load_si128(reinterpret_cast<const __m128i*>(&sums[g * kLaneCount]));
  const __m128i multiplier = _mm_set1_epi16(static_cast<std::int16_t>(divide.multiplier));
  const __m128i shift = _mm_cvtsi32_si128(divide.shift);
  // Sums stay below 2^15, so the 16-bit lanes hold them exactly; the
  // additions wrap only in intermediate steps that end in range.
  for (std::ptrdiff_t j = 0; j < length; ++j) {
    for (int g = 0; g < Registers; ++g) {
      const __m128i mean = _mm_srl_epi16(_mm_mulhi_epu16(sum[g], multiplier), shift);
      const __m128i v =
          Type == 0 ? zero
                    : _mm_load_si128(reinterpret_cast<const __m128i*>(&values[j][g * kLaneCount]));
      const __m128i result = LaneFilteredValue<Type>(mean, v);
      _mm_store_si128(reinterpret_cast<__m128i*>(&written[hw + j][g * kLaneCount]), result);
      const __m128i step =
          _mm_load_si128(reinterpret_cast<const __m128i*>(&steps[j][g * kLaneCount]));
      // With hw = 0 the value leaving is this pixel's own result.
      const __m128i leaving =
          hw == 0 ? result
                  : _mm_load_si128(reinterpret_cast<const __m128i*>(&written[j][g * kLaneCount]));
      // The result joins last: it ends the chain from one sum to the next.
      sum[g] = _mm_add_epi16(_mm_add_epi16(sum[g], _mm_sub_epi16(step, leaving)), result);
    }
  }
  for (int g = 0; g < Registers; ++g)
    _mm_store_si128(reinterpret_cast<__m128i*>(&sums[g * kLaneCount]), sum[g]);
  for (int l = 0; l < kLanes; ++l) group.sums[l] = static_cast<std::uint16_t>(sums[l]);

  // Pixel-major results back to the lanes' rows.
  for (int g = 0; g < Registers; ++g) {
    for (std::ptrdiff_t b = 0; b < length; b += 8) {
      __m128i block[8];
      for (int i = 0; i < 8; ++i)
        block[i] =
            _mm_load_si128(reinterpret_cast<const __m128i*>(&written[hw + b + i][g * kLaneCount]));
      Transpose8x8(block);
      for (int l = 0; l < kLaneCount; ++l)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(group.pixels[g * kLaneCount + l] + b),
                         _mm_packus_epi16(block[l], zero));
    }
  }
}

}  // namespace zentrel::detail::cleanup

#endif  // defined(__SSE2__) && !defined(ZENTREL_CLEANUP_PORTABLE)
#endif  // ZENTREL_CLEANUP_MEANLANES_H
