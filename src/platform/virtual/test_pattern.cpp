// The picture the virtual cameras show: colour bars, a moving square and a binary frame counter.
// Engines reach it only as a frame source (test_pattern_source.h).
#include "virtual_platform.h"

#include <algorithm>
#include <cstring>

namespace lumicap::virt {
namespace {

constexpr uint32_t kBarColours[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
constexpr uint32_t kSquareColour = 0x808080;
constexpr uint32_t kBitSet = 0xFFFFFF;
constexpr uint32_t kBitClear = 0x000000;
constexpr UINT32 kCellSide = 8;
constexpr UINT32 kCounterBits = 32;

struct Square {
    UINT32 left;
    UINT32 top;
    UINT32 side;
};

Square SquareOf(UINT32 width, UINT32 height, uint64_t frame)
{
    const UINT32 side = std::max<UINT32>(1, height / 8);
    const uint64_t span = width > side ? width - side : 1;
    // (frame * 8) mod span without overflowing for large frame numbers.
    const auto left = static_cast<UINT32>(((frame % span) * 8) % span);
    return {left, height >= side ? height - side : 0, side};
}

UINT32 CounterCells(UINT32 width) { return std::min(kCounterBits, width / kCellSide); }

uint32_t CounterColour(UINT32 cell, uint64_t frame) { return ((frame >> cell) & 1) != 0 ? kBitSet : kBitClear; }

// The first pixel of bar b: the smallest x with x * 8 / width == b.
UINT32 BarStart(unsigned bar, UINT32 width)
{
    return static_cast<UINT32>((static_cast<uint64_t>(bar) * width + 7) / 8);
}

void FillBarsRow(uint32_t* row, UINT32 width)
{
    for (unsigned bar = 0; bar < 8; ++bar) {
        std::fill(row + BarStart(bar, width), row + BarStart(bar + 1, width), kBarColours[bar]);
    }
}

void DrawSquare(uint32_t* pixels, UINT32 width, UINT32 height, uint64_t frame)
{
    const Square square = SquareOf(width, height, frame);
    const UINT32 right = std::min<uint64_t>(width, static_cast<uint64_t>(square.left) + square.side);
    const UINT32 bottom = std::min<uint64_t>(height, static_cast<uint64_t>(square.top) + square.side);
    for (UINT32 y = square.top; y < bottom; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        std::fill(row + square.left, row + right, kSquareColour);
    }
}

void DrawCounter(uint32_t* pixels, UINT32 width, UINT32 height, uint64_t frame)
{
    const UINT32 cells = CounterCells(width);
    const UINT32 rows = std::min(kCellSide, height);
    for (UINT32 y = 0; y < rows; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (UINT32 cell = 0; cell < cells; ++cell) {
            std::fill(row + cell * kCellSide, row + (cell + 1) * kCellSide, CounterColour(cell, frame));
        }
    }
}

}  // namespace

uint32_t TestPatternPixel(UINT32 x, UINT32 y, UINT32 width, UINT32 height, uint64_t frame)
{
    if (x >= width || y >= height) return 0;
    if (y < kCellSide && x / kCellSide < CounterCells(width)) return CounterColour(x / kCellSide, frame);
    const Square square = SquareOf(width, height, frame);
    if (x >= square.left && x - square.left < square.side && y >= square.top && y - square.top < square.side) {
        return kSquareColour;
    }
    return kBarColours[static_cast<uint64_t>(x) * 8 / width];
}

// Rows are copies of one bar row, so the frame costs little more than a memcpy of its size.
void RenderTestPattern(uint32_t* pixels, UINT32 width, UINT32 height, uint64_t frame)
{
    if (!pixels || width == 0 || height == 0) return;
    FillBarsRow(pixels, width);
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
    for (UINT32 y = 1; y < height; ++y) std::memcpy(pixels + static_cast<size_t>(y) * width, pixels, rowBytes);
    DrawSquare(pixels, width, height, frame);
    DrawCounter(pixels, width, height, frame);
}

}  // namespace lumicap::virt
