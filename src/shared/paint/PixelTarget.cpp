// Blending straight into the pixels a raster QPainter paints on, for the overlay's many small shapes.
#include "shared/paint/PixelTarget.h"
#include "shared/paint/PixelMath.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cassert>
#include <cstring>

namespace tavelin::shared::paint {

namespace {

// Porter–Duff source-over on premultiplied pixels: s + d · (1 − αs). Most of the overlay lies on
// cleared (transparent) pixels, where that is s alone.
inline uint32_t sourceOver(uint32_t s, uint32_t d) { return d ? s + multiplyChannels(d, 255 - qAlpha(s)) : s; }

// Tall fills no wider than this (grid lines, the row ruler) are held back and done row by row.
constexpr int maxHeldWidth = 64;
constexpr int minHeldHeight = 32;

}

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
    m_held.clear();
    m_heldColumns.clear();
    m_rowsToClear.assign(size_t(m_area.height()), 1);
    m_rowsLeftToClear = m_area.height();
}

inline QRgb* PixelTarget::rowToDraw(int y)
{
    assert(y >= m_area.top() && y <= m_area.bottom());
    QRgb* pixels = row(y);
    if (m_rowsLeftToClear > 0 && m_rowsToClear[size_t(y - m_area.top())]) {
        std::memset(pixels + m_area.left(), 0, size_t(m_area.width()) * sizeof(QRgb));
        m_rowsToClear[size_t(y - m_area.top())] = 0;
        --m_rowsLeftToClear;
    }
    return pixels;
}

void PixelTarget::fill(const QRect& rect, QRgb premultiplied)
{
    QRect r = rect & m_area;
    if (r.isEmpty() || qAlpha(premultiplied) == 0)
        return;
    // Held fills keep their order among themselves: only a fill done now must wait for them.
    if (r.width() <= maxHeldWidth && r.height() >= minHeldHeight) {
        hold(r, premultiplied);
        return;
    }
    flushHeldOn(r.left(), r.right());
    fillNow(r, premultiplied);
}

void PixelTarget::fillNow(const QRect& r, QRgb premultiplied)
{
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* pixels = rowToDraw(y);
        if (qAlpha(premultiplied) == 255) {
            std::fill(pixels + r.left(), pixels + r.right() + 1, premultiplied);
            continue;
        }
        for (int x = r.left(); x <= r.right(); ++x)
            pixels[x] = sourceOver(premultiplied, pixels[x]);
    }
}

void PixelTarget::hold(const QRect& r, QRgb premultiplied)
{
    if (m_heldColumns.empty())
        m_heldColumns.resize(size_t(m_area.width()));
    for (int x = r.left(); x <= r.right(); ++x)
        m_heldColumns[size_t(x - m_area.left())] = 1;
    m_held.push_back({ r, premultiplied });
}

void PixelTarget::blend(const QImage& sprite, QPoint topLeft)
{
    if (sprite.isNull())
        return;
    assert(sprite.format() == QImage::Format_ARGB32_Premultiplied);
    // Clipped by hand: this runs for every glyph of every label.
    const int left = std::max(topLeft.x(), m_area.left());
    const int right = std::min(topLeft.x() + sprite.width() - 1, m_area.right());
    const int top = std::max(topLeft.y(), m_area.top());
    const int bottom = std::min(topLeft.y() + sprite.height() - 1, m_area.bottom());
    if (left > right || top > bottom)
        return;
    flushHeldOn(left, right);
    const uchar* bits = sprite.constBits();
    const qsizetype stride = sprite.bytesPerLine();
    for (int y = top; y <= bottom; ++y) {
        auto* source = reinterpret_cast<const QRgb*>(bits + qsizetype(y - topLeft.y()) * stride) + (left - topLeft.x());
        QRgb* pixels = rowToDraw(y);
        for (int x = left; x <= right; ++x, ++source) {
            if (*source)
                pixels[x] = sourceOver(*source, pixels[x]);
        }
    }
}

void PixelTarget::flush()
{
    flushHeld();
    for (int y = m_area.top(); m_rowsLeftToClear > 0 && y <= m_area.bottom(); ++y)
        rowToDraw(y);
}

void PixelTarget::flushHeldOn(int left, int right)
{
    if (m_held.empty())
        return;
    for (int x = left; x <= right; ++x) {
        if (m_heldColumns[size_t(x - m_area.left())]) {
            flushHeld();
            return;
        }
    }
}

void PixelTarget::flushHeld()
{
    if (m_held.empty())
        return;
    int top = m_held.front().rect.top();
    int bottom = m_held.front().rect.bottom();
    for (auto& held : m_held) {
        top = std::min(top, held.rect.top());
        bottom = std::max(bottom, held.rect.bottom());
    }
    for (int y = top; y <= bottom; ++y) {
        QRgb* pixels = rowToDraw(y);
        for (auto& held : m_held) {
            if (y < held.rect.top() || y > held.rect.bottom())
                continue;
            for (int x = held.rect.left(); x <= held.rect.right(); ++x)
                pixels[x] = sourceOver(held.color, pixels[x]);
        }
    }
    m_held.clear();
    std::fill(m_heldColumns.begin(), m_heldColumns.end(), uint8_t(0));
}

}
