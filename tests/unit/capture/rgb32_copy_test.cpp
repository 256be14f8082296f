// The host's copy of a frame: every pixel as 0x00RRGGBB, whatever the sink left in the unused byte,
// on the cached path and the streaming one, from any pixel of the host's array.
#include "capture/rgb32_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumicap::testing {
namespace {

TEST(Rgb32Copy, ClearsTheUnusedByteAndWritesNothingBeyondTheFrame)
{
    constexpr uint32_t kGuard = 0xDEADBEEFu;
    // Counts below and above the streaming size, with ragged tails; offsets put the first pixel at
    // every 4-byte position within a cache line.
    for (const size_t count : {size_t{1}, size_t{37}, size_t{640 * 480 + 13}}) {
        for (const size_t offset : {size_t{0}, size_t{1}, size_t{3}, size_t{15}}) {
            SCOPED_TRACE(::testing::Message() << count << " pixels at +" << offset);
            std::vector<uint32_t> from(count);
            uint32_t state = 7;
            for (uint32_t& pixel : from) pixel = (state = state * 1664525u + 1013904223u) | 0xFF000000u;
            std::vector<uint32_t> to(offset + count + 1, kGuard);
            CopyRgb32Pixels(to.data() + offset, from.data(), count);
            for (size_t i = 0; i < offset; ++i) ASSERT_EQ(to[i], kGuard);
            for (size_t i = 0; i < count; ++i) ASSERT_EQ(to[offset + i], from[i] & 0x00FFFFFFu) << "pixel " << i;
            ASSERT_EQ(to.back(), kGuard);
        }
    }
}

}  // namespace
}  // namespace lumicap::testing
