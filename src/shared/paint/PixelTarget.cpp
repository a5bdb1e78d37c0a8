// Blending straight into the pixels a raster QPainter paints on, for the overlay's many small shapes.
#include "shared/paint/PixelTarget.h"
#include "shared/image/Bands.h"
#include "shared/paint/PixelMath.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cassert>
#include <climits>
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
// With clear, the buffer row is left transparent for the next strip, while its line is at hand.
void streamRow(QRgb* from, QRgb* to, int n, bool clear)
{
#if defined(__SSE2__)
    auto one = [&](int x) {
        _mm_stream_si32(reinterpret_cast<int*>(to + x), int(from[x]));
        if (clear)
            from[x] = 0;
    };
    int x = 0;
    for (; x < n && (reinterpret_cast<uintptr_t>(to + x) & 15); ++x)
        one(x);
    if (clear) {
        for (; x + 4 <= n; x += 4) {
            auto* line = reinterpret_cast<__m128i*>(from + x);
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + x), _mm_loadu_si128(line));
            _mm_storeu_si128(line, _mm_setzero_si128());
        }
    } else {
        for (; x + 4 <= n; x += 4)
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + x), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x)));
    }
    for (; x < n; ++x)
        one(x);
#else
    std::memcpy(to, from, size_t(n) * sizeof(QRgb));
    if (clear)
        std::fill(from, from + n, 0);
#endif
}

void finishStreaming()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

// One colour over a fill one to three pixels wide (a vertical line's pixels), four rows at once.
void sourceOverNarrow(QRgb color, QRgb* pixels, qsizetype stride, int width, int rows)
{
    int y = 0;
#if defined(__SSE2__)
    const __m128i s = _mm_set1_epi32(int(color));
    for (; y + 4 <= rows; y += 4) {
        QRgb* p = pixels + y * stride;
        for (int x = 0; x < width; ++x) {
            __m128i d = _mm_setr_epi32(int(p[x]), int(p[x + stride]), int(p[x + 2 * stride]), int(p[x + 3 * stride]));
            // Mostly the line crosses cleared pixels, where the blend gives the colour.
            __m128i out = _mm_movemask_epi8(_mm_cmpeq_epi32(d, _mm_setzero_si128())) == 0xffff ? s : sourceOver4(s, d);
            p[x] = QRgb(_mm_cvtsi128_si32(out));
            p[x + stride] = QRgb(_mm_cvtsi128_si32(_mm_srli_si128(out, 4)));
            p[x + 2 * stride] = QRgb(_mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
            p[x + 3 * stride] = QRgb(_mm_cvtsi128_si32(_mm_srli_si128(out, 12)));
        }
    }
#endif
    for (; y < rows; ++y) {
        for (int x = 0; x < width; ++x)
            pixels[y * stride + x] = sourceOver(color, pixels[y * stride + x]);
    }
}

// rows rows of n sprite pixels over the target's, each side with its own stride (in pixels).
void blendSpriteRows(const QRgb* source, qsizetype sourceStride, QRgb* target, qsizetype stride, int n, int rows,
    [[maybe_unused]] bool wideBlends)
{
#if defined(TAVELIN_WIDE_BLENDS)
    if (wideBlends) {
        wide::sourceOverRows(source, sourceStride, target, stride, n, rows);
        return;
    }
#endif
    for (int y = 0; y < rows; ++y)
        sourceOverRow(source + y * sourceStride, target + y * stride, n);
}

}

// The area cut into strips of rows, and for each band of strips the shapes that touch each of
// its strips in drawing order (found by the band's own thread).
struct PixelTarget::Strips {
    int shift = 2; // a strip has 1 << shift rows
    int rows = 4;
    int count = 0;
    struct Band {
        int from = 0; // the band's first strip
        std::vector<uint32_t> first; // by strip from `from`: index into shapes of its first entry, one more at the end
        std::vector<uint32_t> shapes;
        std::vector<uint32_t> next;
    };
    std::vector<Band> bands;

    void layOut(const QRect& area, size_t bandCount)
    {
        shift = 2;
        while (shift < 6 && (qsizetype(area.width()) * 4 << (shift + 1)) <= stripBytes)
            ++shift;
        rows = 1 << shift;
        count = (area.height() + rows - 1) / rows;
        if (bands.size() < bandCount)
            bands.resize(bandCount);
    }

