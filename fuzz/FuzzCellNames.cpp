// Fuzz target: cell names typed by users and agents, and the cell ↔ pixel mapping they lead to.
#include "core/CellMap.h"

#include "Check.h"

#include <cstdint>
#include <cstring>
#include <string_view>

using namespace tavelin::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto cell = parseCellName(text)) {
        // A name that parses names exactly one cell, and that cell's name parses back to it.
        auto again = parseCellName(cellName(*cell));
        FUZZ_CHECK(again && *again == *cell);
    }
    // The grid's geometry from the first bytes, then every lookup must stay inside the answers it gives.
    if (size < 18)
        return 0;
    auto word = [&](size_t i) { return double(uint16_t(data[i] | data[i + 1] << 8)); };
    Rect frame { word(0) - 32768, word(2) - 32768, word(4), word(6) };
    double scale = 1 + (data[8] % 4) * 0.25;
    double cellWidth = 20 + word(9) / 65535 * 380, cellHeight = 20 + word(11) / 65535 * 380;
    CellMap map(frame, scale, cellWidth, cellHeight, data[13] & 1);
    // A pixel near the frame, where the cells are.
    PixelPoint pixel { int64_t(frame.x * scale) + int64_t(word(14)) - 256, int64_t(frame.y * scale) + int64_t(word(16)) - 256 };
    auto found = map.cellAt(pixel);
    if (found.cell) {
        FUZZ_CHECK(map.contains(*found.cell));
        auto rect = map.cellPixels(*found.cell);
        FUZZ_CHECK(rect && pixel.x >= rect->x && pixel.x < rect->x + rect->width && pixel.y >= rect->y
            && pixel.y < rect->y + rect->height);
        auto centre = map.cellCentre(*found.cell);
        FUZZ_CHECK(centre && map.cellAt(*centre).cell == found.cell);
    }
    return 0;
}
