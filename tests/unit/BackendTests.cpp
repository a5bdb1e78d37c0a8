// Pure backend code where faults hide: shapes traced from pixels, keys, the press ledger, stacking, bounds.
#include "shared/paint/PaintedRegion.h"
#include "x11/keys/KeyPressLedger.h"
#include "x11/keys/ShortcutKeys.h"
#include "x11/overlay/StackKeeper.h"
#include "x11/windows/EwmhWindows.h"
#include "x11/windows/WindowList.h"

#include <gtest/gtest.h>

using namespace tavelin;
using shared::paint::PaintedRegion;
using shared::paint::ShapeRect;

TEST(PaintedRegion, EqualRowsShareABandAndFaintPixelsStayOut)
{
    QImage image(8, 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < 2; ++y) {
        image.setPixel(1, y, qRgba(0, 0, 0, 255));
        image.setPixel(2, y, qRgba(100, 0, 0, 128));
        image.setPixel(5, y, qRgba(0, 0, 0, 200));
    }
    image.setPixel(6, 3, qRgba(0, 0, 0, 10)); // below minAlpha
    image.setPixel(7, 3, qRgba(0, 0, 0, 60));
    auto region = PaintedRegion::trace(image, image.rect(), { 48, 72 });
    EXPECT_EQ(region.rectangles(),
        (std::vector<ShapeRect> { { 1, 0, 2, 2 }, { 5, 0, 1, 2 }, { 7, 3, 1, 1 } }));
    EXPECT_EQ(qAlpha(image.pixel(2, 0)), 255) << "kept pixels are laid over the backdrop";
    EXPECT_EQ(qRed(image.pixel(2, 0)), 100 + (72 * 127 + 127) / 255);
    EXPECT_EQ(qAlpha(image.pixel(6, 3)), 10) << "pixels left out are left alone";
    EXPECT_TRUE(PaintedRegion::trace(image, QRect(-5, -5, 3, 3), { 48, 72 }).rectangles().empty());
}

TEST(ShortcutKeys, AKeycodeOutOfAnyTableStillCarriesItsModifiers)
{
    auto keys = x11::keys::ShortcutKeys::evdevDefaults();
    EXPECT_EQ(keys.translate(0xFFFFFFFF, 1u << 6).modifiers, core::modifiers::super);
}

TEST(KeyPressLedger, EachPressRunsOnceUntilItIsLongForgotten)
{
    x11::keys::KeyPressLedger ledger;
    EXPECT_TRUE(ledger.claim(1000, 42));
    EXPECT_FALSE(ledger.claim(1000, 42)) << "the second route's sighting";
    EXPECT_TRUE(ledger.claim(1000, 25)) << "another key at the same time";
    EXPECT_TRUE(ledger.claim(1016, 42)) << "the next press of the same key";
    for (uint32_t t = 2000; t < 2100; ++t)
        ledger.claim(t, 30);
    EXPECT_TRUE(ledger.claim(1000, 42)) << "only recent presses are kept";
}

TEST(StackKeeper, LiftsOursAboveTheTopManagedWindowOnlyWhenNeeded)
{
    using x11::overlay::Restack;
    using x11::overlay::restackPlan;
    using x11::overlay::StackedWindow;
    constexpr xcb_window_t frame = 1, grid = 10, flash = 11, input = 12, popup = 20, laterFrame = 2, hidden = 3;
    const std::vector<xcb_window_t> kept { grid, input, flash };
    StackedWindow frameW { frame, true }, gridW { grid, true }, flashW { flash, true }, laterW { laterFrame, true };
    StackedWindow popupW { popup, true, true }, hiddenW { hidden, false };
    StackedWindow inputW { input, false, true, true };

    EXPECT_TRUE(restackPlan({ frameW, gridW, flashW, popupW }, kept).empty()) << "in order, popups of others above";
    EXPECT_TRUE(restackPlan({ frameW, gridW, hiddenW, inputW }, kept).empty()) << "unmapped ones do not count";
    EXPECT_EQ(restackPlan({ frameW, gridW, flashW, laterW, popupW }, kept),
        (std::vector<Restack> { { grid, laterFrame }, { flash, grid } }))
        << "a window mapped later: ours go right above it, under the popup";
    EXPECT_EQ(restackPlan({ frameW, flashW, gridW }, kept), (std::vector<Restack> { { grid, frame }, { flash, grid } }))
        << "our own order restored";
    EXPECT_TRUE(restackPlan({ gridW, flashW }, kept).empty()) << "nothing managed at all";
}

TEST(WindowBounds, FrameExtentsReachNoFurtherThanTheFrameWindow)
{
    x11::windows::ClientFacts facts;
    facts.outer = { 100, 80, 400, 300 };
    facts.frameExtents = std::array<uint32_t, 4> { 1, 1, 20, 1 };
    facts.frame = core::Rect { 99, 60, 402, 321 };
    EXPECT_EQ(visibleBounds(facts), (core::Rect { 99, 60, 402, 321 })) << "the manager's own extents";
    facts.frame = facts.outer;
    EXPECT_EQ(visibleBounds(facts), facts.outer) << "a window that is its own top-level";
    facts.frame.reset();
    EXPECT_EQ(visibleBounds(facts), facts.outer) << "a frame that could not be read adds nothing";
    facts.frameExtents.reset();
    facts.frame = core::Rect { 98, 78, 404, 304 };
    EXPECT_EQ(visibleBounds(facts), *facts.frame) << "a manager that frames but states no extents";
}

TEST(WindowBounds, NoLargerThanTheScreensTheWindowLiesOn)
{
    using x11::windows::onScreens;
    const std::vector<core::Rect> screens { { 0, 0, 1440, 900 }, { 1440, 0, 1280, 1024 } };
    EXPECT_EQ(onScreens({ 100, 100, 300, 200 }, screens), (core::Rect { 100, 100, 300, 200 }));
    EXPECT_EQ(onScreens({ -2699, -2780, 6364, 6199 }, std::span(screens).first(1)), (core::Rect { 0, 0, 1440, 900 }));
    EXPECT_EQ(onScreens({ 1000, -50, 1000, 2000 }, screens), (core::Rect { 1000, 0, 1000, 1024 }))
        << "across two screens: their bounding box";
    EXPECT_EQ(onScreens({ 5000, 5000, 9000, 300 }, screens), (core::Rect { 5000, 5000, 2720, 300 }))
        << "on no screen: no larger than all of them";
    EXPECT_EQ(onScreens({ 10, 10, 50, 50 }, {}), (core::Rect { 10, 10, 50, 50 })) << "no screens known";
}