    int bandStart(size_t band, size_t bandCount) const { return int(size_t(count) * band / bandCount); }

    void collect(Band& band, int from, int to, const QRect& area, const std::vector<Shape>& list) const
    {
        band.from = from;
        band.first.assign(size_t(to - from) + 1, 0);
        auto span = [&](const Shape& s) {
            return std::pair { std::max(from, (s.rect.top() - area.top()) >> shift) - from,
                std::min(to - 1, (s.rect.bottom() - area.top()) >> shift) - from };
        };
        for (const auto& s : list) {
            auto [a, b] = span(s);
            for (int i = a; i <= b; ++i)
                ++band.first[size_t(i) + 1];
        }
        for (size_t i = 1; i < band.first.size(); ++i)
            band.first[i] += band.first[i - 1];
        band.shapes.resize(band.first.back());
        band.next.assign(band.first.begin(), band.first.end() - 1);
        for (uint32_t index = 0; index < uint32_t(list.size()); ++index) {
            auto [a, b] = span(list[index]);
            for (int i = a; i <= b; ++i)
                band.shapes[band.next[size_t(i)]++] = index;
        }
    }
};

// The lists a frame's shapes and flush take, kept from frame to frame on each painting thread:
// a 4K frame notes tens of thousands of shapes, and taking the memory anew every frame costs
// more than using it. (The strip buffers are taken anew: kept, they made the flush slower.)
struct PixelTarget::Scratch {
    Strips strips;
    std::vector<Shape> spareShapes;

    static Scratch& ofThisThread()
    {
        thread_local Scratch scratch;
        return scratch;
    }
};

PixelTarget::PixelTarget(QImage& image, const QRect& area)
    : m_bits(image.bits())
    , m_stride(image.bytesPerLine())
    , m_area(area)
{
    m_shapes.swap(Scratch::ofThisThread().spareShapes);
    m_shapes.clear();
}

PixelTarget::~PixelTarget()
{
    auto& spare = Scratch::ofThisThread().spareShapes;
    if (m_shapes.capacity() > spare.capacity())
        spare.swap(m_shapes);
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
    m_grids.clear();
    m_clearOwed = true;
}

void PixelTarget::fill(const QRect& rect, QRgb premultiplied)
{
    QRect r = rect & m_area;
    if (!r.isEmpty() && qAlpha(premultiplied) != 0)
        m_shapes.push_back({ r, premultiplied, 0, nullptr });
}

void PixelTarget::blend(SpriteGrid grid)
{
    int top = INT_MAX, bottom = INT_MIN;
    for (const auto& row : grid.rows) {
        top = std::min(top, row.top);
        bottom = std::max(bottom, row.bottom);
    }
    QRect rows = QRect(m_area.left(), top, m_area.width(), top <= bottom ? bottom - top + 1 : 0) & m_area;
    if (grid.columns.empty() || rows.isEmpty())
        return;
    m_shapes.push_back({ rows, 0, 0, nullptr, int(m_grids.size()) });
    m_grids.push_back(std::move(grid));
}

