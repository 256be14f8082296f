#include "support/virtual_engine_support.h"

#include "platform/capture_engine/late_stop.h"

namespace lumicap::virt::engine_tests {
namespace {

using VirtualEnginePreview = EngineTest;

struct Frame {
    UINT32 width = 0;
    UINT32 height = 0;
    std::vector<uint32_t> pixels;
};

Frame LatestFrame(HWND window)
{
    Frame frame;
    frame.pixels.resize(1024 * 1024);
    if (!LumicapGetLatestFrame(window, frame.pixels.data(), frame.pixels.size(), &frame.width, &frame.height)) {
        return Frame{};
    }
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    return frame;
}

// The frame index a test-pattern picture shows in its counter cells along the top row.
uint64_t CounterOf(const Frame& frame)
{
    uint64_t index = 0;
    for (UINT32 cell = 0; cell < 32 && cell * 8 + 8 <= frame.width; ++cell) {
        if (frame.pixels[static_cast<size_t>(4) * frame.width + cell * 8 + 4] == 0xFFFFFF) index |= 1ull << cell;
    }
    return index;
}

size_t MismatchesWithPattern(const Frame& frame, uint64_t index)
{
    size_t mismatches = 0;
    for (UINT32 y = 0; y < frame.height; ++y) {
        for (UINT32 x = 0; x < frame.width; ++x) {
            if (frame.pixels[static_cast<size_t>(y) * frame.width + x] !=
                TestPatternPixel(x, y, frame.width, frame.height, index)) {
                ++mismatches;
            }
        }
    }
    return mismatches;
}

TEST_F(VirtualEnginePreview, NeedsAPreviewStream)
{
    StartEngine();
    EXPECT_EQ(engine_->StartPreview(), MF_E_INVALIDREQUEST);
    ComPtr<IMFCapturePreviewSink> sink = PreviewSink();
    ASSERT_TRUE(sink);
    ASSERT_EQ(sink->AddStream(0, SinkType(MFVideoFormat_RGB32, 32, 24).Get(), nullptr, nullptr), S_OK);
    ASSERT_EQ(sink->RemoveAllStreams(), S_OK);
    EXPECT_EQ(engine_->StartPreview(), MF_E_INVALIDREQUEST);
    EXPECT_TRUE(GetPreviewSinkState().streams.empty());
    ASSERT_TRUE(RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_RECORD_STARTED));
    EXPECT_EQ(callback_->Events().size(), 2u);
}

TEST_F(VirtualEnginePreview, SinkRecordsStreamsAndRenderHandle)
{
    StartEngine();
    ComPtr<IMFCapturePreviewSink> sink = PreviewSink();
    ASSERT_TRUE(sink);
    ComPtr<IMFMediaType> first = SinkType(MFVideoFormat_RGB32, 32, 24);
    ComPtr<IMFMediaType> second = SinkType(MFVideoFormat_RGB32, 16, 8);
    DWORD index = 99;
    EXPECT_EQ(sink->AddStream(0, nullptr, nullptr, &index), E_INVALIDARG);
    EXPECT_EQ(sink->AddStream(5, first.Get(), nullptr, &index), MF_E_INVALIDSTREAMNUMBER);
    // As the system's preview sink: uncompressed types only.
    for (const GUID* compressed : {&MFVideoFormat_MJPG, &MFVideoFormat_H264}) {
        EXPECT_EQ(sink->AddStream(0, SinkType(*compressed, 32, 24).Get(), nullptr, &index), MF_E_INVALIDMEDIATYPE);
    }
    EXPECT_EQ(index, 99u);
    EXPECT_EQ(sink->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW, first.Get(), nullptr, &index),
              S_OK);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(sink->AddStream(0, second.Get(), nullptr, &index), S_OK);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(sink->SetRenderHandle(window_), S_OK);

    FailOperation("IMFCapturePreviewSink::AddStream", E_OUTOFMEMORY, 1);
    EXPECT_EQ(sink->AddStream(0, first.Get(), nullptr, &index), E_OUTOFMEMORY);
    FailOperation("IMFCapturePreviewSink::SetRenderHandle", E_HANDLE, 1);
    EXPECT_EQ(sink->SetRenderHandle(nullptr), E_HANDLE);

    PreviewSinkState state = GetPreviewSinkState();
    EXPECT_TRUE(state.exists);
    EXPECT_EQ(state.renderHandle, static_cast<HANDLE>(window_));
    ASSERT_EQ(state.streams.size(), 2u);
    EXPECT_EQ(state.streams[0].sourceStreamIndex,
              static_cast<DWORD>(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW));
    EXPECT_EQ(state.streams[0].mediaType.Get(), first.Get());
    EXPECT_EQ(state.streams[1].mediaType.Get(), second.Get());
    EXPECT_EQ(sink->SetRenderSurface(nullptr), E_NOTIMPL);
}

TEST_F(VirtualEnginePreview, FramesArriveInTheWindowAsTheTestPatternAtTheStreamsSize)
{
    StartEngine();
    EXPECT_EQ(GetEngineState().framesRendered, 0u);
    StartPreviewAt(96, 64, 60);
    EXPECT_TRUE(GetEngineState().previewing);
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) >= 5; }));
    ASSERT_TRUE(WaitUntil([&] { return GetEngineState().framesRendered >= 5; }));

    const Frame frame = LatestFrame(window_);
    ASSERT_EQ(frame.width, 96u);
    ASSERT_EQ(frame.height, 64u);
    const uint64_t index = CounterOf(frame);
    EXPECT_GE(index, 1u);
    EXPECT_EQ(MismatchesWithPattern(frame, index), 0u);
}

