// Cell names and the point ↔ cell mapping: the places the overlay draws, in root pixels at any scale.
#include "core/CellMap.h"

#include <gtest/gtest.h>

using namespace tavelin::core;

TEST(CellNames, LettersThenARowNumberInAnyCaseAndNothingElse)
{
    EXPECT_EQ(parseCellName("c4"), (CellAddress { 2, 3 }));
    EXPECT_EQ(parseCellName("aA10"), (CellAddress { 26, 9 }));
    EXPECT_EQ(parseCellName("AAA1"), (CellAddress { 702, 0 }));
    // Column letters count in bijective base 26: Z, then AA; ZZ, then AAA.
    for (const char* name : { "A1", "Z99", "AA1", "AZ7", "BA3", "YZ2", "ZA5", "ZZ12", "AAA1", "AAB4" })
        EXPECT_EQ(cellName(*parseCellName(name)), name);
    for (const char* bad : { "", "C", "4", "4C", "C0", "C04", "C-4", "C 4", " C4", "C4 ", "C4x", "C+4", "\xc3\x84" "1",
             "ABCDEFGH1", "A1234567890", "C4.0" })
        EXPECT_FALSE(parseCellName(bad)) << bad;
    // Too long for any grid, yet written as a name: no cell there, rather than no name.
    for (const char* far : { "ABCDEFGH1", "A1234567890", "zzzzzzzz999999999" })
        EXPECT_TRUE(isCellNameBeyondAnyGrid(far)) << far;
    for (const char* bad : { "C4", "ABCDEFGH", "ABCDEFGH01", "1234567890A", "ABCDEFGH1x" })
        EXPECT_FALSE(isCellNameBeyondAnyGrid(bad)) << bad;
}

TEST(CellMap, FullScreenAt80PointsLeavesTheMenuStripAndBandsAndNamesWholeCellsOnly)
{
    CellMap map({ 0, 0, 1440, 900 }, 1, 80, 80, true);
    EXPECT_EQ(map.columns(), 17); // A..Q
    EXPECT_EQ(map.rows(), 10);
    EXPECT_EQ(map.cellCentre({ 2, 3 }), (PixelPoint { 226, 327 }));
    EXPECT_EQ(map.cellPixels({ 2, 3 }), (PixelRect { 186, 287, 80, 80 }));
    EXPECT_EQ(map.cellPixels({ 0, 0 }), (PixelRect { 26, 47, 80, 80 }));
    EXPECT_EQ(map.cellPixels({ 16, 9 }), (PixelRect { 1306, 767, 80, 80 }));
    EXPECT_FALSE(map.cellPixels({ 17, 0 })) << "R is a partial column";
    EXPECT_FALSE(map.cellCentre({ 0, 10 }));

    EXPECT_EQ(map.cellAt({ 226, 327 }).cell, (CellAddress { 2, 3 }));
    EXPECT_EQ(map.cellAt({ 26, 47 }).cell, (CellAddress { 0, 0 })) << "a line's pixel belongs to the cell after it";
    EXPECT_EQ(map.cellAt({ 105, 126 }).cell, (CellAddress { 0, 0 }));
    EXPECT_EQ(map.cellAt({ 106, 126 }).cell, (CellAddress { 1, 0 }));
    EXPECT_EQ(map.cellAt({ 10, 300 }).reason, NoCell::onBand);
    EXPECT_EQ(map.cellAt({ 300, 30 }).reason, NoCell::onBand);
    EXPECT_EQ(map.cellAt({ 300, 10 }).reason, NoCell::outsideGrid) << "the strip left for a menu bar";
    EXPECT_EQ(map.cellAt({ 1400, 300 }).reason, NoCell::partialCell);
    EXPECT_EQ(map.cellAt({ 300, 880 }).reason, NoCell::partialCell);
    EXPECT_EQ(map.cellAt({ 1440, 300 }).reason, NoCell::outsideGrid);
    EXPECT_EQ(map.cellAt({ -1, 300 }).reason, NoCell::outsideGrid);
}

TEST(CellMap, AWindowFrameHasNoMenuStripAndCarriesItsOriginAndOneTooSmallHasNoCells)
{
    CellMap map({ 100, 50, 600, 400 }, 1, 80, 80, false);
    EXPECT_EQ(map.columns(), 7);
    EXPECT_EQ(map.rows(), 4);
    EXPECT_EQ(map.cellCentre({ 2, 3 }), (PixelPoint { 326, 352 }));
    EXPECT_EQ(map.cellAt({ 326, 352 }).cell, (CellAddress { 2, 3 }));
    EXPECT_EQ(map.cellAt({ 99, 100 }).reason, NoCell::outsideGrid);
    EXPECT_EQ(map.cellAt({ 150, 60 }).reason, NoCell::onBand);

    CellMap tiny({ 0, 0, 20, 20 }, 1, 80, 80, false); // smaller than the bands
    EXPECT_EQ(tiny.columns(), 0);
    EXPECT_EQ(tiny.rows(), 0);
    EXPECT_FALSE(tiny.cellCentre({ 0, 0 }));
    EXPECT_EQ(tiny.cellAt({ 10, 10 }).reason, NoCell::onBand);
}

TEST(CellMap, PositionsAreDevicePixelsAtAnyScale)
{
    CellMap doubled({ 0, 0, 720, 450 }, 2, 80, 80, true);
    EXPECT_EQ(doubled.columns(), 8);
    EXPECT_EQ(doubled.rows(), 5);
    EXPECT_EQ(doubled.cellCentre({ 2, 3 }), (PixelPoint { 452, 654 }));
    EXPECT_EQ(doubled.cellPixels({ 2, 3 }), (PixelRect { 372, 574, 160, 160 }));

    // At 1.5 edges fall between pixels: every pixel of a cell's rectangle maps back to it, and the
    // pixels just outside belong to the neighbours, so the cells tile the grid without gaps.
    CellMap map({ 10, 0, 960, 600 }, 1.5, 33.3, 41.7, true);
    for (int64_t c = 0; c < map.columns(); ++c) {
        for (int64_t r = 0; r < map.rows(); ++r) {
            auto rect = *map.cellPixels({ c, r });
            auto centre = *map.cellCentre({ c, r });
            ASSERT_EQ(map.cellAt(centre).cell, (CellAddress { c, r }));
            for (auto corner : { PixelPoint { rect.x, rect.y }, PixelPoint { rect.x + rect.width - 1, rect.y + rect.height - 1 } })
                ASSERT_EQ(map.cellAt(corner).cell, (CellAddress { c, r })) << c << "," << r;
            if (c + 1 < map.columns()) {
                ASSERT_EQ(map.cellPixels({ c + 1, r })->x, rect.x + rect.width);
            }
            if (r + 1 < map.rows()) {
                ASSERT_EQ(map.cellPixels({ c, r + 1 })->y, rect.y + rect.height);
            }
        }
    }
}
