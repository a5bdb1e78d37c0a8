// Images as QImage: composing the screenshot, PNG encoding and the clipboard.
#include "shared/image/ImageOps.h"

#include "shared/Trace.h"
#include "shared/image/Bands.h"
#include "shared/image/PngEncoder.h"
#include "shared/paint/PixelMath.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <cassert>

namespace tavelin::shared::image {

namespace {

inline uint32_t swapRedAndBlue(uint32_t pixel)
{
    return (pixel & 0xff00ff00) | ((pixel >> 16) & 0xff) | ((pixel & 0xff) << 16);
}

// A premultiplied 0xAARRGGBB pixel as straight R, G, B, A bytes (PNG's order) read as one
// little-endian word.
uint32_t straightRgba(uint32_t pixel)
{
    uint32_t alpha = pixel >> 24;
    if (alpha == 0)
        return 0;
    auto unpremultiply = [alpha](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + alpha / 2) / alpha); };
    return alpha << 24 | unpremultiply(pixel & 255) << 16 | unpremultiply((pixel >> 8) & 255) << 8
        | unpremultiply((pixel >> 16) & 255);
}

// The rows of a composition, as pointers taken on the calling thread: QImage's row accessors
// detach and count without atomics, so helper threads never call them.
struct Composition {
    const uint8_t* base = nullptr;
    const uint8_t* layer = nullptr; // none: the base alone
    uint8_t* out = nullptr;
    qsizetype baseStride = 0, layerStride = 0, outStride = 0;
    int width = 0;
    int height = 0;
};

// Rows [first, last) of the composition: layer over base by Porter-Duff source-over on
// premultiplied pixels. Screens are opaque, so the straight conversion is only a channel swap;
// the rare row with translucent pixels (an ARGB window) is unpremultiplied afterwards.
void composeRows(const Composition& c, int first, int last)
{
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGBA8888 words are written little-endian");
    for (int y = first; y < last; ++y) {
        auto* target = reinterpret_cast<uint32_t*>(c.out + y * c.outStride);
        auto* below = reinterpret_cast<const uint32_t*>(c.base + y * c.baseStride);
        auto* above = c.layer ? reinterpret_cast<const uint32_t*>(c.layer + y * c.layerStride) : nullptr;
        uint32_t opaque = 0xff000000;
        int x = 0;
#if defined(__SSE2__)
        // Four pixels at a time, the same arithmetic as the loop below.
        const __m128i greenAlpha = _mm_set1_epi32(int(0xff00ff00));
        const __m128i low = _mm_set1_epi32(0xff);
        __m128i opaqueWide = _mm_set1_epi32(int(0xff000000));
        for (; x + 4 <= c.width; x += 4) {
            __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + x));
            __m128i pixel = above ? paint::sourceOver4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x)), d) : d;
            opaqueWide = _mm_and_si128(opaqueWide, pixel);
            __m128i swapped = _mm_or_si128(_mm_and_si128(pixel, greenAlpha),
                _mm_or_si128(_mm_and_si128(_mm_srli_epi32(pixel, 16), low), _mm_slli_epi32(_mm_and_si128(pixel, low), 16)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), swapped);
        }
        alignas(16) uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), opaqueWide);
        opaque &= lanes[0] & lanes[1] & lanes[2] & lanes[3];
#endif
        for (; x < c.width; ++x) {
            uint32_t source = above ? above[x] : 0;
            uint32_t pixel = source + paint::multiplyChannels(below[x], 255 - (source >> 24));
            opaque &= pixel;
            target[x] = swapRedAndBlue(pixel);
        }
        if (opaque >> 24 == 255)
            continue;
        for (int x = 0; x < c.width; ++x) {
            if (target[x] >> 24 != 255)
                target[x] = straightRgba(swapRedAndBlue(target[x]));
        }
    }
}

}

// Large images are composed in bands, one per core.
void composeImage(const QImage& base, const QImage& layer, QImage& out, const ThreadStart& start)
{
    constexpr int minRowsPerBand = 256;
    constexpr int maxBands = 4;
    Composition c {
        .base = base.constBits(),
        .layer = layer.isNull() ? nullptr : layer.constBits(),
        .out = out.bits(),
        .baseStride = base.bytesPerLine(),
        .layerStride = layer.bytesPerLine(),
        .outStride = out.bytesPerLine(),
        .width = out.width(),
        .height = out.height(),
    };
    size_t bands = bandCount(c.height, minRowsPerBand, maxBands);
    runInBands(bands, [&c, bands](size_t band) {
        composeRows(c, int(c.height * band / bands), int(c.height * (band + 1) / bands));
    }, start);
}

namespace {

// The layer at the base's size, premultiplied: drawn stretched when its size differs.
QImage layerAt(const QImage* layer, QSize size)
{
    if (!layer || layer->isNull())
        return {};
    QImage premultiplied = layer->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (premultiplied.size() == size)
        return premultiplied;
    return premultiplied.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}

core::ImageRef makeImage(QImage image)
{
    if (image.isNull())
        return nullptr;
    return std::make_shared<QtImage>(std::move(image));
}

const QImage* qimageOf(const core::ImageRef& image)
{
    auto* q = dynamic_cast<const QtImage*>(image.get());
    return q ? &q->image() : nullptr;
}

// One pass over the pixels: base, layer over it, straight RGBA out, ready for the PNG writer and
// the clipboard without another conversion.
core::ImageRef composeImages(const core::ImageRef& base, const core::ImageRef& layer)
{
    TraceTimer timer("compose");
    const QImage* baseImage = qimageOf(base);
    if (!baseImage || baseImage->isNull())
        return nullptr;
    // Opaque RGB32 words (0xffRRGGBB) are already premultiplied ARGB.
    QImage below = baseImage->format() == QImage::Format_RGB32
        ? *baseImage
        : baseImage->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage above = layerAt(qimageOf(layer), below.size());
    QImage composed(below.size(), QImage::Format_RGBA8888);
    if (below.isNull() || composed.isNull())
        return nullptr;
    assert(above.isNull() || above.size() == composed.size());
    composeImage(below, above, composed, {});
    timer.print();
    return makeImage(std::move(composed));
}

std::optional<std::vector<uint8_t>> encodePngImage(const core::ImageRef& image)
{
    TraceTimer timer("png encode");
    const QImage* q = qimageOf(image);
    if (!q)
        return std::nullopt;
    auto png = encodeScreenshotPng(*q);
    timer.print();
    return png;
}

// The CLIPBOARD selection offers the PNG as encoded for the file, so a paste sends those bytes
// as they are. The PNG alone: a copy of the whole image would stay in memory for as long as we
// own the clipboard (tens of MiB at 4K), for the few programs that want no PNG.
void putImageOnClipboard(const core::ImageRef& image, const std::vector<uint8_t>& png)
{
    TraceTimer timer("clipboard");
    const QImage* q = qimageOf(image);
    auto* clipboard = QGuiApplication::clipboard();
    if (!q || !clipboard)
        return;
    auto* mime = new QMimeData;
    mime->setData("image/png", QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size())));
    clipboard->setMimeData(mime, QClipboard::Clipboard);
    timer.print();
}

}