TEST_F(VirtualEnginePreview, StreamTypeWithoutSizeOrRateFallsBackToTheCurrentDeviceType)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ComPtr<IMFMediaType> small;
    ASSERT_EQ(source->GetAvailableDeviceMediaType(0, 1, small.Put()), S_OK);
    ASSERT_EQ(source->SetCurrentDeviceMediaType(0, small.Get()), S_OK);
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 0, 0).Get());
    ASSERT_EQ(engine_->StartPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) >= 2; }));
    const Frame frame = LatestFrame(window_);
    EXPECT_EQ(frame.width, 96u);
    EXPECT_EQ(frame.height, 64u);
    EXPECT_EQ(MismatchesWithPattern(frame, CounterOf(frame)), 0u);
}

TEST_F(VirtualEnginePreview, StopEndsRenderingAndRestartCarriesOnCounting)
{
    StartEngine();
    StartPreviewAt(64, 48, 60);
    ASSERT_TRUE(WaitUntil([&] { return GetEngineState().framesRendered >= 3; }));
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    RecordedEvent stopped{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, &stopped));
    EXPECT_EQ(stopped.status, S_OK);
    EngineState state = GetEngineState();
    EXPECT_FALSE(state.previewing);
    const UINT64 shown = LumicapGetFrameCount(window_);
    EXPECT_EQ(shown, state.framesRendered);
    // Rendering has ended before STOPPED was reported, so nothing more can be drawn.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(LumicapGetFrameCount(window_), shown);
    EXPECT_EQ(GetEngineState().framesRendered, state.framesRendered);

    ASSERT_EQ(engine_->StartPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED, nullptr, 2));
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) > shown; }));
    EXPECT_GE(CounterOf(LatestFrame(window_)), shown);
}

TEST_F(VirtualEnginePreview, StopWithoutPreviewIsStillReported)
{
    StartEngine();
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    RecordedEvent stopped{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, &stopped));
    EXPECT_EQ(stopped.status, S_OK);
    EXPECT_EQ(GetEngineState().framesRendered, 0u);
}

TEST_F(VirtualEnginePreview, FailedStartStatusRendersNothing)
{
    StartEngine();
    SetNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STARTED, E_ACCESSDENIED);
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 32, 24, 60).Get());
    ASSERT_EQ(engine_->StartPreview(), S_OK);
    RecordedEvent started{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED, &started));
    EXPECT_EQ(started.status, E_ACCESSDENIED);
    EngineState state = GetEngineState();
    EXPECT_FALSE(state.previewing);
    EXPECT_EQ(state.framesRendered, 0u);
    EXPECT_EQ(LumicapGetFrameCount(window_), 0u);

    ASSERT_EQ(engine_->StartPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED, &started, 2));
    EXPECT_EQ(started.status, S_OK);
    EXPECT_TRUE(GetEngineState().previewing);
}

TEST_F(VirtualEnginePreview, UnplugStopsRenderingAndReportsAnInvalidatedDevice)
{
    StartEngine();
    StartPreviewAt(32, 24, 60);
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) >= 2; }));
    ASSERT_EQ(RemoveCamera(TEXT("Small Test Camera")), 1);
    RecordedEvent error{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_ERROR, &error));
    EXPECT_EQ(error.status, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_NE(error.thread, std::this_thread::get_id());
    EXPECT_FALSE(GetEngineState().previewing);
    const UINT64 shown = LumicapGetFrameCount(window_);
    EXPECT_EQ(shown, GetEngineState().framesRendered);

    auto photoOutput = RecordingByteStream::Create();
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 32, 24).Get(), photoOutput.Get());
    EXPECT_EQ(engine_->StartPreview(), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(engine_->TakePhoto(), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(engine_->StopPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED));
    EXPECT_EQ(LumicapGetFrameCount(window_), shown);
    // The unplug is reported once.
    size_t errors = 0;
    for (const RecordedEvent& event : callback_->Events()) errors += event.type == MF_CAPTURE_ENGINE_ERROR;
    EXPECT_EQ(errors, 1u);
}

TEST_F(VirtualEnginePreview, ReleasingAPreviewingEngineDeliversNothingMoreAndStopsDrawingLater)
{
    StartEngine();
    StartPreviewAt(32, 24, 60);
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) >= 2; }));
    // Leave events waiting in the engine: they must die with it.
    HoldEvents(true);
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !GetEngineState().previewing; }));
    ASSERT_TRUE(RaiseEngineError(E_FAIL));
    ASSERT_EQ(engine_->StartPreview(), S_OK);

    engine_.Reset();
    EXPECT_FALSE(GetEngineState().exists);
    EXPECT_EQ(callback_->References(), 1u);
    HoldEvents(false);
    // As the system's, an engine released while it draws stops drawing on its own thread, later.
    FinishLateStops();
    const UINT64 shown = LumicapGetFrameCount(window_);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(callback_->Events().size(), 2u);  // INITIALIZED and PREVIEW_STARTED only
    EXPECT_EQ(LumicapGetFrameCount(window_), shown);
}

TEST_F(VirtualEnginePreview, RendersTheDefaultCameraAtItsFirstFormat)
{
    Reset();
    StartEngine();
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 0, 0).Get());
    ASSERT_EQ(engine_->StartPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    ASSERT_TRUE(WaitUntil([&] { return LumicapGetFrameCount(window_) >= 1; }));
    const Frame frame = LatestFrame(window_);
    EXPECT_EQ(frame.width, 640u);
    EXPECT_EQ(frame.height, 480u);
    EXPECT_EQ(MismatchesWithPattern(frame, CounterOf(frame)), 0u);
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
