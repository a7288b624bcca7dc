// The background test over rows of 24-bit pixels: 64 pixels at a time with
// AVX-512BW and VBMI, else 32 at a time with AVX2 and BMI2, where the
// processor has them (chosen at run time), else 16 at a time with SSE2
// where the compiler targets it, else (and for the last pixels of a row)
// one pixel at a time.
#include "cleanup/BackgroundBits.h"

#include <cstdlib>

#if defined(__SSE2__) && !defined(ZENTREL_CLEANUP_PORTABLE)
#define ZENTREL_BACKGROUND_BITS_SSE2 1
#include <emmintrin.h>
#if defined(__GNUC__) && defined(__x86_64__)
#define ZENTREL_BACKGROUND_BITS_AVX2 1
#include <immintrin.h>
#endif
#endif

namespace zentrel::detail::cleanup {

namespace {

BackgroundBits::Path Supported(BackgroundBits::Path widest) {
  using Path = BackgroundBits::Path;
#if defined(ZENTREL_BACKGROUND_BITS_AVX2)
  if (widest == Path::kAvx512 && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi"))
    return Path::kAvx512;
  if ((widest == Path::kAvx2 || widest == Path::kAvx512) && __builtin_cpu_supports("avx2") &&
      __builtin_cpu_supports("bmi2"))
    return Path::kAvx2;
#endif
#if defined(ZENTREL_BACKGROUND_BITS_SSE2)
  if (widest != Path::kByPixel) return Path::kSse2;
#endif
  (void)widest;
  return Path::kByPixel;
}

}  // namespace

BackgroundBits::BackgroundBits(COLORREF background, int precision, Path widest)
    : m_background(background),
      m_precision(precision),
      m_sumLimit(static_cast<int>(precision * 3.7)),
      // With every channel difference below P ≥ 1 the sum is at most
      // 3P − 3, below the sum limit (at least 3P): the channel tests alone
      // decide. Beyond one byte's reach the full test is made per pixel.
      m_channelsDecide(precision >= 1 && precision <= 256 && 3 * (precision - 1) < m_sumLimit),
      m_path(m_channelsDecide ? Supported(widest) : Path::kByPixel) {}

bool BackgroundBits::IsBackground(COLORREF colour) const {
  const int dr = std::abs(GetRValue(m_background) - GetRValue(colour));
  const int dg = std::abs(GetGValue(m_background) - GetGValue(colour));
  const int db = std::abs(GetBValue(m_background) - GetBValue(colour));
  return dr + dg + db < m_sumLimit && dr < m_precision && dg < m_precision && db < m_precision;
}

void BackgroundBits::RowByPixel(const BYTE* row, UINT from, UINT width, std::uint64_t* bits) const {
  const int blue = GetBValue(m_background);
  const int green = GetGValue(m_background);
  const int red = GetRValue(m_background);
  for (UINT x = from; x < width; ++x) {
    const BYTE* p = row + 3 * static_cast<std::size_t>(x);
    const bool background = m_channelsDecide ? (std::abs(p[0] - blue) < m_precision) &
                                                   (std::abs(p[1] - green) < m_precision) &
                                                   (std::abs(p[2] - red) < m_precision)
                                             : IsBackground(TrueColourAt(p));
    bits[x / 64] |= static_cast<std::uint64_t>(background) << (x % 64);
  }
}

#if defined(ZENTREL_BACKGROUND_BITS_SSE2)
namespace {

/// 0xFF in each byte whose difference to the background's channel is
/// below the precision (at most `limit` = precision − 1); one mask bit each.
inline unsigned ChannelsNear(const BYTE* p, __m128i channels, __m128i limit) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i difference = _mm_or_si128(_mm_subs_epu8(x, channels), _mm_subs_epu8(channels, x));
  const __m128i near = _mm_cmpeq_epi8(_mm_subs_epu8(difference, limit), _mm_setzero_si128());
  return static_cast<unsigned>(_mm_movemask_epi8(near));
}

/// Bits 0, 3, 6, …, 45 of v gathered into bits 0..15, in order.
inline std::uint64_t EveryThirdBit(std::uint64_t v) {
  v &= 0x249249249249u;
  v = (v | v >> 2) & 0x0C30C30C30C3u;
  v = (v | v >> 4) & 0x00F00F00F00Fu;
  v = (v | v >> 8) & 0x0000FF0000FFu;
  return (v | v >> 16) & 0xFFFFu;
}

/// The background's channels in byte order (blue, green, red, blue, …).
void ChannelPattern(COLORREF background, BYTE* pattern, int length) {
  for (int i = 0; i < length; ++i)
    pattern[i] = i % 3 == 0 ? GetBValue(background)
                            : (i % 3 == 1 ? GetGValue(background) : GetRValue(background));
}

/// Sixteen pixels are 48 bytes: three registers whose bytes run through
/// blue, green and red in three phases. Starts at pixel done; returns the
/// pixels done.
UINT RowSse2(const BYTE* row, UINT done, UINT width, std::uint64_t* bits, COLORREF background,
             int limit) {
  BYTE pattern[48];
  ChannelPattern(background, pattern, 48);
  const __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
  const __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16));
  const __m128i c2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 32));
  const __m128i limits = _mm_set1_epi8(static_cast<char>(limit));
  for (; done + 16 <= width; done += 16) {
    const BYTE* p = row + 3 * static_cast<std::size_t>(done);
    const std::uint64_t near = static_cast<std::uint64_t>(ChannelsNear(p, c0, limits)) |
                               static_cast<std::uint64_t>(ChannelsNear(p + 16, c1, limits)) << 16 |
                               static_cast<std::uint64_t>(ChannelsNear(p + 32, c2, limits)) << 32;
    // A pixel is background when its three bytes are all near.
    bits[done / 64] |= EveryThirdBit(near & near >> 1 & near >> 2) << (done % 64);
  }
  return done;
}

