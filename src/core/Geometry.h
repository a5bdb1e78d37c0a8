// Plain geometry in points (logical pixels): global desktop coordinates, origin top-left, y down.
#pragma once

namespace tavelin::core {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    bool isEmpty() const { return width <= 0 || height <= 0; }

    // Left and top edges are inside, right and bottom edges outside; an empty rectangle holds nothing.
    bool contains(Point p) const
    {
        return !isEmpty() && p.x >= x && p.x < x + width && p.y >= y && p.y < y + height;
    }
    // The part both hold; an empty rectangle when they do not meet.
    Rect intersected(const Rect& o) const
    {
        double left = x > o.x ? x : o.x, top = y > o.y ? y : o.y;
        double right = x + width < o.x + o.width ? x + width : o.x + o.width;
        double bottom = y + height < o.y + o.height ? y + height : o.y + o.height;
        if (right <= left || bottom <= top)
            return Rect { left, top, 0, 0 };
        return Rect { left, top, right - left, bottom - top };
    }
    // The smallest rectangle holding both.
    Rect united(const Rect& o) const
    {
        double left = x < o.x ? x : o.x, top = y < o.y ? y : o.y;
        double right = x + width > o.x + o.width ? x + width : o.x + o.width;
        double bottom = y + height > o.y + o.height ? y + height : o.y + o.height;
        return Rect { left, top, right - left, bottom - top };
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}
