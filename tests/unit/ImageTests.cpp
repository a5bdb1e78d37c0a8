// Composing and PNG encoding in bands on helper threads: the same pixels whether helpers start or not.
#include "shared/image/Bands.h"
#include "shared/image/ImageOps.h"
#include "shared/image/PngEncoder.h"
#include "shared/paint/PixelMath.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <new>
#include <set>

using namespace tavelin::shared::image;

namespace {

// Starts helpers until the given one, which fails as a full memory would.
ThreadStart failingFrom(int failing, std::atomic<int>& calls)
{
    return [failing, &calls](std::function<void()> work) {
        if (++calls >= failing)
            throw std::bad_alloc();
        return std::jthread(std::move(work));
    };
}

// Rows that differ from one another, with translucent spots, so a band done twice or skipped shows.
QImage pattern(int width, int height, bool opaque)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t alpha = opaque || (x + y) % 7 ? 255 : uint32_t(x * 3 + y) % 200;
            auto scaled = [alpha](uint32_t c) { return c * alpha / 255; };
            row[x] = alpha << 24 | scaled((x * 5 + y) & 255) << 16 | scaled((y * 3) & 255) << 8 | scaled((x ^ y) & 255);
        }
    }
    return image;
}

QImage composed(const QImage& base, const QImage& layer, const ThreadStart& start)
{
    QImage out(base.size(), QImage::Format_RGBA8888);
    composeImage(base, layer, out, start);
    return out;
}

}

TEST(Bands, EveryBandRunsOnceWhateverHelpersFailToStart)
{
    for (int failing : { 1, 2, 3, 100 }) {
        std::atomic<int> calls = 0;
        std::mutex mutex;
        std::multiset<size_t> done;
        runInBands(5, [&](size_t band) {
            std::lock_guard lock(mutex);
            done.insert(band);
        }, failingFrom(failing, calls));
        EXPECT_EQ(done, (std::multiset<size_t> { 0, 1, 2, 3, 4 })) << "helpers failing from the " << failing << "th";
    }
}

TEST(Bands, ComposedImageIsTheSameOnHelpersAndOnOneThread)
{
    QImage base = pattern(301, 1100, true), layer = pattern(301, 1100, false);
    std::atomic<int> calls = 0;
    QImage alone = composed(base, layer, failingFrom(1, calls));
    EXPECT_EQ(composed(base, layer, {}), alone);
    calls = 0;
    EXPECT_EQ(composed(base, layer, failingFrom(2, calls)), alone);
    // Every pixel is the layer over the (opaque) base by source-over, straight RGBA out; 301
    // columns take the four-at-a-time path and the pixel-by-pixel tail.
    for (int y = 0; y < base.height(); ++y) {
        auto* below = reinterpret_cast<const uint32_t*>(base.constScanLine(y));
        auto* above = reinterpret_cast<const uint32_t*>(layer.constScanLine(y));
        for (int x = 0; x < base.width(); ++x) {
            uint32_t expected = above[x] + tavelin::shared::paint::multiplyChannels(below[x], 255 - (above[x] >> 24));
            ASSERT_EQ(alone.pixel(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(composed(base, QImage(), {}).pixel(5, 900), base.pixel(5, 900)) << "no layer: the base alone";
}

TEST(Bands, PngDecodesToTheImageWhateverHelpersFailToStart)
{
    QImage image = pattern(257, 700, false).convertToFormat(QImage::Format_RGBA8888);
    for (int failing : { 1, 2, 100 }) {
        std::atomic<int> calls = 0;
        auto png = encodeScreenshotPng(image, failingFrom(failing, calls));
        ASSERT_TRUE(png);
        QImage decoded;
        ASSERT_TRUE(decoded.loadFromData(png->data(), int(png->size()), "PNG"));
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGBA8888), image) << "helpers failing from the " << failing << "th";
    }
}
