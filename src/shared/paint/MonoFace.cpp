// The monospaced font the overlay writes in, and its capital letters and digits prepared once per size.
#include "shared/paint/MonoFace.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace tavelin::shared::paint {

namespace {
const QString preparedCharacters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

// Sizes change with every step of a resize drag and colours with the mode: keep only a few.
constexpr size_t maxFaces = 24;
constexpr size_t maxColorsPerFace = 8;

// The smallest rectangle holding every pixel of image that is not fully transparent.
QRect paintedBounds(const QImage& image)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!row[x])
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

std::vector<std::shared_ptr<const MonoFace>>& cachedFaces()
{
    static std::vector<std::shared_ptr<const MonoFace>> faces;
    return faces;
}
}

QFont monospacedBaseFont(core::FontWeight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontDatabase::isFixedPitch(font.family()))
        font.setFamily(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(weight == core::FontWeight::bold ? QFont::Bold
            : weight == core::FontWeight::semibold  ? QFont::DemiBold
                                              : QFont::Normal);
    return font;
}

int preparedSlot(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= '0' && c <= '9')
        return 26 + (c - '0');
    return -1;
}

bool isPreparedText(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return preparedSlot(c) >= 0; });
}

MonoFace::MonoFace(core::FontWeight weight, double pixelSize)
    : m_weight(weight)
    , m_pixelSize(pixelSize)
    , m_raw(QRawFont::fromFont(monospacedBaseFont(weight)))
{
    if (!m_raw.isValid() || !(pixelSize > 0))
        return;
    m_raw.setPixelSize(pixelSize);
    auto glyphs = m_raw.glyphIndexesForString(preparedCharacters);
    auto advances = m_raw.advancesForGlyphIndexes(glyphs);
    if (glyphs.size() != qsizetype(m_glyphs.size()) || advances.size() != glyphs.size())
        return;
    m_usable = true;
    for (size_t i = 0; i < m_glyphs.size(); ++i) {
        m_glyphs[i] = glyphs[qsizetype(i)];
        m_advances[i] = advances[qsizetype(i)].x();
        m_usable = m_usable && m_glyphs[i] != 0;
    }
}

std::shared_ptr<const MonoFace> MonoFace::get(core::FontWeight weight, double pixelSize)
{
    auto& faces = cachedFaces();
    // Fonts belong to the application: let them go while it still exists.
    static bool cleanupAdded = false;
    if (!cleanupAdded && QCoreApplication::instance()) {
        qAddPostRoutine([] { cachedFaces().clear(); });
        cleanupAdded = true;
    }
    for (auto& face : faces) {
        if (face->m_weight == weight && face->m_pixelSize == pixelSize)
            return face->isUsable() ? face : nullptr;
    }
    if (faces.size() >= maxFaces)
        faces.clear();
    faces.push_back(std::shared_ptr<const MonoFace>(new MonoFace(weight, pixelSize)));
    return faces.back()->isUsable() ? faces.back() : nullptr;
}

double MonoFace::width(std::string_view preparedText) const
{
    double w = 0;
    for (char c : preparedText)
        w += advance(preparedSlot(c));
    return w;
}

std::shared_ptr<const GlyphSprites> MonoFace::sprites(QRgb color) const
{
    for (auto& entry : m_sprites) {
        if (entry.color == color)
            return entry.sprites;
    }
    if (m_sprites.size() >= maxColorsPerFace)
        m_sprites.clear();
    auto made = std::make_shared<GlyphSprites>();
    for (int slot = 0; slot < int(made->size()); ++slot)
        (*made)[size_t(slot)] = rasterize(slot, color);
    m_sprites.push_back({ color, made });
    return made;
}

// Qt draws the glyph (its own rasterizer, hinting and antialiasing) with the pen on a whole pixel
// inside a margin wide enough for any overhang; the sprite keeps the painted part.
GlyphSprite MonoFace::rasterize(int slot, QRgb color) const
{
    int margin = int(std::ceil(m_pixelSize / 2)) + 2;
    QPoint pen(margin, margin + int(std::ceil(ascent())));
    QImage canvas(int(std::ceil(advance(slot))) + 2 * margin, int(std::ceil(height())) + 2 * margin,
        QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return {};
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setGlyphIndexes({ glyph(slot) });
        run.setPositions({ QPointF(pen) });
        painter.setPen(QColor::fromRgba(color));
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    QRect painted = paintedBounds(canvas);
    if (painted.isEmpty())
        return {};
    return { canvas.copy(painted), painted.topLeft() - pen };
}

}
