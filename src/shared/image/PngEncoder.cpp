// PNG encoding tuned for screenshots: fast filtering and compression, straight RGBA.
//
// Qt's PNG writer lets libpng try all five row filters on every row, which is most of its time
// on a 4K screenshot (about 300 ms here). Screens are mostly flat colour with text: the Up filter
// and zlib level 1 keep files small at a fraction of the cost. Large images are compressed in
// bands on all cores, each band a deflate run ended on a byte boundary (Z_SYNC_FLUSH), so the
// runs join into one zlib stream (RFC 1950/1951) whose Adler-32 is combined from the bands'.
#include "shared/image/PngEncoder.h"

#include <zlib.h>

#include <QtEndian>

#include <algorithm>
#include <array>

namespace tavelin::shared::image {

namespace {

constexpr int zlibLevel = 1;
constexpr int minRowsPerBand = 128;
constexpr int maxBands = 4;
constexpr uint8_t filterUp = 2; // PNG filter type 2: each byte minus the byte above it

// The rows to encode, as pointers taken on the calling thread (see Bands.h).
struct Rows {
    const uint8_t* bits = nullptr;
    qsizetype stride = 0;
    size_t rowBytes = 0;
};

struct Band {
    int firstRow = 0;
    int lastRow = 0; // exclusive
    std::vector<uint8_t> deflated;
    uLong adler = 1; // Adler-32 of the band's filtered bytes
    bool ok = false;
};

// Filters rows [firstRow, lastRow) with Up and deflates them; the last band finishes the stream.
void deflateBand(const Rows& image, Band& band, bool last)
{
    const size_t rowBytes = image.rowBytes;
    z_stream stream {};
    if (deflateInit2(&stream, zlibLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    try {
        std::vector<uint8_t> filtered(rowBytes + 1);
        const size_t rows = size_t(band.lastRow - band.firstRow);
        band.deflated.resize(deflateBound(&stream, uLong(rows * filtered.size())) + 16);
        stream.next_out = band.deflated.data();
        stream.avail_out = uInt(band.deflated.size());
        bool ok = true;
        for (int y = band.firstRow; y < band.lastRow && ok; ++y) {
            const uint8_t* row = image.bits + y * image.stride;
            const uint8_t* above = y > 0 ? row - image.stride : nullptr;
            filtered[0] = filterUp;
            for (size_t i = 0; i < rowBytes; ++i)
                filtered[i + 1] = uint8_t(row[i] - (above ? above[i] : 0));
            band.adler = adler32(band.adler, filtered.data(), uInt(filtered.size()));
            stream.next_in = filtered.data();
            stream.avail_in = uInt(filtered.size());
            int flush = y + 1 < band.lastRow ? Z_NO_FLUSH : (last ? Z_FINISH : Z_SYNC_FLUSH);
            int result = deflate(&stream, flush);
            // The output buffer holds the worst case, so every flush completes at once.
            ok = flush == Z_FINISH ? result == Z_STREAM_END : result == Z_OK && stream.avail_out > 0;
        }
        band.deflated.resize(band.deflated.size() - stream.avail_out);
        band.ok = ok && stream.avail_in == 0;
    } catch (const std::bad_alloc&) {
        band.ok = false;
    }
    deflateEnd(&stream);
}

void compressInBands(const QImage& image, int bytesPerPixel, std::vector<Band>& bands, const ThreadStart& start)
{
    Rows rows { image.constBits(), image.bytesPerLine(), size_t(image.width()) * size_t(bytesPerPixel) };
    runInBands(bands.size(), [&rows, &bands](size_t i) { deflateBand(rows, bands[i], i + 1 == bands.size()); }, start);
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value)
{
    std::array<uint8_t, 4> bytes;
    qToBigEndian(value, bytes.data());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A PNG chunk: length, type, data, and the CRC-32 of type and data (PNG, section 5.3).
void appendChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size)
{
    appendBigEndian(out, uint32_t(size));
    size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    uLong crc = crc32(0, out.data() + typeAt, uInt(4 + size));
    appendBigEndian(out, uint32_t(crc));
}

}

std::optional<std::vector<uint8_t>> encodeScreenshotPng(const QImage& image, const ThreadStart& start)
{
    if (image.isNull())
        return std::nullopt;
    // Straight RGBA bytes are PNG's own order; an image without alpha is written as RGB.
    bool alpha = image.hasAlphaChannel();
    QImage rows = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (rows.isNull())
        return std::nullopt;
    int bytesPerPixel = alpha ? 4 : 3;

    int count = int(bandCount(rows.height(), minRowsPerBand, maxBands));
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[size_t(i)].firstRow = rows.height() * i / count;
        bands[size_t(i)].lastRow = rows.height() * (i + 1) / count;
    }
    compressInBands(rows, bytesPerPixel, bands, start);

    try {
        std::vector<uint8_t> png { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
        std::array<uint8_t, 13> header {};
        qToBigEndian(uint32_t(rows.width()), header.data());
        qToBigEndian(uint32_t(rows.height()), header.data() + 4);
        header[8] = 8;                   // bits per channel
        header[9] = alpha ? 6 : 2;       // colour type: RGBA or RGB
        appendChunk(png, "IHDR", header.data(), header.size()); // deflate, adaptive filters, no interlace
        // The zlib stream: header (deflate, 32K window, fastest), the bands, the Adler-32 of it all.
        static_assert((0x78 * 256 + 0x01) % 31 == 0, "zlib header check bits");
        std::vector<uint8_t> data { 0x78, 0x01 };
        uLong adler = 1;
        size_t filteredBytes = size_t(rows.width()) * bytesPerPixel + 1;
        for (const auto& band : bands) {
            if (!band.ok)
                return std::nullopt;
            data.insert(data.end(), band.deflated.begin(), band.deflated.end());
            adler = adler32_combine(adler, band.adler, z_off_t(filteredBytes * size_t(band.lastRow - band.firstRow)));
        }
        appendBigEndian(data, uint32_t(adler));
        if (data.size() > 0x7fffffff) // a chunk's length is 31 bits
            return std::nullopt;
        appendChunk(png, "IDAT", data.data(), data.size());
        appendChunk(png, "IEND", nullptr, 0);
        return png;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}
