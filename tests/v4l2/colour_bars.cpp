#include "colour_bars.h"

#include <gtest/gtest.h>

namespace lumicap::v4l2::testing {

void ExpectColourBars(const std::vector<uint32_t>& pixels, UINT32 width, UINT32 height)
{
    ASSERT_EQ(pixels.size(), size_t{width} * height);
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const uint32_t pixel = pixels[height / 2 * width + bar * width / 8 + width / 16];
        SCOPED_TRACE(::testing::Message() << "bar " << bar << ": 0x" << std::hex << pixel);
        EXPECT_EQ(pixel >> 24, 0u);
        for (int shift = 0; shift <= 16; shift += 8) {
            const int got = static_cast<int>((pixel >> shift) & 0xFF);
            const int want = static_cast<int>((kColourBars[bar] >> shift) & 0xFF);
            EXPECT_NEAR(got, want, 24) << "channel at bit " << shift;
        }
    }
}

}  // namespace lumicap::v4l2::testing
