// Fuzz target: property replies as a lying or odd X server could send them (type, format, lengths).
#include "x11/xcb/XcbReplies.h"

#include "Check.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(xcb_get_property_reply_t))
        return 0;
    // The header as sent, the value as long as the rest of the input; xcb sizes the buffer by the
    // header's length field, so the buffer is exactly that long.
    xcb_get_property_reply_t header;
    std::memcpy(&header, data, sizeof header);
    size_t words = (size - sizeof header) / 4;
    header.length = uint32_t(words);
    std::vector<uint32_t> buffer(sizeof header / 4 + words);
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header / 4, data + sizeof header, words * 4);
    auto& reply = *reinterpret_cast<const xcb_get_property_reply_t*>(buffer.data());
    for (xcb_atom_t type : { xcb_atom_t(XCB_ATOM_CARDINAL), xcb_atom_t(XCB_ATOM_ATOM), reply.type }) {
        auto items = tavelin::x11::xcb::propertyItems(reply, type);
        if (!items)
            continue;
        FUZZ_CHECK(reply.format == 32 && reply.type == type);
        FUZZ_CHECK(items->size() <= words && items->size() <= reply.value_len);
    }
    return 0;
}
