// Eight turned pixels a step: their source positions in the same double
// operations as one at a time, four lanes wide, and one gather of the eight
// source words, packed to the destination bytes.
#include "transform/RotateRows.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define ZENTREL_ROTATE_AVX2 1
#include <immintrin.h>
#endif

namespace zentrel::detail::rotation {

#if defined(ZENTREL_ROTATE_AVX2)
namespace {

/// The truncated sums (terms[k] + add) + centre for k = 0..7, as the
/// scalar conversion of each gives them (every one is inside the image).
__attribute__((target("avx2"))) inline __m256i Truncated(const double* terms, __m256d add,
                                                         __m256d centre, bool subtract) {
  const __m256d low = _mm256_loadu_pd(terms);
  const __m256d high = _mm256_loadu_pd(terms + 4);
  const __m256d lowSum = subtract ? _mm256_sub_pd(low, add) : _mm256_add_pd(low, add);
  const __m256d highSum = subtract ? _mm256_sub_pd(high, add) : _mm256_add_pd(high, add);
  const __m128i lowInt = _mm256_cvttpd_epi32(_mm256_add_pd(lowSum, centre));
  const __m128i highInt = _mm256_cvttpd_epi32(_mm256_add_pd(highSum, centre));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lowInt), highInt, 1);
}

template <std::size_t B>
__attribute__((target("avx2"))) std::size_t CopyRun(const TurnedRow& row, std::size_t first,
                                                    std::size_t end, std::uint8_t* out) {
  const __m256d rowTerm = _mm256_set1_pd(row.dyc);
  const __m256d columnTerm = _mm256_set1_pd(row.dys);
  const __m256d cy = _mm256_set1_pd(row.cy);
  const __m256d cx = _mm256_set1_pd(row.cx);
  const __m256i line = _mm256_set1_epi32(static_cast<int>(row.lineBytes));
  const int* const source = reinterpret_cast<const int*>(row.source);
  // The first byte (B = 1) or the first three bytes (B = 3) of each word,
  // packed to the low end of each 128-bit half.
  const __m256i pack =
      B == 1 ? _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4,
                                8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1)
             : _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4,
                                5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  // Three-byte pixels are stored 16 bytes at a time, 4 past the step's 12
  // bytes of each half: two more pixels of the run take those bytes later.
  const std::size_t reach = B == 1 ? 8 : 10;
  std::size_t k = first;
  for (; k + reach <= end; k += 8) {
    const __m256i rows = Truncated(row.dxs + k, rowTerm, cy, false);
    __m256i columns = Truncated(row.dxc + k, columnTerm, cx, true);
    if (B == 3) columns = _mm256_add_epi32(columns, _mm256_add_epi32(columns, columns));
    const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(rows, line), columns);
    const __m256i words = _mm256_i32gather_epi32(source, offsets, 1);
    const __m256i packed = _mm256_shuffle_epi8(words, pack);
    std::uint8_t* const to = out + k * B;
    if (B == 1) {
      const __m256i joined =
          _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(joined));
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(packed));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 12), _mm256_extracti128_si256(packed, 1));
    }
  }
  return k;
}

}  // namespace
#endif

bool WideTurnUsable(std::size_t areaBytes, std::size_t readableBytes) {
#if defined(ZENTREL_ROTATE_AVX2)
  return areaBytes < (std::size_t{1} << 31) - 4 && readableBytes >= areaBytes + 4 &&
         __builtin_cpu_supports("avx2");
#else
  (void)areaBytes;
  (void)readableBytes;
  return false;
#endif
}

std::size_t CopyTurnedPixelsWide(const TurnedRow& row, std::size_t first, std::size_t end,
                                 std::uint8_t* out) {
#if defined(ZENTREL_ROTATE_AVX2)
  return row.pixelBytes == 1 ? CopyRun<1>(row, first, end, out) : CopyRun<3>(row, first, end, out);
#else
  (void)row;
  (void)end;
  (void)out;
  return first;
#endif
}

}  // namespace zentrel::detail::rotation
