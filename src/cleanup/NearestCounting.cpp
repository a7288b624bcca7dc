// Places k − m .. k of R's order by counting, 64 pixels at a time in the
// byte lanes of vector registers: one AVX-512 register, or two AVX2 ones
// after each other.
//
// With t0 = max(k − m, 0), D the distance of R's t0-th sample is the least
// d with at least t0 samples at distance d or less: eight halving steps
// over 0 .. 255, each one count across R. The first t0 samples are those
// nearer than D and the first t0 − L at distance D in reading order
// (L samples lie nearer). Later places follow in reading order at D, then
// at each next distance present; a scan per distance records, for the
// places t0 + 1 .. k, whether the sample lies above v (its value v ± D)
// and whether it lies above the own row.
//
// The steps are written once (NearestCountingSteps.inc) and compiled for
// each width inside a region whose functions all take that width's target,
// over the small set of primitives defined just before.
#include "cleanup/NearestCounting.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define ZENTREL_COUNTING_X86 1
#endif

namespace zentrel::detail::cleanup {

#if defined(ZENTREL_COUNTING_X86)

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512bw"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512bw")
#endif
namespace widest {
namespace {

// 64 byte lanes; compares give mask registers.
using Bytes = __m512i;
using Mask = __mmask64;
using Words = __m512i;
using WordMask = __mmask32;
constexpr int kWidth = 64;

inline Bytes Load(const BYTE* p) { return _mm512_loadu_si512(p); }
inline Bytes Splat(int c) { return _mm512_set1_epi8(static_cast<char>(c)); }
inline Bytes SplatDistance(int d) { return Splat(d); }
inline Bytes Distance(Bytes s, Bytes v) {
  return _mm512_or_si512(_mm512_subs_epu8(s, v), _mm512_subs_epu8(v, s));
}
inline Bytes DistanceValue(Bytes d) { return d; }
inline Mask SampleAbove(Bytes s, Bytes v) { return _mm512_cmpgt_epu8_mask(s, v); }
inline Bytes Add(Bytes a, Bytes b) { return _mm512_add_epi8(a, b); }
inline Bytes Sub(Bytes a, Bytes b) { return _mm512_sub_epi8(a, b); }
inline Bytes Min(Bytes a, Bytes b) { return _mm512_min_epu8(a, b); }
inline Bytes MinUnsigned(Bytes a, Bytes b) { return _mm512_min_epu8(a, b); }
inline Bytes Lookup(Bytes table, Bytes index) { return _mm512_shuffle_epi8(table, index); }
inline Mask Less(Bytes a, Bytes b) { return _mm512_cmplt_epu8_mask(a, b); }
inline Mask Greater(Bytes a, Bytes b) { return _mm512_cmpgt_epu8_mask(a, b); }
inline Mask Equal(Bytes a, Bytes b) { return _mm512_cmpeq_epi8_mask(a, b); }
inline Mask And(Mask a, Mask b) { return a & b; }
inline Mask Or(Mask a, Mask b) { return a | b; }
inline bool Any(Mask m) { return m != 0; }
inline Mask TestBits(Bytes a, Bytes bit) { return _mm512_test_epi8_mask(a, bit); }
// The masked add written out: for `acc = mask_add(acc, m, acc, x)` GCC 12
// adds the sum into a copy of acc and moves it back, two moves a sample in
// the counting loops.
inline Bytes AddIf(Bytes acc, Mask m, Bytes x) {
  __asm__("vpaddb %[x], %[acc], %[acc]%{%[m]%}" : [acc] "+v"(acc) : [x] "v"(x), [m] "Yk"(m));
  return acc;
}
inline Bytes CountIf(Bytes acc, Mask m) { return AddIf(acc, m, Splat(1)); }
inline Bytes Select(Mask m, Bytes yes, Bytes no) { return _mm512_mask_mov_epi8(no, m, yes); }

// Through memory: GCC 12 warns of the undefined upper part in the casts
// between register widths.
inline Words WidenHalf(Bytes b, int half) {
  alignas(64) BYTE lanes[kWidth];
  _mm512_store_si512(lanes, b);
  return _mm512_cvtepu8_epi16(
      _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes + 32 * half)));
}
inline WordMask HalfOf(Mask m, int half) { return static_cast<WordMask>(m >> (32 * half)); }
/// Adds the samples s[l] where `taken` to the 16-bit sums (lanes 0 .. 31
/// in sum[0], 32 .. 63 in sum[1]).
inline void AddTaken(Words* sum, Mask taken, const BYTE* s) {
  for (int half = 0; half < 2; ++half) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32 * half));
    sum[half] = _mm512_mask_add_epi16(sum[half], HalfOf(taken, half), sum[half],
                                      _mm512_cvtepu8_epi16(bytes));
  }
}
inline Words WordsSplat(int c) { return _mm512_set1_epi16(static_cast<short>(c)); }
inline Words WordsAdd(Words a, Words b) { return _mm512_add_epi16(a, b); }
inline Words WordsSub(Words a, Words b) { return _mm512_sub_epi16(a, b); }
inline Words WordsSelect(WordMask m, Words yes, Words no) {
  return _mm512_mask_mov_epi16(no, m, yes);
}
inline Words WordsDecrementIf(Words w, WordMask m) {
  return _mm512_mask_sub_epi16(w, m, w, WordsSplat(1));
}
/// Stores 32 16-bit lanes (lanes first .. first + 31 of the group) at
/// target[l] for l < length.
inline void StoreHalf(std::int16_t* target, int first, int length, Words values) {
  const int count = length - first < 0 ? 0 : (length - first > 32 ? 32 : length - first);
  if (count == 0) return;
  _mm512_mask_storeu_epi16(target + first, static_cast<__mmask32>((std::uint64_t{1} << count) - 1),
                           values);
}

