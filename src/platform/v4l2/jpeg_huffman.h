// Motion-JPEG frames from many USB cameras leave out the DHT segment and rely on the JPEG standard's
// example Huffman tables; a still-image decoder or viewer needs them written into the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace lumicap::v4l2 {

// True when a DHT segment comes before the SOS marker. False for malformed input.
bool HasHuffmanTables(const uint8_t* jpeg, size_t size);

// Copies the frame into *out (reusing its capacity); when it has no DHT before SOS, the standard
// luminance and chrominance DC/AC tables are inserted as one DHT segment right before SOS.
// E_INVALIDARG for null pointers, no SOI, a segment running past the end, or no SOS;
// E_OUTOFMEMORY when the copy cannot be allocated.
HRESULT WithHuffmanTables(const uint8_t* jpeg, size_t size, std::vector<uint8_t>* out);

}  // namespace lumicap::v4l2
