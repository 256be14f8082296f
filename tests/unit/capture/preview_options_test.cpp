// The preview beyond the eleven, through the exports: mirroring and a picture that follows its window.
#include "support/jpeg_decode.h"
#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace lumicap::testing {
namespace {

constexpr UINT32 kWidth = 640;  // format 0 of the virtual camera: 640x480
constexpr UINT32 kHeight = 480;
constexpr UINT32 kRow = 200;  // clear of the frame counter and the moving square

// Whether the row of a 640x480 frame shows the bars, left to right or mirrored.
bool ShowsBarsIn(const std::vector<uint32_t>& pixels, bool mirrored = false)
{
    for (UINT32 x = 0; x < kWidth; x += 16) {
        const UINT32 source = mirrored ? kWidth - 1 - x : x;
        if (pixels[kRow * kWidth + x] != virt::TestPatternPixel(source, kRow, kWidth, kHeight, 0)) return false;
    }
    return true;
}

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

    static bool ShowsBars(const std::vector<uint32_t>& pixels, bool mirrored) { return ShowsBarsIn(pixels, mirrored); }

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


class PreviewFrames : public HostTest {
protected:
    void TearDown() override
    {
        LumicapSetPreviewFrames(FALSE);
        HostTest::TearDown();
    }

    // Starts a frames-mode preview of format 0 (640x480) in the window, or with none.
    void StartFrames(HWND window)
    {
        ASSERT_EQ(LumicapSetPreviewFrames(TRUE), S_OK);
        OpenCamera();
        ASSERT_EQ(::StartPreview(0, window), S_OK);
    }

    struct Taken {
        HRESULT hr = E_FAIL;
        UINT32 width = 0;
        UINT32 height = 0;
        UINT64 number = 0;
        std::vector<UINT32> pixels;
    };

    static Taken Take(UINT64 capacity = kWidth * kHeight)
    {
        Taken taken;
        taken.pixels.resize(static_cast<size_t>(capacity));
        taken.hr = LumicapGetPreviewFrame(&taken.width, &taken.height, taken.pixels.data(), capacity, &taken.number);
        return taken;
    }

    bool PumpUntilFrameAfter(UINT64 number)
    {
        return PumpUntil([&] { return Take().number > number; });
    }
};

TEST_F(PreviewFrames, ResultsBeforeAndWithoutFrames)
{
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(Take().hr, MF_E_NOT_INITIALIZED);
    EXPECT_EQ(LumicapSetPreviewFrames(TRUE), S_OK);
    OpenCamera();
    const Taken none = Take();
    EXPECT_EQ(none.hr, HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(none.width, 0u);
    EXPECT_EQ(none.height, 0u);
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 number = 0;
    EXPECT_EQ(LumicapGetPreviewFrame(nullptr, &height, nullptr, 0, &number), E_POINTER);
    EXPECT_EQ(LumicapGetPreviewFrame(&width, nullptr, nullptr, 0, &number), E_POINTER);
    EXPECT_EQ(LumicapGetPreviewFrame(&width, &height, nullptr, 0, nullptr), E_POINTER);
    const std::vector<Text>& lines = LogLines();
    EXPECT_EQ(lines.front(), T("LumicapGetPreviewFrame"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), T("LumicapSetPreviewFrames: 1")), lines.end());
}

TEST_F(PreviewFrames, NewestFrameHasTheBarsAtTheFormatsSizeWithGrowingNumbers)
{
    ASSERT_TRUE(SetWindowPos(window_, nullptr, 0, 0, 480, 240, SWP_NOMOVE | SWP_NOZORDER));
    StartFrames(window_);
    ASSERT_EQ(LumicapSetPreviewMirror(TRUE), S_OK);
    // The sink is asked for rows as the host reads them: top row first, packed.
    ComPtr<IMFMediaType> type;
    UINT32 stride = 0;
    ASSERT_EQ(Module().theManager->previewSink->GetOutputMediaType(0, type.Put()), S_OK);
    EXPECT_EQ(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride), S_OK);
    EXPECT_EQ(stride, kWidth * 4);
    ASSERT_TRUE(PumpUntilFrameAfter(1));

    const Taken small = Take(kWidth * kHeight - 1);
    EXPECT_EQ(small.hr, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small.width, kWidth);
    EXPECT_EQ(small.height, kHeight);
    EXPECT_TRUE(std::all_of(small.pixels.begin(), small.pixels.end(), [](UINT32 p) { return p == 0; }));

    const Taken first = Take();
    ASSERT_EQ(first.hr, S_OK);
    EXPECT_EQ(first.width, kWidth);
    EXPECT_EQ(first.height, kHeight);
    // The host's frame is as the camera sees it, although the picture in the window is mirrored.
    EXPECT_TRUE(ShowsBarsIn(first.pixels));
    ASSERT_TRUE(PumpUntilFrameAfter(first.number));
    EXPECT_GT(Take().number, first.number);

    // The library drew the picture itself: 320 wide in the middle of the 480x240 window, mirrored.
    std::vector<uint32_t> client(480 * 240);
    UINT32 width = 0;
    UINT32 height = 0;
    ASSERT_TRUE(LumicapGetClientPicture(window_, client.data(), client.size(), &width, &height));
    const UINT32 y = 100;
    for (UINT32 x : {0u, 79u, 400u, 479u}) EXPECT_EQ(client[y * 480 + x], 0u) << x;
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = 80 + bar * 40 + 20;
        EXPECT_EQ(client[y * 480 + x], virt::TestPatternPixel(kWidth - 1 - (bar * 80 + 40), kRow, kWidth, kHeight, 0))
            << bar;
    }
}

TEST_F(PreviewFrames, RefusedSampleCallbackFailsTheStartAndTheNextStartConfiguresAfresh)
{
    ASSERT_EQ(LumicapSetPreviewFrames(TRUE), S_OK);
    OpenCamera();
    virt::FailOperation(virt::operation::kPreviewSetSampleCallback, E_ACCESSDENIED, 1);
    EXPECT_EQ(::StartPreview(0, window_), E_ACCESSDENIED);
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    EXPECT_TRUE(PumpUntilFrameAfter(0));
}

TEST_F(PreviewFrames, NullWindowGivesFramesOnlyToAnyThread)
{
    StartFrames(nullptr);
    // A host's worker thread polls while the host's own thread pumps the engine's messages.
    std::atomic<UINT64> seen{0};
    std::atomic<bool> barsSeen{false};
    std::thread worker([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (seen.load() < 3 && std::chrono::steady_clock::now() < deadline) {
            const Taken taken = Take();
            if (taken.hr == S_OK && taken.number > seen.load()) {
                barsSeen = ShowsBarsIn(taken.pixels);
                seen = taken.number;
            }
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return seen.load() >= 3; }));
    worker.join();
    EXPECT_TRUE(barsSeen.load());
    EXPECT_EQ(LumicapGetFrameCount(window_), 0u);
    EXPECT_EQ(virt::GetPreviewSinkState().renderHandle, nullptr);
}

}  // namespace
}  // namespace lumicap::testing
