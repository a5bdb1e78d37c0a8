// The overlay view: ruler bands, grid lines, headers, cell labels, and adjust mode's tint, badge and drag.
#pragma once

#include "core/Canvas.h"
#include "core/GridState.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavelin::core {

class TavelinView {
public:
    static constexpr double leftBandWidth = 26;
    static constexpr double topBandHeight = 22;
    static constexpr double fullScreenTopInset = 25;
    static constexpr double lineWidth = 0.5;
    static constexpr double badgeTopInset = 40;
    static constexpr double minimumDragDistance = 1;
    static constexpr double resizeGain = 0.5 * 0.05;

    explicit TavelinView(GridState& state);
    ~TavelinView();
    TavelinView(const TavelinView&) = delete;
    TavelinView& operator=(const TavelinView&) = delete;

    // Called (at most once per change, never painting itself) when the view must be redrawn.
    void setUpdateHandler(std::function<void()> handler) { m_needsDisplay = std::move(handler); }

    // Draws everything, back to front, for a canvas of the given size in points.
    void draw(Canvas& canvas, Size size) const;

    // Mouse input in view coordinates, delivered only while the overlay takes the mouse.
    void mousePressed(Point);
    void mouseMoved(Point);
    void mouseReleased(Point);

    // One change event of the resize drag: translation is the total movement since the press.
    void resizeStep(Size translation);

    // Bijective base 26: 0 → A, 25 → Z, 26 → AA, 702 → AAA.
    static std::string columnLabel(int64_t index);

    // Texts and fonts the drawing uses, exposed for tests and the renderer.
    static std::string cellLabel(int64_t column, int64_t row);
    static Font columnHeaderFont(double cellWidth);
    static Font rowHeaderFont(double cellHeight);
    static Font cellLabelFont(double cellWidth, double cellHeight);
    static std::string badgeSizeLine(double cellWidth, double cellHeight);

    struct Colors {
        Color band;
        Color line;
        Color header;
        Color cellLabel;
    };
    Colors colors() const;

private:
    struct Layout {
        Size size;
        double topInset = 0;
        double cellWidth = 0;
        double cellHeight = 0;
        int64_t cols = 0;
        int64_t rows = 0;
        Colors colors;
    };
    Layout layout(Size size) const;
    void drawGrid(Canvas&, const Layout&) const;
    void drawColumnHeader(Canvas&, const Layout&, int64_t column) const;
    void drawRowHeader(Canvas&, const Layout&, int64_t row) const;
    void drawCellLabels(Canvas&, const Layout&) const;
    void drawAdjustModeIndicator(Canvas&, Size size) const;

    GridState& m_state;
    GridState::SubscriptionId m_subscription = 0;
    std::function<void()> m_needsDisplay;

    struct Drag {
        Point start;
        bool started = false;
    };
    std::optional<Drag> m_drag;

    // The cell names' parts by index and their centres, kept so a frame makes no new strings.
    struct LabelParts {
        std::vector<std::string> columns;
        std::vector<std::string> rows;
        std::vector<double> xs;
        std::vector<double> ys;
    };
    mutable LabelParts m_labelParts;
};

}
