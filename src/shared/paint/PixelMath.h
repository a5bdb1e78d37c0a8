// Arithmetic on packed 8-bit ARGB pixels, shared by the painter and the screenshot composer.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
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

}
