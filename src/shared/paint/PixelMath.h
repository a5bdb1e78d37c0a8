// Arithmetic on packed 8-bit ARGB pixels, shared by the painter and the screenshot composer.
#pragma once

#include <cstdint>

namespace tavelin::shared::paint {

// x's four 8-bit channels times a/255, rounded; two channels per multiply.
inline uint32_t multiplyChannels(uint32_t x, uint32_t a)
{
    uint32_t redBlue = (x & 0xff00ff) * a;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint32_t alphaGreen = ((x >> 8) & 0xff00ff) * a;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

}
