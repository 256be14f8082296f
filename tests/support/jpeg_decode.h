// Decodes a JPEG with libjpeg, independently of how it was made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumicap::testing {

struct DecodedImage {
    bool ok = false;
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, top row first

    uint32_t Pixel(unsigned x, unsigned y) const
    {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
};

DecodedImage DecodeJpeg(const uint8_t* data, size_t size);

// Whether two 0xRRGGBB colours are within tolerance on each channel (JPEG is lossy).
bool Near(uint32_t a, uint32_t b, int tolerance = 24);

}  // namespace lumicap::testing
