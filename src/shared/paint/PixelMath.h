// Arithmetic on packed 8-bit ARGB pixels, shared by the painter and the screenshot composer.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TAVELIN_WIDE_BLENDS 1
#endif

namespace tavelin::shared::paint {

// x's four 8-bit channels times a/255, rounded; two channels per multiply.
inline uint32_t multiplyChannels(uint32_t x, uint32_t a)
{
    uint32_t redBlue = (x & 0xff00ff) * a;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint32_t alphaGreen = ((x >> 8) & 0xff00ff) * a;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

// Porter–Duff source-over on premultiplied pixels: s + d · (1 − αs). Exact for a transparent
// source (d stays d) and a transparent destination (s), so no pixel needs a test first.
inline uint32_t sourceOver(uint32_t s, uint32_t d) { return s + multiplyChannels(d, 255 - (s >> 24)); }

#if defined(__SSE2__)
namespace detail {
// Eight 16-bit channels times eight 16-bit factors over 255, rounded as multiplyChannels rounds.
inline __m128i multiplyWide(__m128i x, __m128i a)
{
    __m128i p = _mm_mullo_epi16(x, a);
    p = _mm_add_epi16(_mm_add_epi16(p, _mm_srli_epi16(p, 8)), _mm_set1_epi16(0x80));
    return _mm_srli_epi16(p, 8);
}

// 255 − α of the two pixels in eight 16-bit channels, spread over each pixel's four channels.
inline __m128i inverseAlphaWide(__m128i wide)
{
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(wide, 0xff), 0xff);
    return _mm_sub_epi16(_mm_set1_epi16(255), alpha);
}
}

// sourceOver on four pixels at once, bit for bit the same as four scalar calls.
inline __m128i sourceOver4(__m128i s, __m128i d)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i low = detail::multiplyWide(_mm_unpacklo_epi8(d, zero), detail::inverseAlphaWide(_mm_unpacklo_epi8(s, zero)));
    __m128i high = detail::multiplyWide(_mm_unpackhi_epi8(d, zero), detail::inverseAlphaWide(_mm_unpackhi_epi8(s, zero)));
    return _mm_add_epi32(s, _mm_packus_epi16(low, high));
}
#endif

// n pixels of source over n of target.
inline void sourceOverRow(const uint32_t* source, uint32_t* target, int n)
{
    int x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= n; x += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), sourceOver4(s, d));
    }
#endif
    for (; x < n; ++x)
        target[x] = sourceOver(source[x], target[x]);
}

// One colour over n pixels of target.
inline void sourceOverFill(uint32_t color, uint32_t* target, int n)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128i s = _mm_set1_epi32(int(color));
    for (; x + 4 <= n; x += 4) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), sourceOver4(s, d));
    }
#endif
    for (; x < n; ++x)
        target[x] = sourceOver(color, target[x]);
}

#if defined(TAVELIN_WIDE_BLENDS)
// The same blends eight pixels at a time, for processors with AVX2 (wideBlendsAvailable): every
// step works within 128-bit lanes, so the results are bit for bit those of sourceOver4.
namespace wide {
#define TAVELIN_AVX2 __attribute__((target("avx2")))

inline bool available()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

TAVELIN_AVX2 inline __m256i inverseAlpha8(__m256i wide)
{
    __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(wide, 0xff), 0xff);
    return _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
}

TAVELIN_AVX2 inline __m256i multiply8(__m256i x, __m256i a)
{
    __m256i p = _mm256_mullo_epi16(x, a);
    p = _mm256_add_epi16(_mm256_add_epi16(p, _mm256_srli_epi16(p, 8)), _mm256_set1_epi16(0x80));
    return _mm256_srli_epi16(p, 8);
}

TAVELIN_AVX2 inline __m256i sourceOver8(__m256i s, __m256i d)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i low = multiply8(_mm256_unpacklo_epi8(d, zero), inverseAlpha8(_mm256_unpacklo_epi8(s, zero)));
    __m256i high = multiply8(_mm256_unpackhi_epi8(d, zero), inverseAlpha8(_mm256_unpackhi_epi8(s, zero)));
    return _mm256_add_epi32(s, _mm256_packus_epi16(low, high));
}

// Most of a frame's pixels are cleared ones when they are blended on, and source-over on them
// gives the source: eight of them are taken as they are.

// rows rows of n source pixels over target, each side with its own stride (in pixels).
TAVELIN_AVX2 inline void sourceOverRows(const uint32_t* source, long sourceStride, uint32_t* target, long targetStride,
    int n, int rows)
{
    for (int y = 0; y < rows; ++y, source += sourceStride, target += targetStride) {
        int x = 0;
        for (; x + 8 <= n; x += 8) {
            __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + x));
            __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target + x));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x), _mm256_testz_si256(d, d) ? s : sourceOver8(s, d));
        }
        sourceOverRow(source + x, target + x, n - x);
    }
}

// One colour over rows rows of n pixels.
TAVELIN_AVX2 inline void sourceOverFillRows(uint32_t color, uint32_t* target, long targetStride, int n, int rows)
{
    const __m256i s = _mm256_set1_epi32(int(color));
    for (int y = 0; y < rows; ++y, target += targetStride) {
        int x = 0;
        for (; x + 8 <= n; x += 8) {
            __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target + x));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x), _mm256_testz_si256(d, d) ? s : sourceOver8(s, d));
        }
        sourceOverFill(color, target + x, n - x);
    }
}

#undef TAVELIN_AVX2
}
#endif

}
