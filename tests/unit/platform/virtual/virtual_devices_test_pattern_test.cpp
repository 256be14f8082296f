// The test pattern's pixels at known points, and the fast renderer agreeing with them everywhere.
#include "platform/virtual/virtual_platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumicap::virt {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x808080;

TEST(VirtualTestPattern, BarsRunWhiteYellowCyanGreenMagentaRedBlueBlack)
{
    const uint32_t bars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    for (UINT32 bar = 0; bar < 8; ++bar) {
        EXPECT_EQ(TestPatternPixel(bar * 80 + 40, 200, 640, 480, 0), bars[bar]) << bar;
        EXPECT_EQ(TestPatternPixel(bar * 80, 200, 640, 480, 0), bars[bar]) << bar;
        EXPECT_EQ(TestPatternPixel(bar * 80 + 79, 200, 640, 480, 0), bars[bar]) << bar;
    }
    // Bar = x * 8 / width, also when the width does not divide by eight.
    // (10 x 9: the bottom row is below the counter cells; the 1-pixel square sits at x 0.)
    EXPECT_EQ(TestPatternPixel(1, 8, 10, 9, 0), 0xFFFFFFu);
    EXPECT_EQ(TestPatternPixel(2, 8, 10, 9, 0), 0xFFFF00u);
    EXPECT_EQ(TestPatternPixel(9, 8, 10, 9, 0), 0x000000u);
}

TEST(VirtualTestPattern, TheSquareMovesEightPixelsAFrameAndWraps)
{
    struct Case {
        uint64_t frame;
        UINT32 left;
    };
    // 640 x 480: side 60, top 420, left = (frame * 8) mod 580.
    for (const Case& c : {Case{0, 0}, Case{5, 40}, Case{72, 576}, Case{73, 4}, Case{100, 220}}) {
        EXPECT_EQ(TestPatternPixel(c.left, 420, 640, 480, c.frame), kGrey) << c.frame;
        EXPECT_EQ(TestPatternPixel(c.left + 59, 479, 640, 480, c.frame), kGrey) << c.frame;
        EXPECT_NE(TestPatternPixel(c.left + 60, 450, 640, 480, c.frame), kGrey) << c.frame;
        EXPECT_NE(TestPatternPixel(c.left + 30, 419, 640, 480, c.frame), kGrey) << c.frame;
        if (c.left > 0) {
            EXPECT_NE(TestPatternPixel(c.left - 1, 450, 640, 480, c.frame), kGrey) << c.frame;
        }
    }
}

TEST(VirtualTestPattern, TheSquarePositionDoesNotOverflowForHugeFrameNumbers)
{
    const uint64_t frame = (uint64_t{1} << 61) + 3;
    const auto exact = static_cast<UINT32>((static_cast<unsigned __int128>(frame) * 8) % 580);
    EXPECT_EQ(TestPatternPixel(exact, 450, 640, 480, frame), kGrey);
    EXPECT_EQ(TestPatternPixel(exact + 59, 450, 640, 480, frame), kGrey);
    EXPECT_NE(TestPatternPixel(exact + 60, 450, 640, 480, frame), kGrey);
}

TEST(VirtualTestPattern, TheCounterShowsTheFrameBitsInTheTopLeftCells)
{
    const uint64_t frame = 0x80000005;  // bits 0, 2 and 31
    EXPECT_EQ(TestPatternPixel(0, 0, 640, 480, frame), kWhite);
    EXPECT_EQ(TestPatternPixel(7, 7, 640, 480, frame), kWhite);
    EXPECT_EQ(TestPatternPixel(8, 0, 640, 480, frame), kBlack);
    EXPECT_EQ(TestPatternPixel(16, 3, 640, 480, frame), kWhite);
    EXPECT_EQ(TestPatternPixel(31 * 8 + 4, 4, 640, 480, frame), kWhite);
    EXPECT_EQ(TestPatternPixel(30 * 8 + 4, 4, 640, 480, frame), kBlack);
    // Below the cells and right of the 32nd cell the bars show (white for the first bar).
    EXPECT_EQ(TestPatternPixel(8, 8, 640, 480, frame), kWhite);
    EXPECT_EQ(TestPatternPixel(32 * 8, 0, 640, 480, 0), 0x00FF00u);
    // Bits above 31 are not shown.
    EXPECT_EQ(TestPatternPixel(0, 0, 640, 480, uint64_t{1} << 32), kBlack);
}

TEST(VirtualTestPattern, OnlyCellsThatFitTheWidthAreDrawn)
{
    // 100 wide: twelve whole cells (96 pixels); pixels 96..99 of the top rows stay black bar.
    EXPECT_EQ(TestPatternPixel(95, 0, 100, 100, 0), kBlack);
    EXPECT_EQ(TestPatternPixel(95, 0, 100, 100, uint64_t{1} << 11), kWhite);
    EXPECT_EQ(TestPatternPixel(97, 0, 100, 100, ~uint64_t{0}), kBlack);
    // 7 wide: no cell fits, so the top-left pixel is bar colour even when bit 0 is clear.
    EXPECT_EQ(TestPatternPixel(0, 0, 7, 100, 0), kWhite);
}

TEST(VirtualTestPattern, TheCounterIsDrawnOverTheSquare)
{
    // 16 x 8: side 1, top 7; frame 0 puts the square at x 0, inside cell 0 (bit clear: black).
    EXPECT_EQ(TestPatternPixel(0, 7, 16, 8, 0), kBlack);
    // 16 x 80: side 10 at the bottom rows, clear of the cells.
    EXPECT_EQ(TestPatternPixel(0, 75, 16, 80, 0), kGrey);
}

TEST(VirtualTestPattern, RendererAgreesWithThePixelFormulaEverywhere)
{
    struct Case {
        UINT32 width;
        UINT32 height;
        uint64_t frame;
    };
    const Case cases[] = {
        {640, 480, 0}, {640, 480, 73}, {1920, 1080, 123456}, {17, 9, 5}, {1, 1, 1}, {7, 3, 2},
        {250, 40, 0xFFFFFFFF}, {10, 100, 3}, {2592, 1944, 999}, {3, 2000, 1},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> pixels(static_cast<size_t>(c.width) * c.height, 0xDEADBEEF);
        RenderTestPattern(pixels.data(), c.width, c.height, c.frame);
        size_t mismatches = 0;
        for (UINT32 y = 0; y < c.height; ++y) {
            for (UINT32 x = 0; x < c.width; ++x) {
                const uint32_t rendered = pixels[static_cast<size_t>(y) * c.width + x];
                if (rendered != TestPatternPixel(x, y, c.width, c.height, c.frame)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0u) << c.width << "x" << c.height << " frame " << c.frame;
    }
}

TEST(VirtualTestPattern, DegenerateInputsAreHarmless)
{
    RenderTestPattern(nullptr, 640, 480, 0);
    uint32_t pixel = 0x12345678;
    RenderTestPattern(&pixel, 0, 1, 0);
    RenderTestPattern(&pixel, 1, 0, 0);
    EXPECT_EQ(pixel, 0x12345678u);
    EXPECT_EQ(TestPatternPixel(640, 0, 640, 480, 0), 0u);
    EXPECT_EQ(TestPatternPixel(0, 480, 640, 480, 0), 0u);
}

}  // namespace
}  // namespace lumicap::virt
