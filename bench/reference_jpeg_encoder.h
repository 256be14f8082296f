// The limit of the virtual photo path: libjpeg-turbo alone encoding a frame already in memory, with
// the photo sink's settings (baseline JPEG, quality 90, libjpeg's defaults otherwise), into a buffer
// large enough that it never grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumicap::bench {

class ReferenceJpegEncoder {
public:
    ReferenceJpegEncoder(uint32_t width, uint32_t height);

    // Encodes width x height pixels of 0x00RRGGBB (top row first); returns the JPEG's size in bytes.
    size_t Encode(const uint32_t* pixels);
    const unsigned char* Output() const { return output_.data(); }

private:
    uint32_t width_;
    uint32_t height_;
    std::vector<unsigned char> output_;
};

}  // namespace lumicap::bench
