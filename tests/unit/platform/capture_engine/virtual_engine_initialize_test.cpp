#include "support/virtual_engine_support.h"

namespace lumicap::virt::engine_tests {
namespace {

using VirtualEngineInitialize = EngineTest;

TEST_F(VirtualEngineInitialize, EverythingButInitializeWaitsForIt)
{
    engine_ = NewEngine();
    ASSERT_TRUE(engine_);
    ComPtr<IMFCaptureSink> sink;
    ComPtr<IMFCaptureSource> source;
    struct Case {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT expected;
    };
    const Case cases[] = {
        {"StartPreview", [&] { return engine_->StartPreview(); }, MF_E_NOT_INITIALIZED},
        {"StopPreview", [&] { return engine_->StopPreview(); }, MF_E_NOT_INITIALIZED},
        {"TakePhoto", [&] { return engine_->TakePhoto(); }, MF_E_NOT_INITIALIZED},
        {"GetSink preview", [&] { return engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, sink.Put()); },
         MF_E_NOT_INITIALIZED},
        {"GetSink photo", [&] { return engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO, sink.Put()); },
         MF_E_NOT_INITIALIZED},
        {"GetSource", [&] { return engine_->GetSource(source.Put()); }, MF_E_NOT_INITIALIZED},
        {"StartRecord", [&] { return engine_->StartRecord(); }, E_NOTIMPL},
        {"StopRecord", [&] { return engine_->StopRecord(TRUE, FALSE); }, E_NOTIMPL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.expected);
    }
    EXPECT_FALSE(sink);
    EXPECT_FALSE(source);
    EXPECT_FALSE(RaiseEngineError(E_FAIL));
    EXPECT_FALSE(GetEngineState().initialized);
    EXPECT_TRUE(callback_->Events().empty());
}

TEST_F(VirtualEngineInitialize, RefusesMissingOrForeignArgumentsAndKeepsNothing)
{
    engine_ = NewEngine();
    ASSERT_TRUE(engine_);
    ComPtr<IMFActivate> camera = CameraActivate();
    ASSERT_TRUE(camera);
    ComPtr<IMFAttributes> foreign;
    ASSERT_EQ(platform::MFCreateAttributes(foreign.Put(), 1), S_OK);
    struct Case {
        const char* name;
        IMFCaptureEngineOnEventCallback* callback;
        IUnknown* video;
    };
    const Case cases[] = {
        {"no callback", nullptr, camera.Get()},
        {"no video source", callback_.Get(), nullptr},
        {"neither", nullptr, nullptr},
        {"attribute store as video source", callback_.Get(), foreign.Get()},
        {"callback as video source", callback_.Get(), callback_.Get()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine_->Initialize(c.callback, nullptr, nullptr, c.video), E_INVALIDARG);
        EXPECT_EQ(callback_->References(), 1u);
        EXPECT_FALSE(GetEngineState().initialized);
    }
    // None of the refusals counts as the first Initialize.
    ASSERT_EQ(engine_->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED));
    ASSERT_TRUE(RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_RECORD_STARTED));
    EXPECT_EQ(callback_->Events().size(), 2u);
}

TEST_F(VirtualEngineInitialize, SecondInitializeIsAnInvalidRequest)
{
    StartEngine();
    ComPtr<IMFActivate> camera = CameraActivate();
    auto other = RecordingCallback::Create();
    EXPECT_EQ(engine_->Initialize(other.Get(), nullptr, nullptr, camera.Get()), MF_E_INVALIDREQUEST);
    EXPECT_EQ(engine_->Initialize(nullptr, nullptr, nullptr, nullptr), MF_E_INVALIDREQUEST);
    EXPECT_EQ(other->References(), 1u);
    EXPECT_TRUE(GetEngineState().initialized);
}

TEST_F(VirtualEngineInitialize, EventsArriveOnOneWorkerThreadOnly)
{
    StartEngine();
    StartPreviewAt(32, 24);
    ASSERT_EQ(engine_->StopPreview(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STOPPED));
    const std::vector<RecordedEvent> events = callback_->Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_NE(events[0].thread, std::this_thread::get_id());
    for (const RecordedEvent& event : events) EXPECT_EQ(event.thread, events[0].thread);
}

TEST_F(VirtualEngineInitialize, AlreadyUnpluggedCameraReportsInvalidatedDevice)
{
    engine_ = NewEngine();
    ComPtr<IMFActivate> camera = CameraActivate();
    ASSERT_TRUE(engine_ && camera);
    ASSERT_EQ(RemoveCamera(TEXT("Small Test Camera")), 1);
    ASSERT_EQ(engine_->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), S_OK);
    RecordedEvent initialized{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED, &initialized));
    EXPECT_EQ(initialized.status, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 32, 24).Get());
    EXPECT_EQ(engine_->StartPreview(), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(engine_->TakePhoto(), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    // The unplug was already reported through INITIALIZED: no separate error follows it.
    ASSERT_TRUE(RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STOPPED, S_OK));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_RECORD_STOPPED));
    EXPECT_EQ(callback_->Events().size(), 2u);
}

