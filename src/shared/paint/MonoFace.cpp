// The monospaced font the overlay writes in, and its capital letters and digits prepared once per size.
#include "shared/paint/MonoFace.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace tavelin::shared::paint {

namespace {
const QString preparedCharacters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

// Sizes change with every step of a resize drag and colours with the mode: keep only a few.
constexpr size_t maxFaces = 24;
constexpr size_t maxColorsPerFace = 8;
// A 4K grid's column names and row numbers take about a third of this.
constexpr qsizetype maxRunBytesPerColor = 1 << 20;

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

// Blending a transparent pixel leaves the target as it is: the padding costs nothing but time.
QImage paddedToFours(const QImage& image)
{
    int width = (image.width() + 3) / 4 * 4;
    if (width == image.width())
        return image;
    QImage padded(width, image.height(), QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(y), image.width() * 4, padded.scanLine(y));
    return padded;
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
    m_ascent = m_raw.ascent();
    m_height = m_raw.ascent() + m_raw.descent();
    auto glyphs = m_raw.glyphIndexesForString(preparedCharacters);
    auto advances = m_raw.advancesForGlyphIndexes(glyphs);
    if (glyphs.size() != qsizetype(m_glyphs.size()) || advances.size() != glyphs.size())
        return;
    m_usable = true;
    m_exactAdvances = true;
    for (size_t i = 0; i < m_glyphs.size(); ++i) {
        m_glyphs[i] = glyphs[qsizetype(i)];
        m_advances[i] = advances[qsizetype(i)].x();
        m_usable = m_usable && m_glyphs[i] != 0;
        double in64ths = m_advances[i] * 64;
        m_exactAdvances = m_exactAdvances && in64ths == std::floor(in64ths) && m_advances[i] < 4096;
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
    for (int slot = 0; slot < int(made->glyphs.size()); ++slot)
        made->glyphs[size_t(slot)] = rasterize(slot, color);
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
    return { paddedToFours(canvas.copy(painted)), painted.topLeft() - pen };
}

size_t RunKeyHash::operator()(const RunKey& k) const
{
    uint64_t before = 0;
    std::memcpy(&before, &k.before, sizeof before);
    uint64_t h = (k.text[0] * 0x9e3779b97f4a7c15ULL) ^ (k.text[1] + before * 0xc2b2ae3d27d4eb4fULL);
    return size_t(h ^ (h >> 29));
}

// With advances in 64ths every sum is exact, so a glyph the label puts at the nearest pixel to
// pen + before + its advance lies at pen plus the nearest pixel to before + its advance.
const GlyphSprite* MonoFace::run(const GlyphSprites& sprites, std::string_view text, double before) const
{
    RunKey key;
    if (!m_exactAdvances || text.empty() || text.size() > sizeof key.text)
        return nullptr;
    std::memcpy(key.text.data(), text.data(), text.size());
    key.before = before;
    size_t hash = RunKeyHash {}(key);
    auto& recent = sprites.recentRuns[hash % GlyphSprites::recentRunSlots];
    if (recent.entry && recent.key == key)
        return *recent.entry ? &**recent.entry : nullptr;
    if (auto found = sprites.runs.find(key); found != sprites.runs.end()) {
        recent = { key, &found->second };
        return found->second ? &*found->second : nullptr;
    }
    if (sprites.runBytes >= maxRunBytesPerColor)
        return nullptr;
    struct Placed {
        const GlyphSprite* sprite;
        QPoint at;
    };
    std::vector<Placed> placed;
    QRect bounds;
    double x = before;
    for (char ch : text) {
        int slot = preparedSlot(ch);
        const GlyphSprite& sprite = sprites.glyphs[size_t(slot)];
        if (!sprite.pixels.isNull()) {
            QPoint at = QPoint(int(std::floor(x + 0.5)), 0) + sprite.offset;
            placed.push_back({ &sprite, at });
            bounds |= QRect(at, sprite.pixels.size());
        }
        x += advance(slot);
    }
    std::optional<GlyphSprite> made;
    if (!bounds.isEmpty()) {
        QImage pixels(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        pixels.fill(Qt::transparent);
        bool shared = false;
        for (const auto& p : placed) {
            QPoint corner = p.at - bounds.topLeft();
            for (int y = 0; y < p.sprite->pixels.height(); ++y) {
                auto* from = reinterpret_cast<const QRgb*>(p.sprite->pixels.constScanLine(y));
                auto* to = reinterpret_cast<QRgb*>(pixels.scanLine(corner.y() + y)) + corner.x();
                for (int i = 0; i < p.sprite->pixels.width(); ++i) {
                    if (!from[i])
                        continue;
                    shared = shared || to[i];
                    to[i] = from[i];
                }
            }
        }
        if (!shared)
            made = GlyphSprite { paddedToFours(pixels), bounds.topLeft() };
    }
    auto& entry = sprites.runs[key];
    entry = std::move(made);
    recent = { key, &entry };
    sprites.runBytes += qsizetype(sizeof key) + (entry ? entry->pixels.sizeInBytes() : 0);
    return entry ? &*entry : nullptr;
}

}
