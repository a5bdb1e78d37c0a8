// Reading the pixels of a window or pixmap into a QImage (GetImage, or MIT-SHM when the server shares memory).
#include "x11/capture/DrawableImage.h"

#include "x11/xcb/XcbReplies.h"

#include <QSysInfo>

#include <bit>
#include <optional>

namespace tavelin::x11::capture {

namespace {

// How the server lays out ZPixmap data for one depth (X11 protocol, "Server Information":
// pixmap formats give bits per pixel and the scanline padding; the visual gives the channel masks).
struct PixelLayout {
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool lsbFirst = true;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;

    int stride(int width) const
    {
        int bits = width * bitsPerPixel;
        return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
    }
    bool hasAlpha() const { return depth == 32; }
    // The layout QImage reads directly: 32-bit pixels 0xAARRGGBB in host order.
    bool isHost8888() const
    {
        bool hostLsb = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        return bitsPerPixel == 32 && lsbFirst == hostLsb && redMask == 0xff0000 && greenMask == 0xff00
            && blueMask == 0xff;
    }
};

const xcb_visualtype_t* findVisual(const xcb_setup_t* setup, xcb_visualid_t id)
{
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem; xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == id)
                    return visuals.data;
            }
        }
    }
    return nullptr;
}

std::optional<PixelLayout> layoutFor(xcb_connection_t* connection, int depth, xcb_visualid_t visualId)
{
    const auto* setup = xcb_get_setup(connection);
    const auto* visual = findVisual(setup, visualId);
    if (!visual || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR)
        return std::nullopt;
    PixelLayout layout;
    layout.depth = depth;
    layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    layout.redMask = visual->red_mask;
    layout.greenMask = visual->green_mask;
    layout.blueMask = visual->blue_mask;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == depth) {
            layout.bitsPerPixel = formats.data->bits_per_pixel;
            layout.scanlinePad = formats.data->scanline_pad;
        }
    }
    bool readable = (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 24 || layout.bitsPerPixel == 32)
        && layout.scanlinePad >= 8;
    if (!readable)
        return std::nullopt;
    return layout;
}

// One channel, widened from its mask to 8 bits.
uint32_t channel(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    int bits = std::popcount(mask);
    return bits >= 8 ? value >> (bits - 8) : value * 255 / ((1u << bits) - 1);
}

uint32_t readPixel(const uint8_t* p, int bytes, bool lsbFirst)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint32_t(p[i]) << (8 * (lsbFirst ? i : bytes - 1 - i));
    return value;
}

// Any other TrueColor layout (16-bit displays, big-endian servers), a pixel at a time.
QImage convertGeneric(const uint8_t* data, int width, int height, const PixelLayout& layout)
{
    QImage image(width, height, layout.hasAlpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint32_t alphaMask = layout.hasAlpha() ? ~(layout.redMask | layout.greenMask | layout.blueMask) : 0;
    int bytes = layout.bitsPerPixel / 8;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + size_t(y) * layout.stride(width);
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = readPixel(row + x * bytes, bytes, layout.lsbFirst);
            uint32_t a = alphaMask ? channel(pixel, alphaMask) : 255;
            out[x] = a << 24 | channel(pixel, layout.redMask) << 16 | channel(pixel, layout.greenMask) << 8
                | channel(pixel, layout.blueMask);
        }
    }
    return image;
}

// Pixels in layout as a QImage. The common layout is wrapped without a copy, keeping owner (the
// reply or the shared segment) alive through release(owner) once the image is gone; others are
// converted and owner is released at once.
QImage imageOf(uint8_t* data, size_t length, QSize size, const PixelLayout& layout, QImageCleanupFunction release,
    void* owner)
{
    if (length < size_t(layout.stride(size.width())) * size_t(size.height())) {
        release(owner);
        return {};
    }
    if (!layout.isHost8888()) {
        QImage converted = convertGeneric(data, size.width(), size.height(), layout);
        release(owner);
        return converted;
    }
    if (!layout.hasAlpha()) {
        // Depth 24 leaves the top byte undefined; QImage's RGB32 wants it 0xff.
        auto* words = reinterpret_cast<uint32_t*>(data);
        for (size_t i = 0; i < length / 4; ++i)
            words[i] |= 0xff000000u;
    }
    // Render's ARGB visuals hold premultiplied colour, as Qt's premultiplied format does.
    auto format = layout.hasAlpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage image(data, size.width(), size.height(), layout.stride(size.width()), format, release, owner);
    if (image.isNull())
        release(owner);
    return image;
}

void freeReply(void* reply) { free(reply); }
void dropSegment(void* segment) { delete static_cast<std::shared_ptr<ShmSegment>*>(segment); }

bool isReadable(const QRect& area)
{
    return !area.isEmpty() && area.width() <= 0x7fff && area.height() <= 0x7fff;
}

}

DrawableReader::DrawableReader(xcb_connection_t* connection)
    : m_connection(connection)
    , m_shm(connection)
{
}

// ShmGetImage in ZPixmap format with all planes; a segment holds any layout we read (at most
// 32 bits a pixel). Without shared memory, GetImage the same way.
QImage DrawableReader::read(xcb_drawable_t drawable, const QRect& area, xcb_visualid_t visual)
{
    if (!m_connection || !isReadable(area))
        return {};
    if (!m_shm.isAvailable())
        return readThroughReply(drawable, area, visual);
    size_t capacity = size_t(area.width()) * size_t(area.height()) * 4;
    auto pixels = m_shm.read(drawable, area, capacity);
    if (!pixels.segment)
        return m_shm.isAvailable() ? QImage() : readThroughReply(drawable, area, visual);
    auto layout = layoutFor(m_connection, pixels.depth, visual ? visual : pixels.visual);
    if (!layout)
        return {};
    auto* owner = new std::shared_ptr<ShmSegment>(pixels.segment);
    return imageOf(pixels.segment->memory, pixels.bytes, area.size(), *layout, &dropSegment, owner);
}

QImage DrawableReader::readThroughReply(xcb_drawable_t drawable, const QRect& area, xcb_visualid_t visual)
{
    auto cookie = xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(area.x()),
        int16_t(area.y()), uint16_t(area.width()), uint16_t(area.height()), ~0u);
    auto reply = xcb::takeReply(m_connection, cookie, &xcb_get_image_reply);
    if (!reply)
        return {};
    auto layout = layoutFor(m_connection, reply->depth, visual ? visual : reply->visual);
    if (!layout)
        return {};
    auto length = size_t(xcb_get_image_data_length(reply.get()));
    auto* data = xcb_get_image_data(reply.get());
    return imageOf(data, length, area.size(), *layout, &freeReply, reply.release());
}

}