#if defined(ZENTREL_BACKGROUND_BITS_AVX2)
__attribute__((target("avx2,bmi2"))) inline std::uint64_t ChannelsNear32(const BYTE* p,
                                                                         __m256i channels,
                                                                         __m256i limit) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i difference =
      _mm256_or_si256(_mm256_subs_epu8(x, channels), _mm256_subs_epu8(channels, x));
  const __m256i near =
      _mm256_cmpeq_epi8(_mm256_subs_epu8(difference, limit), _mm256_setzero_si256());
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(near));
}

/// As RowSse2 with 32 pixels (96 bytes) a step, their bits gathered with
/// one bit extraction per 16 pixels.
__attribute__((target("avx2,bmi2"))) UINT RowAvx2(const BYTE* row, UINT done, UINT width,
                                                  std::uint64_t* bits, COLORREF background,
                                                  int limit) {
  BYTE pattern[96];
  ChannelPattern(background, pattern, 96);
  const __m256i c0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern));
  const __m256i c1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern + 32));
  const __m256i c2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern + 64));
  const __m256i limits = _mm256_set1_epi8(static_cast<char>(limit));
  constexpr std::uint64_t kFirstBytes = 0x249249249249u;
  constexpr std::uint64_t kLow48 = 0xFFFFFFFFFFFFu;
  for (; done + 32 <= width; done += 32) {
    const BYTE* p = row + 3 * static_cast<std::size_t>(done);
    const std::uint64_t low = ChannelsNear32(p, c0, limits) | ChannelsNear32(p + 32, c1, limits)
                                                                  << 32;
    const std::uint64_t high = ChannelsNear32(p + 64, c2, limits);
    const std::uint64_t first = low & kLow48;               // pixels 0..15
    const std::uint64_t second = (low >> 48 | high << 16);  // pixels 16..31
    const std::uint64_t pixels = _pext_u64(first & first >> 1 & first >> 2, kFirstBytes) |
                                 _pext_u64(second & second >> 1 & second >> 2, kFirstBytes) << 16;
    bits[done / 64] |= pixels << (done % 64);
  }
  return done;
}

