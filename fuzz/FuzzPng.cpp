// Fuzz target: the screenshot PNG encoder, checked pixel for pixel by Qt's own, independent PNG reader.
#include "shared/image/PngEncoder.h"

#include "Check.h"

#include <QImage>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    int width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    bool alpha = data[2] & 1;
    // Straight (not premultiplied) ARGB, so every alpha value round-trips exactly.
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t value = 0;
            for (size_t b = 0; b < 4; ++b)
                value = value << 8 | (size > 3 ? data[3 + (size_t(y * width + x) * 4 + b) % (size - 3)] : 0);
            line[x] = alpha ? value : (value | 0xff000000u);
        }
    }
    auto png = tavelin::shared::image::encodeScreenshotPng(image);
    FUZZ_CHECK(png.has_value());
    QImage decoded;
    FUZZ_CHECK(decoded.loadFromData(png->data(), int(png->size()), "PNG"));
    decoded = decoded.convertToFormat(image.format());
    FUZZ_CHECK(decoded.size() == image.size());
    for (int y = 0; y < height; ++y)
        FUZZ_CHECK(std::memcmp(decoded.constScanLine(y), image.constScanLine(y), size_t(width) * 4) == 0);
    return 0;
}
