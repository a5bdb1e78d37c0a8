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

TEST(CellMap, AFrameSmallerThanTheBandsHasNoCells)
{
    CellMap tiny({ 0, 0, 20, 20 }, 1, 80, 80, false);
    EXPECT_EQ(tiny.columns(), 0);
    EXPECT_EQ(tiny.rows(), 0);
    EXPECT_FALSE(tiny.cellCentre({ 0, 0 }));
    EXPECT_EQ(tiny.cellAt({ 10, 10 }).reason, NoCell::onBand);
}

TEST(CellMap, AtAFractionalScaleTheCellsTileTheGridWithoutGaps)
{
    // At 1.5 edges fall between pixels: each of a cell's pixels maps back to it, and neighbours meet.
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