/// Byte i of row c is 3i + c, the place of pixel i's channel c among 64
/// pixels' bytes; the permutes read its low 7 bits (first two registers)
/// or low 6 bits (the third).
struct ChannelPlaces {
  alignas(64) BYTE place[3][64];
};
constexpr ChannelPlaces MakeChannelPlaces() {
  ChannelPlaces places{};
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 64; ++i) places.place[c][i] = static_cast<BYTE>(3 * i + c);
  return places;
}
constexpr ChannelPlaces kChannelPlaces = MakeChannelPlaces();

/// The pixels whose channel c lies in the third register (byte 128 on).
constexpr std::uint64_t InThirdRegister(int c) {
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i)
    if (3 * i + c >= 128) mask |= std::uint64_t{1} << i;
  return mask;
}

/// 64 pixels (192 bytes, three registers) a step: each channel's 64 bytes
/// gathered by byte permutes, then tested against its range [background
/// channel − limit, + limit] straight into one mask, a bit per pixel.
__attribute__((target("avx512bw,avx512vbmi"))) UINT RowAvx512(const BYTE* row, UINT done,
                                                              UINT width, std::uint64_t* bits,
                                                              COLORREF background, int limit) {
  const int channel[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  constexpr __mmask64 third[3] = {InThirdRegister(0), InThirdRegister(1), InThirdRegister(2)};
  __m512i index[3], low[3], high[3];
  for (int c = 0; c < 3; ++c) {
    index[c] = _mm512_load_si512(kChannelPlaces.place[c]);
    low[c] = _mm512_set1_epi8(static_cast<char>(channel[c] > limit ? channel[c] - limit : 0));
    high[c] =
        _mm512_set1_epi8(static_cast<char>(channel[c] + limit < 255 ? channel[c] + limit : 255));
  }
  for (; done + 64 <= width; done += 64) {
    const BYTE* p = row + 3 * static_cast<std::size_t>(done);
    const __m512i first = _mm512_loadu_si512(p);
    const __m512i second = _mm512_loadu_si512(p + 64);
    const __m512i last = _mm512_loadu_si512(p + 128);
    __mmask64 near = ~__mmask64{0};
    for (int c = 0; c < 3; ++c) {
      __m512i bytes = _mm512_permutex2var_epi8(first, index[c], second);
      bytes = _mm512_mask_permutexvar_epi8(bytes, third[c], index[c], last);
      near = _mm512_mask_cmpge_epu8_mask(near, bytes, low[c]);
      near = _mm512_mask_cmple_epu8_mask(near, bytes, high[c]);
    }
    bits[done / 64] |= static_cast<std::uint64_t>(near) << (done % 64);
  }
  return done;
}
#endif

}  // namespace
#endif

void BackgroundBits::Row(const BYTE* row, UINT width, std::uint64_t* bits) const {
  const std::size_t words = BitWords(width);
  for (std::size_t k = 0; k < words; ++k) bits[k] = 0;
  UINT done = 0;
#if defined(ZENTREL_BACKGROUND_BITS_AVX2)
  if (m_path == Path::kAvx512)
    done = RowAvx512(row, done, width, bits, m_background, m_precision - 1);
  if (m_path == Path::kAvx512 || m_path == Path::kAvx2)
    done = RowAvx2(row, done, width, bits, m_background, m_precision - 1);
#endif
#if defined(ZENTREL_BACKGROUND_BITS_SSE2)
  // The SSE2 way also takes the pixels that remain after the AVX2 one.
  if (m_path != Path::kByPixel)
    done = RowSse2(row, done, width, bits, m_background, m_precision - 1);
#endif
  RowByPixel(row, done, width, bits);
}

}  // namespace zentrel::detail::cleanup
