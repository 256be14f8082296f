// A JPEG as many USB cameras send their MJPG frames: without Huffman tables (DHT segments), which a
// decoder is then to take as the standard ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumicap::testing {

inline std::vector<uint8_t> WithoutHuffmanTables(const std::vector<uint8_t>& jpeg)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA) {
        const size_t end = pos + 2 + ((size_t{jpeg[pos + 2]} << 8) | jpeg[pos + 3]);
        if (jpeg[pos + 1] != 0xC4) out.insert(out.end(), jpeg.begin() + pos, jpeg.begin() + end);
        pos = end;
    }
    out.insert(out.end(), jpeg.begin() + pos, jpeg.end());
    return out;
}

}  // namespace lumicap::testing