#include "cleanup/NearestCountingSteps.inc"

void Plan(const CountingGroup& g) { PlanLanes(g, 0); }

}  // namespace
}  // namespace widest
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace wide {
namespace {

// 32 byte lanes; compares give vectors of 0 and −1. AVX2 compares bytes
// signed only, so distances are held biased by 128 (their order then is
// the signed one); counts and places stay below 128 and need no bias.
using Bytes = __m256i;
using Mask = __m256i;
using Words = __m256i;
using WordMask = __m256i;
constexpr int kWidth = 32;
constexpr int kBias = 0x80;

inline Bytes Load(const BYTE* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline Bytes Splat(int c) { return _mm256_set1_epi8(static_cast<char>(c)); }
inline Bytes SplatDistance(int d) { return Splat(d ^ kBias); }
inline Bytes Distance(Bytes s, Bytes v) {
  return _mm256_xor_si256(_mm256_or_si256(_mm256_subs_epu8(s, v), _mm256_subs_epu8(v, s)),
                          Splat(kBias));
}
inline Bytes DistanceValue(Bytes d) { return _mm256_xor_si256(d, Splat(kBias)); }
inline Mask SampleAbove(Bytes s, Bytes v) {
  return _mm256_cmpgt_epi8(_mm256_xor_si256(s, Splat(kBias)), _mm256_xor_si256(v, Splat(kBias)));
}
inline Bytes Add(Bytes a, Bytes b) { return _mm256_add_epi8(a, b); }
inline Bytes Sub(Bytes a, Bytes b) { return _mm256_sub_epi8(a, b); }
inline Bytes Min(Bytes a, Bytes b) { return _mm256_min_epi8(a, b); }
inline Bytes MinUnsigned(Bytes a, Bytes b) { return _mm256_min_epu8(a, b); }
inline Bytes Lookup(Bytes table, Bytes index) { return _mm256_shuffle_epi8(table, index); }
inline Mask Less(Bytes a, Bytes b) { return _mm256_cmpgt_epi8(b, a); }
inline Mask Greater(Bytes a, Bytes b) { return _mm256_cmpgt_epi8(a, b); }
inline Mask Equal(Bytes a, Bytes b) { return _mm256_cmpeq_epi8(a, b); }
inline Mask And(Mask a, Mask b) { return _mm256_and_si256(a, b); }
inline Mask Or(Mask a, Mask b) { return _mm256_or_si256(a, b); }
inline bool Any(Mask m) { return !_mm256_testz_si256(m, m); }
inline Mask TestBits(Bytes a, Bytes bit) {
  return _mm256_cmpeq_epi8(_mm256_and_si256(a, bit), bit);
}
inline Bytes CountIf(Bytes acc, Mask m) { return _mm256_sub_epi8(acc, m); }
inline Bytes AddIf(Bytes acc, Mask m, Bytes x) {
  return _mm256_add_epi8(acc, _mm256_and_si256(m, x));
}
inline Bytes Select(Mask m, Bytes yes, Bytes no) { return _mm256_blendv_epi8(no, yes, m); }

inline __m128i HalfBytes(Bytes b, int half) {
  return half == 0 ? _mm256_castsi256_si128(b) : _mm256_extracti128_si256(b, 1);
}
inline Words WidenHalf(Bytes b, int half) { return _mm256_cvtepu8_epi16(HalfBytes(b, half)); }
inline WordMask HalfOf(Mask m, int half) { return _mm256_cvtepi8_epi16(HalfBytes(m, half)); }
/// Adds the samples s[l] where `taken` to the 16-bit sums (lanes 0 .. 15
/// in sum[0], 16 .. 31 in sum[1]).
inline void AddTaken(Words* sum, Mask taken, const BYTE* s) {
  for (int half = 0; half < 2; ++half) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * half));
    sum[half] = _mm256_add_epi16(
        sum[half], _mm256_and_si256(HalfOf(taken, half), _mm256_cvtepu8_epi16(bytes)));
  }
}
inline Words WordsSplat(int c) { return _mm256_set1_epi16(static_cast<short>(c)); }
inline Words WordsAdd(Words a, Words b) { return _mm256_add_epi16(a, b); }
inline Words WordsSub(Words a, Words b) { return _mm256_sub_epi16(a, b); }
inline Words WordsSelect(WordMask m, Words yes, Words no) { return _mm256_blendv_epi8(no, yes, m); }
inline Words WordsDecrementIf(Words w, WordMask m) { return _mm256_add_epi16(w, m); }
/// Stores 16 16-bit lanes (lanes first .. first + 15 of the group) at
/// target[l] for l < length.
inline void StoreHalf(std::int16_t* target, int first, int length, Words values) {
  const int count = length - first < 0 ? 0 : (length - first > 16 ? 16 : length - first);
  if (count == 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + first), values);
    return;
  }
  alignas(32) std::int16_t lanes[16];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), values);
  for (int l = 0; l < count; ++l) target[first + l] = lanes[l];
}

#include "cleanup/NearestCountingSteps.inc"

void Plan(const CountingGroup& g) {
  PlanLanes(g, 0);
  if (g.length > kWidth) PlanLanes(g, kWidth);
}

}  // namespace
}  // namespace wide
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool CountingAvailable(CountingLanes lanes) {
  return lanes == CountingLanes::kAvx512 ? __builtin_cpu_supports("avx512bw")
                                         : __builtin_cpu_supports("avx2");
}

void PlanByCounting(const CountingGroup& group, CountingLanes lanes) {
  if (lanes == CountingLanes::kAvx512)
    widest::Plan(group);
  else
    wide::Plan(group);
}

#else

bool CountingAvailable(CountingLanes) { return false; }
void PlanByCounting(const CountingGroup&, CountingLanes) {}

#endif

}  // namespace zentrel::detail::cleanup
