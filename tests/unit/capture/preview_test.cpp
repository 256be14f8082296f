#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <thread>

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

UINT64 AppliedFrameSize()
{
    UINT64 size = 0;
    virt::EngineState engine = virt::GetEngineState();
    if (engine.appliedType) engine.appliedType->GetUINT64(MF_MT_FRAME_SIZE, &size);
    return size;
}

constexpr UINT64 Size(UINT32 width, UINT32 height) { return (static_cast<UINT64>(width) << 32) | height; }

using Preview = HostTest;

TEST_F(Preview, LogsTheIndexFirstOnEveryCall)
{
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(::StartPreview(2, window_), MF_E_NOT_INITIALIZED);
    ::CreateInstance(window_);
    EXPECT_EQ(::StartPreview(-1, window_), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(::StartPreview(INT32_MIN, window_), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("StartPreview media type index: 2"), T("CreateInstance"),
                                             T("StartPreview media type index: -1"),
                                             T("StartPreview media type index: -2147483648")}));
}

TEST_F(Preview, FullStartGivesTheSinkAnRgb32CopyOfTheChosenFormat)
{
    StartPreviewOn(3);
    virt::PreviewSinkState sink = virt::GetPreviewSinkState();
    EXPECT_EQ(sink.renderHandle, static_cast<HANDLE>(window_));
    ASSERT_EQ(sink.streams.size(), 1u);
    EXPECT_EQ(sink.streams[0].sourceStreamIndex, static_cast<DWORD>(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW));
    UINT64 size = 0;
    sink.streams[0].mediaType->GetUINT64(MF_MT_FRAME_SIZE, &size);
    EXPECT_EQ(size, Size(1920, 1080));
    // The chosen format is MJPG, which the preview sink refuses: it gets RGB32 at the same size and rate.
    GUID subtype = GUID_NULL;
    EXPECT_EQ(sink.streams[0].mediaType->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
    EXPECT_EQ(subtype, MFVideoFormat_RGB32);
    UINT64 rate = 0;
    EXPECT_EQ(sink.streams[0].mediaType->GetUINT64(MF_MT_FRAME_RATE, &rate), S_OK);
    EXPECT_EQ(rate, Size(30, 1));
    UINT32 independent = 0;
    EXPECT_EQ(sink.streams[0].mediaType->GetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, &independent), S_OK);
    EXPECT_EQ(independent, 1u);
    EXPECT_EQ(AppliedFrameSize(), Size(1920, 1080));
    EXPECT_TRUE(Manager().isPreviewing);
}

TEST_F(Preview, StartWhilePreviewingChangesNothing)
{
    StartPreviewOn(0);
    HWND other = LumicapCreateMessageWindow();
    EXPECT_EQ(::StartPreview(5, other), S_OK);
    EXPECT_EQ(Manager().previewWindow, window_);
    EXPECT_EQ(virt::GetPreviewSinkState().streams.size(), 1u);
    DestroyWindow(other);
}

TEST_F(Preview, RestartKeepsTheFirstWindowAndFormat)
{
    StartPreviewOn(3);
    ::StopPreview();
    HWND other = LumicapCreateMessageWindow();
    EXPECT_EQ(::StartPreview(0, other), S_OK);
    EXPECT_EQ(Manager().previewWindow, other);
    virt::PreviewSinkState sink = virt::GetPreviewSinkState();
    EXPECT_EQ(sink.renderHandle, static_cast<HANDLE>(window_));
    EXPECT_EQ(sink.streams.size(), 1u);
    EXPECT_EQ(AppliedFrameSize(), Size(1920, 1080));
    ::StopPreview();
    DestroyWindow(other);
}

TEST_F(Preview, NewInitializeTakesTheFullPathAgain)
{
    StartPreviewOn(3);
    ::StopPreview();
    StartPreviewOn(0);
    EXPECT_EQ(AppliedFrameSize(), Size(640, 480));
}

TEST_F(Preview, MissingCurrentTypeAttributeFailsWithoutKeepingTheSink)
{
    for (bool aspect : {true, false}) {
        virt::Camera camera = virt::DefaultCameras()[0];
        (aspect ? camera.formats[0].hasPixelAspectRatio : camera.formats[0].hasInterlaceMode) = false;
        virt::SetCameras({camera});
        ResetModule();
        OpenCamera();
        EXPECT_EQ(::StartPreview(1, window_), MF_E_ATTRIBUTENOTFOUND);
        EXPECT_FALSE(Manager().previewSink);
        EXPECT_FALSE(Manager().isPreviewing);
        // No restart with a sink that never got a stream: the next start configures again.
        EXPECT_EQ(::StartPreview(1, window_), MF_E_ATTRIBUTENOTFOUND);
    }
}

TEST_F(Preview, RefusedFormatDoesNotChangeTheResult)
{
    OpenCamera();
    virt::FailOperation("IMFCaptureSource::SetCurrentDeviceMediaType", E_FAIL);
    EXPECT_EQ(::StartPreview(2, window_), S_OK);
    EXPECT_TRUE(Manager().isPreviewing);
}

