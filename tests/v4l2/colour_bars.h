// The colour bars the VM's cameras show: vivid's own pattern, and the MJPG writer's frames drawn alike.
#pragma once

#include <lumicap/lumicap.h>

#include <cstdint>
#include <vector>

namespace lumicap::v4l2::testing {

// White, yellow, cyan, green, magenta, red, blue, black at 75%, left to right, as 0x00RRGGBB.
constexpr uint32_t kColourBars[8] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00, 0xBF00BF, 0xBF0000, 0x0000BF, 0x000000};

// Expects the bars across the middle row of a 0x00RRGGBB picture (top byte 0), each channel within
// what compression and colour conversion change.
void ExpectColourBars(const std::vector<uint32_t>& pixels, UINT32 width, UINT32 height);

}  // namespace lumicap::v4l2::testing
