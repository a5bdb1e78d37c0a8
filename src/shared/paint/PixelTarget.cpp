// Blending straight into the pixels a raster QPainter paints on, for the overlay's many small shapes.
#include "shared/paint/PixelTarget.h"
#include "shared/image/Bands.h"
#include "shared/paint/PixelMath.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavelin::shared::paint {

namespace {

// A strip's buffer fits in a core's share of the second-level cache beside the sprites.
constexpr qsizetype stripBytes = 128 * 1024;
// Below this many pixels a second thread costs more to start than it saves.
constexpr qsizetype minPixelsForThreads = 2'000'000;

// Pixels to the image without taking their lines into the cache: they are not read again here.
void streamRow(const QRgb* from, QRgb* to, int n)
{
    int x = 0;
#if defined(__SSE2__)
    for (; x < n && (reinterpret_cast<uintptr_t>(to + x) & 15); ++x)
        _mm_stream_si32(reinterpret_cast<int*>(to + x), int(from[x]));
    for (; x + 4 <= n; x += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + x), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x)));
    for (; x < n; ++x)
        _mm_stream_si32(reinterpret_cast<int*>(to + x), int(from[x]));
#else
    std::memcpy(to, from, size_t(n) * sizeof(QRgb));
#endif
}

void finishStreaming()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

}

// The area cut into strips of rows, with the shapes that touch each strip in drawing order.
struct PixelTarget::Strips {
    int shift = 2; // a strip has 1 << shift rows
    int rows = 4;
    int count = 0;
    std::vector<uint32_t> first; // by strip: index into shapes of its first entry; count + 1 of them
    std::vector<uint32_t> shapes;

    Strips(const QRect& area, const std::vector<Shape>& list)
    {
        while (shift < 6 && (qsizetype(area.width()) * 4 << (shift + 1)) <= stripBytes)
            ++shift;
        rows = 1 << shift;
        count = (area.height() + rows - 1) / rows;
        first.assign(size_t(count) + 1, 0);
        auto span = [&](const Shape& s) {
            return std::pair { (s.rect.top() - area.top()) >> shift, (s.rect.bottom() - area.top()) >> shift };
        };
        for (const auto& s : list) {
            auto [from, to] = span(s);
            for (int i = from; i <= to; ++i)
                ++first[size_t(i) + 1];
        }
        for (size_t i = 1; i < first.size(); ++i)
            first[i] += first[i - 1];
        shapes.resize(first.back());
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (uint32_t index = 0; index < uint32_t(list.size()); ++index) {
            auto [from, to] = span(list[index]);
            for (int i = from; i <= to; ++i)
                shapes[next[size_t(i)]++] = index;
        }
    }
};

PixelTarget::PixelTarget(QImage& image, const QRect& area)
    : m_bits(image.bits())
    , m_stride(image.bytesPerLine())
    , m_area(area)
{
}

// A painter on a widget paints, through redirection, on the backing store's image: the engine's
// device is that image, and the system clip is the part being repainted.
QImage* PixelTarget::imageOf(QPainter& painter)
{
    auto* engine = painter.paintEngine();
    if (!painter.isActive() || !engine || engine->type() != QPaintEngine::Raster)
        return nullptr;
    auto* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied || image->isNull())
        return nullptr;
    return image;
}

std::optional<PixelTarget> PixelTarget::of(QPainter& painter)
{
    QImage* image = imageOf(painter);
    if (!image || painter.hasClipping())
        return std::nullopt;
    QRect area = image->rect();
    QRegion systemClip = painter.paintEngine()->systemClip();
    if (!systemClip.isEmpty())
        area &= systemClip.boundingRect();
    if (area.isEmpty())
        return std::nullopt;
    return PixelTarget(*image, area);
}

void PixelTarget::clear()
{
    m_shapes.clear();
    m_clearOwed = true;
}

void PixelTarget::fill(const QRect& rect, QRgb premultiplied)
{
    QRect r = rect & m_area;
    if (!r.isEmpty() && qAlpha(premultiplied) != 0)
        m_shapes.push_back({ r, premultiplied, 0, nullptr });
}

SpritePixels SpritePixels::of(const QImage& image)
{
    if (image.isNull())
        return {};
    assert(image.format() == QImage::Format_ARGB32_Premultiplied);
    return { reinterpret_cast<const QRgb*>(image.constBits()), image.width(), image.height(),
        int(image.bytesPerLine() / 4) };
}

void PixelTarget::flush()
{
    if (m_shapes.empty() && !m_clearOwed)
        return;
    Strips strips(m_area, m_shapes);
    const qsizetype width = m_area.width();
    size_t bands = qsizetype(m_area.width()) * m_area.height() >= minPixelsForThreads
        ? image::bandCount(strips.count, 1, 2)
        : 1;
    // Every buffer is taken here: a helper thread that allocated would get a heap of its own.
    std::vector<std::vector<QRgb>> buffers(bands, std::vector<QRgb>(size_t(width) * size_t(strips.rows)));
    auto drawStrips = [&](size_t band) {
        QRgb* buffer = buffers[band].data();
        int from = int(size_t(strips.count) * band / bands);
        int to = int(size_t(strips.count) * (band + 1) / bands);
        for (int strip = from; strip < to; ++strip) {
            uint32_t begin = strips.first[size_t(strip)], end = strips.first[size_t(strip) + 1];
            if (begin == end && !m_clearOwed)
                continue;
            int top = m_area.top() + strip * strips.rows;
            int bottom = std::min(top + strips.rows - 1, m_area.bottom());
            auto imageRow = [&](int y) { return reinterpret_cast<QRgb*>(m_bits + qsizetype(y) * m_stride) + m_area.left(); };
            auto bufferRow = [&](int y) { return buffer + qsizetype(y - top) * width; };
            for (int y = top; y <= bottom; ++y) {
                if (m_clearOwed)
                    std::memset(bufferRow(y), 0, size_t(width) * sizeof(QRgb));
                else
                    std::memcpy(bufferRow(y), imageRow(y), size_t(width) * sizeof(QRgb));
            }
            for (uint32_t i = begin; i < end; ++i) {
                const Shape& s = m_shapes[strips.shapes[i]];
                int y0 = std::max(top, s.rect.top()), y1 = std::min(bottom, s.rect.bottom());
                int left = s.rect.left() - m_area.left(), n = s.rect.width();
                for (int y = y0; y <= y1; ++y) {
                    QRgb* pixels = bufferRow(y) + left;
                    if (!s.source) {
                        if (qAlpha(s.color) == 255)
                            std::fill(pixels, pixels + n, s.color);
                        else if (n < 4)
                            for (int x = 0; x < n; ++x)
                                pixels[x] = sourceOver(s.color, pixels[x]);
                        else
                            sourceOverFill(s.color, pixels, n);
                    } else {
                        sourceOverRow(s.source + qsizetype(y - s.rect.top()) * s.sourceStride, pixels, n);
                    }
                }
            }
            for (int y = top; y <= bottom; ++y)
                streamRow(bufferRow(y), imageRow(y), int(width));
        }
        finishStreaming();
    };
    image::runInBands(bands, drawStrips);
    m_shapes.clear();
    m_clearOwed = false;
}

}