class IndexOutOfRange : public HostTest, public ::testing::WithParamInterface<INT32> {};

TEST_P(IndexOutOfRange, EndsAtTheFailedFetchWithoutStarting)
{
    OpenCamera();
    EXPECT_EQ(::StartPreview(GetParam(), window_), MF_E_NO_MORE_TYPES);
    EXPECT_FALSE(Manager().previewSink);
    EXPECT_TRUE(virt::GetPreviewSinkState().streams.empty());
    EXPECT_EQ(virt::OperationCount("IMFCaptureSource::SetCurrentDeviceMediaType"), 0u);
    EXPECT_EQ(virt::OperationCount("IMFCaptureEngine::StartPreview"), 0u);
    EXPECT_FALSE(Manager().isPreviewing);
}

INSTANTIATE_TEST_SUITE_P(Indices, IndexOutOfRange, ::testing::Values(-1, INT32_MIN, 6, INT32_MAX));

struct StartFailure {
    const char* operation;
    bool sinkKept;
};

class StartStepFails : public HostTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartStepFails, ReturnsThatStepsCode)
{
    OpenCamera();
    const HRESULT failure = static_cast<HRESULT>(0x8007ABCD);
    virt::FailOperation(GetParam().operation, failure);
    EXPECT_EQ(::StartPreview(0, window_), failure) << GetParam().operation;
    EXPECT_EQ(static_cast<bool>(Manager().previewSink), GetParam().sinkKept) << GetParam().operation;
    EXPECT_FALSE(Manager().isPreviewing);
}

INSTANTIATE_TEST_SUITE_P(Steps, StartStepFails,
                         ::testing::Values(StartFailure{"IMFCaptureEngine::GetSink", false},
                                           StartFailure{"IMFCaptureSink::QueryInterface", false},
                                           StartFailure{"IMFCapturePreviewSink::SetRenderHandle", false},
                                           StartFailure{"IMFCaptureEngine::GetSource", false},
                                           StartFailure{"IMFCaptureSource::GetCurrentDeviceMediaType", false},
                                           StartFailure{"MFCreateMediaType", false},
                                           StartFailure{"IMFMediaType::SetUINT32", false},
                                           StartFailure{"IMFCapturePreviewSink::AddStream", false},
                                           StartFailure{"IMFCaptureEngine::StartPreview", true}));

TEST_F(Preview, StopLogsAndClearsTheFlag)
{
    ::SetLogCallback(RecordLog);
    ::StopPreview();
    EXPECT_TRUE(LogLines().empty());
    ::CreateInstance(window_);
    ::StopPreview();
    EXPECT_EQ(LogLines().back(), T("StopPreview"));
    StartPreviewOn(1);
    ::StopPreview();
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_EQ(LogLines().back(), T("StopPreview"));
}

TEST_F(Preview, RefusedStopKeepsThePreview)
{
    StartPreviewOn(1);
    virt::FailOperation("IMFCaptureEngine::StopPreview", E_FAIL);
    ::StopPreview();
    EXPECT_TRUE(Manager().isPreviewing);
}

TEST_F(Preview, StartStopWithoutPumpingNeverBlocksTheHost)
{
    OpenCamera();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(::StartPreview(0, window_), S_OK);
        ::StopPreview();
        EXPECT_FALSE(Manager().isPreviewing);
    }
}

TEST_F(Preview, StopFromAnotherThreadWaitsForTheEngine)
{
    StartPreviewOn(0);
    ClearMessages();
    std::atomic<bool> stopped{false};
    std::thread other([&] {
        ::StopPreview();
        stopped = true;
    });
    // The host thread keeps pumping; the stop's event releases the other thread.
    EXPECT_TRUE(PumpUntil([&] { return stopped.load(); }));
    other.join();
    EXPECT_FALSE(Manager().isPreviewing);
}

TEST_F(Preview, FramesArriveInTheWindowWithTheTestPattern)
{
    StartPreviewOn(0);
    ASSERT_TRUE(PumpUntil([&] { return LumicapGetFrameCount(window_) >= 3; }));
    std::vector<uint32_t> pixels(640 * 480);
    UINT32 width = 0;
    UINT32 height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(window_, pixels.data(), pixels.size(), &width, &height));
    ASSERT_EQ(width, 640u);
    ASSERT_EQ(height, 480u);
    // Colour bars away from the counter row and the moving square.
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = bar * 80 + 40;
        EXPECT_EQ(pixels[200 * 640 + x], virt::TestPatternPixel(x, 200, 640, 480, 0)) << bar;
    }
    EXPECT_EQ(pixels[200 * 640 + 40], 0xFFFFFFu & 0xFFFFFF);
    EXPECT_EQ(pixels[200 * 640 + 600], 0x000000u);
}

}  // namespace
}  // namespace lumicap::testing