// The grid's part in the strip of pixel rows top to bottom (inside the area), whose first row
// starts the buffer.
void PixelTarget::blendGridRows(const SpriteGrid& grid, int top, int bottom, QRgb* buffer, qsizetype stride,
    bool wideBlends) const
{
    const int left = m_area.left(), right = m_area.right();
    for (size_t r = 0; r < grid.rows.size(); ++r) {
        const SpriteGrid::Row& row = grid.rows[r];
        if (row.bottom < top || row.top > bottom)
            continue;
        for (size_t c = 0; c < grid.columns.size(); ++c) {
            const SpriteGrid::Column& column = grid.columns[c];
            const QPoint pen(grid.penX(c, row), row.penY);
            for (const SpriteGrid::Part& part : { column.head, grid.tail(r, column) }) {
                for (uint32_t i = part.first; i < part.first + part.count; ++i) {
                    const SpriteGrid::Piece& piece = grid.pieces[i];
                    const QPoint at = pen + piece.offset;
                    int x0 = std::max(left, at.x()), x1 = std::min(right, at.x() + piece.sprite.width - 1);
                    int y0 = std::max(top, at.y()), y1 = std::min(bottom, at.y() + piece.sprite.height - 1);
                    if (x0 > x1 || y0 > y1)
                        continue;
                    const QRgb* source = piece.sprite.bits + qsizetype(y0 - at.y()) * piece.sprite.stride + (x0 - at.x());
                    blendSpriteRows(source, piece.sprite.stride, buffer + qsizetype(y0 - top) * stride + (x0 - left),
                        stride, x1 - x0 + 1, y1 - y0 + 1, wideBlends);
                }
            }
        }
    }
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
    Scratch& scratch = Scratch::ofThisThread();
    Strips& strips = scratch.strips;
    const qsizetype width = m_area.width();
    strips.layOut(m_area, 1);
    size_t bands = qsizetype(m_area.width()) * m_area.height() >= minPixelsForThreads
        ? image::bandCount(strips.count, 1, 2)
        : 1;
    strips.layOut(m_area, bands);
    // Every buffer is taken here: a helper thread that allocated would get a heap of its own.
    std::vector<std::vector<QRgb>> buffers(bands, std::vector<QRgb>(size_t(width) * size_t(strips.rows)));
#if defined(TAVELIN_WIDE_BLENDS)
    const bool wideBlends = wide::available();
#else
    const bool wideBlends = false;
#endif
    auto drawStrips = [&](size_t band) {
        QRgb* buffer = buffers[band].data();
        int from = strips.bandStart(band, bands), to = strips.bandStart(band + 1, bands);
        Strips::Band& list = strips.bands[band];
        strips.collect(list, from, to, m_area, m_shapes);
        for (int strip = from; strip < to; ++strip) {
            uint32_t begin = list.first[size_t(strip - from)], end = list.first[size_t(strip - from) + 1];
            if (begin == end && !m_clearOwed)
                continue;
            int top = m_area.top() + strip * strips.rows;
            int bottom = std::min(top + strips.rows - 1, m_area.bottom());
            auto imageRow = [&](int y) { return reinterpret_cast<QRgb*>(m_bits + qsizetype(y) * m_stride) + m_area.left(); };
            auto bufferRow = [&](int y) { return buffer + qsizetype(y - top) * width; };
            // Cleared, the buffer is transparent already: it starts so, and each strip leaves it so.
            if (!m_clearOwed) {
                for (int y = top; y <= bottom; ++y)
                    std::memcpy(bufferRow(y), imageRow(y), size_t(width) * sizeof(QRgb));
            }
            for (uint32_t i = begin; i < end; ++i) {
                const Shape& s = m_shapes[list.shapes[i]];
                if (s.grid >= 0) {
                    blendGridRows(m_grids[size_t(s.grid)], top, bottom, buffer, width, wideBlends);
                    continue;
                }
                int y0 = std::max(top, s.rect.top()), y1 = std::min(bottom, s.rect.bottom());
                int left = s.rect.left() - m_area.left(), n = s.rect.width();
                if (!s.source && n < 4 && qAlpha(s.color) != 255) {
                    sourceOverNarrow(s.color, bufferRow(y0) + left, width, n, y1 - y0 + 1);
                    continue;
                }
                if (s.source) {
                    blendSpriteRows(s.source + qsizetype(y0 - s.rect.top()) * s.sourceStride, s.sourceStride,
                        bufferRow(y0) + left, width, n, y1 - y0 + 1, wideBlends);
                    continue;
                }
#if defined(TAVELIN_WIDE_BLENDS)
                if (wideBlends && qAlpha(s.color) != 255) {
                    wide::sourceOverFillRows(s.color, bufferRow(y0) + left, width, n, y1 - y0 + 1);
                    continue;
                }
#endif
                for (int y = y0; y <= y1; ++y) {
                    QRgb* pixels = bufferRow(y) + left;
                    if (qAlpha(s.color) == 255)
                        std::fill(pixels, pixels + n, s.color);
                    else
                        sourceOverFill(s.color, pixels, n);
                }
            }
            for (int y = top; y <= bottom; ++y)
                streamRow(bufferRow(y), imageRow(y), int(width), m_clearOwed);
        }
        finishStreaming();
    };
    image::runInBands(bands, drawStrips);
    m_shapes.clear();
    m_grids.clear();
    m_clearOwed = false;
}

}
