// The overlay's drawing interface on a QPainter, fast enough for a 4K grid with a name in every cell.
#pragma once

#include "core/Canvas.h"
#include "shared/paint/MonoFace.h"
#include "shared/paint/PixelTarget.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QTransform>
#include <QVector>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QRectF;

namespace tavelin::shared::paint {

// Draws in device pixels. Axis-aligned fills and strokes become whole-pixel fills whose alpha
// carries the part of each edge pixel they cover (what an antialiased fill gives); texts of
// capital letters and digits are laid out from glyphs prepared once per size, on whole pixels.
// On a premultiplied image (a widget's backing store, an off-screen image) both are blended
// straight into the pixels; on other devices they go through QPainter, texts batched into glyph
// runs. Anything else (rounded rectangles, other texts, rotated painters) is QPainter's.
// The painter must stay active, and nobody else may draw on it, while the canvas lives.
class QPainterCanvas final : public core::Canvas {
public:
    explicit QPainterCanvas(QPainter& painter);
    ~QPainterCanvas() override;
    QPainterCanvas(const QPainterCanvas&) = delete;
    QPainterCanvas& operator=(const QPainterCanvas&) = delete;

    // Makes every pixel the painter may change transparent (start of a frame).
    void clear();

    void fillRect(const core::Rect& rect, const core::Color& color) override;
    void fillRoundedRect(const core::Rect& rect, double radius, const core::Color& color) override;
    void strokeLine(core::Point a, core::Point b, const core::Color& color, double lineWidth) override;
    void drawText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color) override;
    core::Size measureText(std::string_view text, const core::Font& font) override;
    void drawTextGrid(const core::TextGrid& grid) override;

    // Draws everything still held back (batched glyphs, deferred fills).
    void flush();

    // The monospaced font at a size in points (fractions kept) for the painter's device.
    static QFont qtFont(const core::Font& font, const QPainter& painter);

private:
    // Puts the painter back in the caller's coordinates (points) for QPainter's own drawing.
    class LogicalScope {
    public:
        explicit LogicalScope(QPainterCanvas& canvas);
        ~LogicalScope();
        LogicalScope(const LogicalScope&) = delete;
        LogicalScope& operator=(const LogicalScope&) = delete;

    private:
        QPainter& m_painter;
    };

    static QColor toQColor(const core::Color& color);

    void fillDeviceRect(const QRectF& deviceRect, const QColor& color);
    void fillWholePixels(const QRect& rect, const QColor& color);
    const std::shared_ptr<const MonoFace>& faceFor(const core::Font& font);
    const GlyphSprites& useSprites(const MonoFace& face, QRgb color);
    bool drawPreparedGrid(const core::TextGrid& grid);
    bool drawPreparedText(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color);
    void blendSprites(std::string_view text, QPoint pen, const MonoFace& face, QRgb color);
    const GlyphSprite* memoRun(const MonoFace& face, const GlyphSprites& sprites, std::string_view part, double before);
    void appendToRun(std::string_view text, QPoint pen, const std::shared_ptr<const MonoFace>& face, QRgb color);
    void drawTextWithQPainter(std::string_view text, core::Point centre, const core::Font& font, const core::Color& color);
    QRect deviceBounds() const;
    void flushRun();
    QRgb textRgba(const core::Color& color);

    QPainter& m_painter;
    QTransform m_logicalWorld; // the world transform the painter came with
    QTransform m_deviceWorld;  // the world transform that makes painter coordinates device pixels
    QTransform m_toDevice;     // points to device pixels
    bool m_axisAligned = false; // m_toDevice only scales (by nearly the same factor both ways) and moves
    double m_scale = 1;
    std::optional<PixelTarget> m_target;

    // The sprites last used, so a run of same-coloured labels looks them up once.
    struct SpriteChoice {
        const MonoFace* face = nullptr;
        QRgb color = 0;
        std::shared_ptr<const GlyphSprites> sprites;
    };
    SpriteChoice m_sprites;
    struct FaceChoice {
        core::Font font;
        std::shared_ptr<const MonoFace> face;
    };
    FaceChoice m_face; // the face last drawn in
    std::vector<std::shared_ptr<const GlyphSprites>> m_keptSprites; // blended since the last flush
    // Runs looked up for m_sprites: a slot is good while its generation is the current one.
    struct RunMemo {
        RunKey key;
        const GlyphSprite* run = nullptr;
        uint32_t generation = 0;
    };
    static constexpr int runMemoBits = 9;
    std::array<RunMemo, size_t(1) << runMemoBits> m_runMemo {};
    RunMemo m_lastRun;
    uint32_t m_runMemoGeneration = 1;
    std::optional<core::Color> m_lastTextColor;
    QRgb m_lastTextRgba = 0;

    struct PendingRun {
        std::shared_ptr<const MonoFace> face;
        QRgb color = 0;
        QVector<quint32> glyphs;
        QVector<QPointF> positions;
    };
    PendingRun m_run;
};

}
