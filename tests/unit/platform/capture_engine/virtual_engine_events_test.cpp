#include "support/virtual_engine_support.h"

namespace lumicap::virt::engine_tests {
namespace {

using VirtualEngineEvents = EngineTest;

std::vector<GUID> TypesOf(const std::vector<RecordedEvent>& events)
{
    std::vector<GUID> types;
    for (const RecordedEvent& event : events) types.push_back(event.type);
    return types;
}

TEST_F(VirtualEngineEvents, HeldEventsWaitAndArriveInOrderWithOrWithoutDelay)
{
    for (unsigned delay : {0u, 15u}) {
        SCOPED_TRACE(delay);
        callback_ = RecordingCallback::Create();
        StartEngine();
        auto output = RecordingByteStream::Create();
        SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 64, 48).Get(), output.Get());
        AddPreviewStream(SinkType(MFVideoFormat_RGB32, 32, 24, 60).Get());
        SetEventDelay(delay);
        HoldEvents(true);
        ASSERT_EQ(engine_->StartPreview(), S_OK);
        ASSERT_EQ(engine_->TakePhoto(), S_OK);
        ASSERT_EQ(engine_->StopPreview(), S_OK);
        ASSERT_TRUE(RaiseEngineError(E_UNEXPECTED));
        // The work goes on while its events wait: the photo is written, the preview ran and stopped.
        ASSERT_TRUE(WaitUntil([&] { return output->WriteCalls() > 0; }));
        ASSERT_TRUE(WaitUntil([&] { return !GetEngineState().previewing; }));
        EXPECT_EQ(callback_->Events().size(), 1u);

        HoldEvents(false);
        ASSERT_TRUE(callback_->WaitForCount(5));
        const std::vector<RecordedEvent> events = callback_->Events();
        EXPECT_EQ(TypesOf(events),
                  (std::vector<GUID>{MF_CAPTURE_ENGINE_INITIALIZED, MF_CAPTURE_ENGINE_PREVIEW_STARTED,
                                     MF_CAPTURE_ENGINE_PHOTO_TAKEN, MF_CAPTURE_ENGINE_PREVIEW_STOPPED,
                                     MF_CAPTURE_ENGINE_ERROR}));
        EXPECT_EQ(events.back().status, E_UNEXPECTED);
        SetEventDelay(0);
        engine_.Reset();
    }
}

TEST_F(VirtualEngineEvents, RaisedEventsComeFromTheWorker)
{
    StartEngine();
    const GUID custom = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_TRUE(RaiseEngineEvent(custom, E_ABORT));
    ASSERT_TRUE(RaiseEngineError(MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED));
    RecordedEvent raised{}, error{};
    ASSERT_TRUE(callback_->WaitFor(custom, &raised));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_ERROR, &error));
    EXPECT_EQ(raised.status, E_ABORT);
    EXPECT_EQ(error.status, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_NE(raised.thread, std::this_thread::get_id());
    EXPECT_EQ(raised.thread, error.thread);
    // A raised error is only a report: the engine keeps working.
    EXPECT_EQ(engine_->StopPreview(), S_OK);
    engine_.Reset();
    EXPECT_FALSE(RaiseEngineError(E_FAIL));
}

TEST_F(VirtualEngineEvents, NextStatusIsPerTypeReplacedBySettingAgainAndClearedByReset)
{
    StartEngine();
    SetNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, E_FAIL);
    SetNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, E_ABORT);
    SetNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STARTED, E_ACCESSDENIED);
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    RecordedEvent first{}, second{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, &first, 1));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, &second, 2));
    EXPECT_EQ(first.status, E_ABORT);
    EXPECT_EQ(second.status, S_OK);
    // The override for another type is still waiting, until the engine side is reset.
    ResetEngines();
    StartPreviewAt(32, 24);
}

TEST_F(VirtualEngineEvents, ResettingReleasesHeldEvents)
{
    StartEngine();
    HoldEvents(true);
    SetEventDelay(5);
    ASSERT_TRUE(RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    ResetEngines();
    EXPECT_FALSE(CurrentEventControl().hold);
    EXPECT_EQ(CurrentEventControl().delayMilliseconds, 0u);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_RECORD_STARTED));
}

TEST_F(VirtualEngineEvents, CallbackMayReleaseTheLastEngineReference)
{
    engine_ = NewEngine();
    ComPtr<IMFActivate> camera = CameraActivate();
    ASSERT_TRUE(engine_ && camera);
    // The engine's only reference goes to the callback, which lets go of it on the worker.
    IMFCaptureEngine* engine = engine_.Get();
    std::mutex mutex;
    ComPtr<IMFCaptureEngine> held = std::move(engine_);
    callback_->SetHook([&](const RecordedEvent&) {
        ComPtr<IMFCaptureEngine> last;
        std::lock_guard<std::mutex> lock(mutex);
        last = std::move(held);
    });
    // Initialize returns before INITIALIZED can be delivered, so the engine is still alive here.
    ASSERT_EQ(engine->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED));
    ASSERT_TRUE(WaitUntil([] { return !GetEngineState().exists; }));
    ASSERT_TRUE(WaitUntil([&] { return callback_->References() == 1; }));
    callback_->SetHook(nullptr);
}

TEST_F(VirtualEngineEvents, HostCallsRaceWithUnplugAndControl)
{
    StartEngine();
    auto output = RecordingByteStream::Create();
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 48, 32).Get(), output.Get());
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 32, 24, 120).Get());
    std::atomic<bool> done{false};
    std::thread observer([&] {
        while (!done) {
            EngineState state = GetEngineState();
            PreviewSinkState preview = GetPreviewSinkState();
            PhotoSinkState photo = GetPhotoSinkState();
            HoldEvents(state.framesRendered % 2 == 0);
        }
        HoldEvents(false);
    });
    std::thread unplugger([&] {
        ASSERT_TRUE(WaitUntil([] { return GetEngineState().framesRendered >= 3; }));
        EXPECT_EQ(RemoveCamera(TEXT("Small Test Camera")), 1);
    });
    unsigned refusedAfterUnplug = 0;
    for (int i = 0; i < 100000 && refusedAfterUnplug < 20; ++i) {
        for (HRESULT hr : {engine_->StartPreview(), engine_->TakePhoto(), engine_->StopPreview()}) {
            EXPECT_TRUE(hr == S_OK || hr == MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED) << std::hex << hr;
            refusedAfterUnplug += hr == MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        }
    }
    unplugger.join();
    done = true;
    observer.join();
    HoldEvents(false);
    RecordedEvent error{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_ERROR, &error));
    EXPECT_EQ(error.status, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    engine_.Reset();
    size_t errors = 0;
    for (const RecordedEvent& event : callback_->Events()) errors += event.type == MF_CAPTURE_ENGINE_ERROR;
    EXPECT_EQ(errors, 1u);
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