TEST_F(VirtualEngineInitialize, InjectedFaultAndStatusOverride)
{
    engine_ = NewEngine();
    ComPtr<IMFActivate> camera = CameraActivate();
    ASSERT_TRUE(engine_ && camera);
    FailOperation("IMFCaptureEngine::Initialize", E_ACCESSDENIED, 1);
    EXPECT_EQ(engine_->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), E_ACCESSDENIED);
    EXPECT_FALSE(GetEngineState().initialized);

    SetNextEventStatus(MF_CAPTURE_ENGINE_INITIALIZED, E_OUTOFMEMORY);
    ASSERT_EQ(engine_->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), S_OK);
    RecordedEvent initialized{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED, &initialized));
    EXPECT_EQ(initialized.status, E_OUTOFMEMORY);

    // The override was used up by that event.
    ComPtr<IMFCaptureEngine> next = NewEngine();
    auto nextCallback = RecordingCallback::Create();
    ASSERT_EQ(next->Initialize(nextCallback.Get(), nullptr, nullptr, camera.Get()), S_OK);
    ASSERT_TRUE(nextCallback->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED, &initialized));
    EXPECT_EQ(initialized.status, S_OK);
}

TEST_F(VirtualEngineInitialize, EngineGivesItsCallbackBackWhenItDies)
{
    StartEngine();
    // The worker holds a reference of its own only while it delivers an event.
    EXPECT_TRUE(WaitUntil([&] { return callback_->References() == 2; }));
    engine_.Reset();
    EXPECT_EQ(callback_->References(), 1u);
    EXPECT_FALSE(GetEngineState().exists);
}

TEST_F(VirtualEngineInitialize, SinksAndSourceAreTheEnginesOwn)
{
    StartEngine();
    ComPtr<IMFCaptureSink> preview1, preview2, photo, record;
    ASSERT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, preview1.Put()), S_OK);
    ASSERT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, preview2.Put()), S_OK);
    ASSERT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO, photo.Put()), S_OK);
    EXPECT_EQ(preview1.Get(), preview2.Get());
    EXPECT_NE(preview1.Get(), photo.Get());
    EXPECT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_RECORD, record.Put()), E_NOTIMPL);
    EXPECT_EQ(engine_->GetSink(static_cast<MF_CAPTURE_ENGINE_SINK_TYPE>(7), record.Put()), E_INVALIDARG);
    EXPECT_FALSE(record);
    EXPECT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, nullptr), E_POINTER);

    ComPtr<IMFCapturePreviewSink> previewSink;
    ComPtr<IMFCapturePhotoSink> photoSink, wrong;
    EXPECT_EQ(preview1->QueryInterface(IID_IMFCapturePreviewSink, previewSink.PutVoid()), S_OK);
    EXPECT_EQ(photo->QueryInterface(IID_IMFCapturePhotoSink, photoSink.PutVoid()), S_OK);
    EXPECT_EQ(preview1->QueryInterface(IID_IMFCapturePhotoSink, wrong.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(photo->QueryInterface(IID_IMFCapturePreviewSink, wrong.PutVoid()), E_NOINTERFACE);

    ComPtr<IMFCaptureSource> source1, source2;
    ASSERT_EQ(engine_->GetSource(source1.Put()), S_OK);
    ASSERT_EQ(engine_->GetSource(source2.Put()), S_OK);
    EXPECT_EQ(source1.Get(), source2.Get());
    EXPECT_EQ(engine_->GetSource(nullptr), E_POINTER);
}

TEST_F(VirtualEngineInitialize, SinkQueryInterfaceFaultSparesIUnknown)
{
    StartEngine();
    ComPtr<IMFCaptureSink> preview, photo;
    ASSERT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, preview.Put()), S_OK);
    ASSERT_EQ(engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO, photo.Put()), S_OK);
    FailOperation("IMFCaptureSink::QueryInterface", E_NOINTERFACE);
    ComPtr<IMFCapturePreviewSink> previewSink;
    ComPtr<IMFCapturePhotoSink> photoSink;
    ComPtr<IMFCaptureSink> plain;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(preview->QueryInterface(IID_IMFCapturePreviewSink, previewSink.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(photo->QueryInterface(IID_IMFCapturePhotoSink, photoSink.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(photo->QueryInterface(IID_IMFCaptureSink, plain.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(preview->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    EXPECT_EQ(OperationCount("IMFCaptureSink::QueryInterface"), 3u);
    ClearFaults();
    EXPECT_EQ(preview->QueryInterface(IID_IMFCapturePreviewSink, previewSink.PutVoid()), S_OK);
}

TEST_F(VirtualEngineInitialize, EveryEngineMethodCanBeMadeToFail)
{
    StartEngine();
    AddPreviewStream(SinkType(MFVideoFormat_RGB32, 32, 24).Get());
    ComPtr<IMFCaptureSink> sink;
    ComPtr<IMFCaptureSource> source;
    struct Case {
        const char* operation;
        std::function<HRESULT()> call;
    };
    const Case cases[] = {
        {"IMFCaptureEngine::StartPreview", [&] { return engine_->StartPreview(); }},
        {"IMFCaptureEngine::StopPreview", [&] { return engine_->StopPreview(); }},
        {"IMFCaptureEngine::TakePhoto", [&] { return engine_->TakePhoto(); }},
        {"IMFCaptureEngine::GetSink", [&] { return engine_->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, sink.Put()); }},
        {"IMFCaptureEngine::GetSource", [&] { return engine_->GetSource(source.Put()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        FailOperation(c.operation, E_UNEXPECTED, 1);
        EXPECT_EQ(c.call(), E_UNEXPECTED);
    }
    EXPECT_FALSE(sink);
    EXPECT_FALSE(source);
    // A refused call starts nothing: the next event is the one raised here.
    ASSERT_TRUE(RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_RECORD_STARTED));
    EXPECT_EQ(callback_->Events().size(), 2u);
    EXPECT_FALSE(GetEngineState().previewing);
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
