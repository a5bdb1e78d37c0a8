// A canvas that writes down every drawing step, so tests can read exactly what was drawn.
#pragma once

#include "core/Canvas.h"

#include <string>
#include <vector>

namespace tavelin::test {

struct Step {
    enum Kind { Fill, RoundedFill, Line, Text } kind;
    core::Rect rect;
    core::Point a, b;
    core::Color color;
    double width = 0;
    std::string text;
    core::Font font;
};

class RecordingCanvas final : public core::Canvas {
public:
    void fillRect(const core::Rect& r, const core::Color& c) override { steps.push_back({ Step::Fill, r, {}, {}, c, 0, {}, {} }); }
    void fillRoundedRect(const core::Rect& r, double radius, const core::Color& c) override
    {
        steps.push_back({ Step::RoundedFill, r, {}, {}, c, radius, {}, {} });
    }
    void strokeLine(core::Point a, core::Point b, const core::Color& c, double w) override { steps.push_back({ Step::Line, {}, a, b, c, w, {}, {} }); }
    void drawText(std::string_view t, core::Point centre, const core::Font& f, const core::Color& c) override
    {
        steps.push_back({ Step::Text, {}, centre, {}, c, 0, std::string(t), f });
    }
    // Monospaced: 0.6 em per character (UTF-8 continuation bytes not counted), 1.2 em high.
    core::Size measureText(std::string_view t, const core::Font& f) override
    {
        size_t chars = 0;
        for (unsigned char ch : t)
            chars += (ch & 0xC0) != 0x80;
        return { double(chars) * f.size * 0.6, f.size * 1.2 };
    }

    std::vector<Step> of(Step::Kind kind) const
    {
        std::vector<Step> out;
        for (auto& s : steps) {
            if (s.kind == kind)
                out.push_back(s);
        }
        return out;
    }
    // The x of each vertical line, or the y of each horizontal one, in drawing order.
    std::vector<double> lines(bool vertical) const
    {
        std::vector<double> out;
        for (auto& l : of(Step::Line)) {
            if ((l.a.x == l.b.x) == vertical)
                out.push_back(vertical ? l.a.x : l.a.y);
        }
        return out;
    }
    std::vector<Step> steps;
};

}
