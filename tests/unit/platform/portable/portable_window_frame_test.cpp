// Frames presented to a message window: only the latest kept, counted, per window, from any thread.
#include <lumicap/portable/win32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::vector<uint32_t> Solid(UINT32 width, UINT32 height, uint32_t colour)
{
    return std::vector<uint32_t>(static_cast<size_t>(width) * height, colour);
}

TEST(PortableWindowFrame, KeepsTheLatestFramePerWindow)
{
    HWND first = LumicapCreateMessageWindow();
    HWND second = LumicapCreateMessageWindow();
    const auto large = Solid(4, 3, 0x00FF0000);
    const std::vector<uint32_t> small = {1, 2, 3, 4, 5, 6};
    const auto other = Solid(1, 1, 0x000000FF);
    ASSERT_TRUE(LumicapPresentFrame(first, large.data(), 4, 3));
    ASSERT_TRUE(LumicapPresentFrame(first, small.data(), 3, 2));
    ASSERT_TRUE(LumicapPresentFrame(second, other.data(), 1, 1));
    EXPECT_EQ(LumicapGetFrameCount(first), 2u);
    EXPECT_EQ(LumicapGetFrameCount(second), 1u);

    std::vector<uint32_t> pixels(12, 0xDEADBEEF);
    UINT32 width = 0, height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(first, pixels.data(), pixels.size(), &width, &height));
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(std::vector<uint32_t>(pixels.begin(), pixels.begin() + 6), small);
    ASSERT_TRUE(LumicapGetLatestFrame(second, pixels.data(), pixels.size(), &width, &height));
    EXPECT_EQ(width, 1u);
    EXPECT_EQ(pixels[0], 0x000000FFu);
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST(PortableWindowFrame, SmallBufferGetsTheSizeButNoPixels)
{
    HWND window = LumicapCreateMessageWindow();
    const auto frame = Solid(4, 4, 7);
    ASSERT_TRUE(LumicapPresentFrame(window, frame.data(), 4, 4));
    std::vector<uint32_t> pixels(15, 0);
    UINT32 width = 0, height = 0;
    EXPECT_TRUE(LumicapGetLatestFrame(window, pixels.data(), pixels.size(), &width, &height));
    EXPECT_EQ(width, 4u);
    EXPECT_EQ(height, 4u);
    EXPECT_EQ(pixels, std::vector<uint32_t>(15, 0));
    EXPECT_TRUE(LumicapGetLatestFrame(window, nullptr, 0, &width, nullptr));
    DestroyWindow(window);
}

TEST(PortableWindowFrame, NothingForMissingFramesOrWindows)
{
    HWND window = LumicapCreateMessageWindow();
    std::vector<uint32_t> pixels(4, 0);
    UINT32 width = 99, height = 99;
    EXPECT_FALSE(LumicapGetLatestFrame(window, pixels.data(), pixels.size(), &width, &height));
    EXPECT_EQ(width, 99u);
    EXPECT_EQ(LumicapGetFrameCount(window), 0u);
    EXPECT_FALSE(LumicapPresentFrame(window, nullptr, 2, 2));
    EXPECT_FALSE(LumicapPresentFrame(window, pixels.data(), 0, 2));
    EXPECT_EQ(LumicapGetFrameCount(window), 0u);

    ASSERT_TRUE(LumicapPresentFrame(window, pixels.data(), 2, 2));
    ASSERT_TRUE(DestroyWindow(window));
    SetLastError(0);
    EXPECT_FALSE(LumicapPresentFrame(window, pixels.data(), 2, 2));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(LumicapGetFrameCount(window), 0u);
    EXPECT_FALSE(LumicapGetLatestFrame(window, pixels.data(), pixels.size(), &width, &height));
    EXPECT_FALSE(LumicapGetFrameCount(nullptr));
}

TEST(PortableWindowFrame, ReadersNeverSeeATornFrame)
{
    // A worker presents frames of changing size, each filled with its own number; every frame read
    // meanwhile must be whole: one value throughout and the size that value was presented with.
    constexpr uint32_t kFrames = 300;
    HWND window = LumicapCreateMessageWindow();
    std::atomic<bool> presenting{true};
    std::thread presenter([&] {
        for (uint32_t n = 1; n <= kFrames; ++n) {
            const UINT32 width = 16 + n % 7;
            const auto frame = Solid(width, 9, n);
            LumicapPresentFrame(window, frame.data(), width, 9);
        }
        presenting = false;
    });
    std::vector<uint32_t> pixels(64 * 9);
    int torn = 0;
    for (;;) {
        const bool lastRead = !presenting;
        UINT32 width = 0, height = 0;
        if (LumicapGetLatestFrame(window, pixels.data(), pixels.size(), &width, &height)) {
            const uint32_t n = pixels[0];
            if (width != 16 + n % 7 || height != 9) ++torn;
            for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
                if (pixels[i] != n) {
                    ++torn;
                    break;
                }
            }
        }
        if (lastRead) break;
    }
    presenter.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(LumicapGetFrameCount(window), kFrames);
    DestroyWindow(window);
}

}  // namespace
