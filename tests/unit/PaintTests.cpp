// The painter's pixel path: wide blends, and shapes drawn later in strips on two threads, give
// exactly the pixels of each shape blended at once, in order, one pixel at a time.
#include "shared/paint/PixelMath.h"
#include "shared/paint/PixelTarget.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <random>
#include <vector>

using namespace tavelin::shared::paint;

namespace {

uint32_t plainSourceOver(uint32_t s, uint32_t d) { return d ? s + multiplyChannels(d, 255 - (s >> 24)) : s; }

// A valid premultiplied pixel: no channel above its alpha.
uint32_t premultiplied(std::mt19937& random, uint32_t alpha)
{
    auto channel = [&] { return alpha ? uint32_t(random() % (alpha + 1)) : 0u; };
    return alpha << 24 | channel() << 16 | channel() << 8 | channel();
}

TEST(PixelMath, WideBlendsMatchThePlainFormulaForEveryAlpha)
{
    std::mt19937 random(7);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        // Odd lengths: the wide steps and the pixel-by-pixel tail.
        std::vector<uint32_t> source(37), below(37);
        for (size_t i = 0; i < source.size(); ++i) {
            source[i] = i % 5 == 0 ? 0 : premultiplied(random, alpha);
            below[i] = i % 3 == 0 ? 0 : premultiplied(random, uint32_t(random() % 256));
        }
        auto row = below;
        sourceOverRow(source.data(), row.data(), int(row.size()));
        auto filled = below;
        uint32_t color = premultiplied(random, alpha);
        sourceOverFill(color, filled.data(), int(filled.size()));
        for (size_t i = 0; i < below.size(); ++i) {
            ASSERT_EQ(row[i], plainSourceOver(source[i], below[i])) << "alpha " << alpha << " pixel " << i;
            ASSERT_EQ(filled[i], plainSourceOver(color, below[i])) << "alpha " << alpha << " pixel " << i;
        }
    }
}

struct Shape {
    QRect rect;
    uint32_t color; // a fill when the sprite is null
    QImage sprite;
};

// Fills and sprites of every kind the overlay draws: wide bands, lines one pixel across running
// the whole height, small translucent sprites, some hanging over the image's edges.
std::vector<Shape> shapes(QSize size, std::mt19937& random)
{
    std::vector<Shape> list;
    for (int i = 0; i < 1500; ++i) {
        int kind = i % 4;
        int x = int(random() % uint32_t(size.width() + 40)) - 20;
        int y = int(random() % uint32_t(size.height() + 40)) - 20;
        uint32_t alpha = i % 7 == 0 ? 255 : uint32_t(random() % 256);
        if (kind == 0)
            list.push_back({ QRect(x, -5, 1 + i % 2, size.height() + 10), premultiplied(random, alpha), {} });
        else if (kind == 1)
            list.push_back({ QRect(-3, y, size.width() + 6, 1 + i % 3), premultiplied(random, alpha), {} });
        else if (kind == 2)
            list.push_back({ QRect(x, y, 1 + int(random() % 300), 1 + int(random() % 90)), premultiplied(random, alpha), {} });
        else {
            QImage sprite(1 + int(random() % 19), 1 + int(random() % 23), QImage::Format_ARGB32_Premultiplied);
            for (int sy = 0; sy < sprite.height(); ++sy) {
                auto* row = reinterpret_cast<uint32_t*>(sprite.scanLine(sy));
                for (int sx = 0; sx < sprite.width(); ++sx)
                    row[sx] = random() % 3 ? premultiplied(random, uint32_t(random() % 256)) : 0;
            }
            list.push_back({ QRect(QPoint(x, y), sprite.size()), 0, sprite });
        }
    }
    return list;
}

void blendAtOnce(QImage& image, const Shape& shape)
{
    QRect r = shape.rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            uint32_t s = shape.color;
            if (!shape.sprite.isNull()) {
                s = reinterpret_cast<const uint32_t*>(shape.sprite.constScanLine(y - shape.rect.top()))[x - shape.rect.left()];
                if (!s)
                    continue;
            }
            row[x] = plainSourceOver(s, row[x]);
        }
    }
}

QImage startingImage(QSize size, bool cleared)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(3);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = cleared ? 0 : premultiplied(random, uint32_t(random() % 256));
    }
    return image;
}

// Small (drawn on the calling thread) and over two million pixels (two threads); on what the
// image held, and cleared first; flushed in the middle as a QPainter drawing in between does.
TEST(PixelTarget, DrawsInStripsExactlyWhatEachShapeAtOnceGives)
{
    for (QSize size : { QSize(301, 203), QSize(2003, 1111) }) {
        for (bool clear : { false, true }) {
            std::mt19937 random(11);
            auto list = shapes(size, random);
            QImage expected = startingImage(size, clear);
            for (const auto& shape : list)
                blendAtOnce(expected, shape);

            QImage image = startingImage(size, false);
            QPainter painter(&image);
            auto target = PixelTarget::of(painter);
            ASSERT_TRUE(target);
            if (clear)
                target->clear();
            for (size_t i = 0; i < list.size(); ++i) {
                if (list[i].sprite.isNull())
                    target->fill(list[i].rect, list[i].color);
                else
                    target->blend(list[i].sprite, list[i].rect.topLeft());
                if (i == list.size() / 2)
                    target->flush();
            }
            target->flush();
            painter.end();
            EXPECT_TRUE(image == expected) << size.width() << "x" << size.height() << (clear ? " cleared" : "");
        }
    }
}

}
