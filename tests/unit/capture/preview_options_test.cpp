// The preview beyond the eleven, through the exports: mirroring and a picture that follows its window.
#include "support/jpeg_decode.h"
#include "support/test_host.h"

#include "capture/capture_manager.h"

namespace lumicap::testing {
namespace {

constexpr UINT32 kWidth = 640;  // format 0 of the virtual camera: 640x480
constexpr UINT32 kHeight = 480;
constexpr UINT32 kRow = 200;  // clear of the frame counter and the moving square

class PreviewOptions : public HostTest {
protected:
    // Pumps until the window received two more frames, so the newest shows what was asked before.
    bool PumpTwoFrames()
    {
        const UINT64 seen = LumicapGetFrameCount(window_);
        return PumpUntil([&] { return LumicapGetFrameCount(window_) >= seen + 2; });
    }

    std::vector<uint32_t> LatestFrame()
    {
        std::vector<uint32_t> pixels(kWidth * kHeight);
        UINT32 width = 0;
        UINT32 height = 0;
        EXPECT_TRUE(LumicapGetLatestFrame(window_, pixels.data(), pixels.size(), &width, &height));
        EXPECT_EQ(width, kWidth);
        EXPECT_EQ(height, kHeight);
        return pixels;
    }

    // Whether the row of the frame shows the bars, left to right or mirrored.
    static bool ShowsBars(const std::vector<uint32_t>& pixels, bool mirrored)
    {
        for (UINT32 x = 0; x < kWidth; x += 16) {
            const UINT32 source = mirrored ? kWidth - 1 - x : x;
            if (pixels[kRow * kWidth + x] != virt::TestPatternPixel(source, kRow, kWidth, kHeight, 0)) return false;
        }
        return true;
    }

    std::vector<uint32_t> ClientPicture(UINT32& width, UINT32& height)
    {
        LumicapGetClientPicture(window_, nullptr, 0, &width, &height);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        EXPECT_TRUE(LumicapGetClientPicture(window_, pixels.data(), pixels.size(), &width, &height));
        return pixels;
    }
};

TEST_F(PreviewOptions, MirrorNeedsACameraSetUpAndLogs)
{
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(LumicapSetPreviewMirror(TRUE), MF_E_NOT_INITIALIZED);
    ::CreateInstance(window_);
    EXPECT_EQ(LumicapSetPreviewMirror(FALSE), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("LumicapSetPreviewMirror: 1"), T("CreateInstance"),
                                             T("LumicapSetPreviewMirror: 0")}));
}

TEST_F(PreviewOptions, MirrorsThePreviewButNeverThePhoto)
{
    OpenCamera();
    // Asked before the preview is configured: its first frames are mirrored already.
    ASSERT_EQ(LumicapSetPreviewMirror(TRUE), S_OK);
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    ASSERT_TRUE(PumpTwoFrames());
    EXPECT_TRUE(ShowsBars(LatestFrame(), true));

    ClearMessages();
    ::TakePhotoAsync();
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
    BYTE* data = nullptr;
    INT32 size = 0;
    ::GetLastPhoto(&data, &size);
    const DecodedImage photo = DecodeJpeg(data, static_cast<size_t>(size));
    ::FreePhotoMemory();
    ASSERT_TRUE(photo.ok);
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = bar * 80 + 40;
        EXPECT_TRUE(Near(photo.Pixel(x, kRow), virt::TestPatternPixel(x, kRow, kWidth, kHeight, 0))) << bar;
    }

    // The running preview follows a change.
    ASSERT_EQ(LumicapSetPreviewMirror(FALSE), S_OK);
    ASSERT_TRUE(PumpTwoFrames());
    EXPECT_TRUE(ShowsBars(LatestFrame(), false));
}

TEST_F(PreviewOptions, RefusedMirrorIsReturnedAndChangesNothing)
{
    StartPreviewOn(0);
    virt::FailOperation(virt::operation::kPreviewSetMirrorState, MF_E_INVALIDREQUEST);
    EXPECT_EQ(LumicapSetPreviewMirror(TRUE), MF_E_INVALIDREQUEST);
    ASSERT_TRUE(PumpTwoFrames());
    EXPECT_TRUE(ShowsBars(LatestFrame(), false));
}

TEST_F(PreviewOptions, PictureFollowsTheGrowingWindowWithBlackBars)
{
    ASSERT_TRUE(SetWindowPos(window_, nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER));
    StartPreviewOn(0);
    ASSERT_TRUE(PumpTwoFrames());
    // Wider than 4:3: the picture keeps its shape, 320 wide and centred, with black bars on both sides.
    ASSERT_TRUE(SetWindowPos(window_, nullptr, 0, 0, 480, 240, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(PumpTwoFrames());
    UINT32 width = 0;
    UINT32 height = 0;
    const std::vector<uint32_t> client = ClientPicture(width, height);
    ASSERT_EQ(width, 480u);
    ASSERT_EQ(height, 240u);
    const UINT32 y = 100;
    for (UINT32 x : {0u, 79u, 400u, 479u}) EXPECT_EQ(client[y * width + x], 0u) << x;
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = 80 + bar * 40 + 20;
        EXPECT_EQ(client[y * width + x], virt::TestPatternPixel(bar * 80 + 40, kRow, kWidth, kHeight, 0)) << bar;
    }
}

TEST_F(PreviewOptions, WindowIsGivenBackWhenTheSetUpEnds)
{
    StartPreviewOn(0);
    EXPECT_NE(GetWindowLongPtrW(window_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    OpenCamera();
    EXPECT_EQ(GetWindowLongPtrW(window_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcW));
}

}  // namespace
}  // namespace lumicap::testing
