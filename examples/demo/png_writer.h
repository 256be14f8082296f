// Writes 32-bit 0x00RRGGBB pixels as an uncompressed PNG: enough for a snapshot, no library needed.
#pragma once

#include <cstdint>
#include <string>

namespace demo {

bool WritePng(const std::string& path, const uint32_t* pixels, uint32_t width, uint32_t height);

}  // namespace demo
