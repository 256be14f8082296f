#include "support/test_host.h"

#include "capture/capture_manager.h"
#include "capture/posted_events.h"
#include "platform/virtual/virtual_platform.h"
#include "platform/media_foundation/media_event.h"

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

using EngineEventHandling = HostTest;

ULONG CountOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

TEST_F(EngineEventHandling, FailedInitialisationIsStillAnnouncedBeforeItsEvent)
{
    virt::SetNextEventStatus(MF_CAPTURE_ENGINE_INITIALIZED, E_FAIL);
    ::CreateInstance(window_);
    ASSERT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAMERA_READY, WM_CAMERA_ERROR, WM_CAMERA_EVENT}));
    EXPECT_TRUE(Manager().engine);
}

TEST_F(EngineEventHandling, FailedPhotoIsAnnouncedAndClearsThePendingFlag)
{
    OpenCamera();
    Manager().isPhotoPending = true;
    ClearMessages();
    ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN, E_FAIL));
    bool pendingAtNotice = false;
    onPhotoReady_ = [&] { pendingAtNotice = Manager().isPhotoPending; };
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAMERA_PHOTO_READY, WM_CAMERA_ERROR, WM_CAMERA_EVENT}));
    EXPECT_TRUE(pendingAtNotice);
    EXPECT_FALSE(Manager().isPhotoPending);
}

struct FlagCase {
    const char* description;
    const GUID* type;
    HRESULT status;
    bool previewingBefore;
    bool previewingAfter;
};

class PreviewFlag : public HostTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(PreviewFlag, FollowsThePreviewEvents)
{
    const FlagCase& c = GetParam();
    OpenCamera();
    Manager().isPreviewing = c.previewingBefore;
    ClearMessages();
    ASSERT_TRUE(virt::RaiseEngineEvent(*c.type, c.status));
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_EQ(Manager().isPreviewing, c.previewingAfter) << c.description;
    // A failed event is reported before it is passed on.
    const std::vector<UINT> expected = FAILED(c.status) ? std::vector<UINT>{WM_CAMERA_ERROR, WM_CAMERA_EVENT}
                                                        : std::vector<UINT>{WM_CAMERA_EVENT};
    EXPECT_EQ(Messages(), expected) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Events, PreviewFlag,
    ::testing::Values(FlagCase{"started", &MF_CAPTURE_ENGINE_PREVIEW_STARTED, S_OK, false, true},
                      FlagCase{"started with a failure", &MF_CAPTURE_ENGINE_PREVIEW_STARTED, E_FAIL, true, false},
                      FlagCase{"started with a success code", &MF_CAPTURE_ENGINE_PREVIEW_STARTED, S_FALSE, false, true},
                      FlagCase{"stopped", &MF_CAPTURE_ENGINE_PREVIEW_STOPPED, S_OK, true, false},
                      FlagCase{"record started", &MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK, true, true},
                      FlagCase{"record stopped", &MF_CAPTURE_ENGINE_RECORD_STOPPED, E_FAIL, true, true},
                      FlagCase{"unknown type", &MF_MT_FRAME_SIZE, S_OK, true, true}));

TEST_F(EngineEventHandling, UnreadableStatusCountsAsAFailure)
{
    OpenCamera();
    Manager().isPreviewing = true;
    ClearMessages();
    virt::FailOperation("IMFMediaEvent::GetStatus", E_UNEXPECTED);
    ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED, S_OK));
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_FALSE(Manager().isPreviewing);
}

TEST_F(EngineEventHandling, UnreadableTypeIsOnlyPassedOnReleasedAndSignalled)
{
    OpenCamera();
    Manager().isPhotoPending = true;
    WaitForSingleObject(Manager().stateEvent.Get(), 0);
    ClearMessages();
    virt::FailOperation("IMFMediaEvent::GetExtendedType", E_FAIL);
    const long live = virt::LiveObjectCount();
    ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN, S_OK));
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_CAMERA_EVENT});
    EXPECT_TRUE(Manager().isPhotoPending);
    EXPECT_EQ(WaitForSingleObject(Manager().stateEvent.Get(), 0), WAIT_OBJECT_0);
    // The worker may still have held the previous event when the count was read.
    EXPECT_TRUE(PumpUntil([&] { return virt::LiveObjectCount() <= live; }));
}

TEST_F(EngineEventHandling, EngineErrorTearsDownAndSignalsNothing)
{
    StartPreviewOn(0);
    Manager().isPhotoPending = true;
    ClearMessages();
    ASSERT_TRUE(virt::RaiseEngineError(static_cast<HRESULT>(0x80004005)));
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    EXPECT_FALSE(Manager().engine);
    EXPECT_FALSE(Manager().previewSink);
    EXPECT_FALSE(Manager().callback);
    EXPECT_FALSE(Manager().stateEvent);
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_FALSE(Manager().isPhotoPending);
    PumpFor(std::chrono::milliseconds(50));
    ResetModule();
    EXPECT_TRUE(PumpUntil([] { return virt::LiveObjectCount() == 0; }, std::chrono::seconds(5)));
}

TEST_F(EngineEventHandling, SignalsAreStoredNotCounted)
{
    OpenCamera();
    HANDLE event = Manager().stateEvent.Get();
    WaitForSingleObject(event, 0);
    ClearMessages();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    ASSERT_TRUE(PumpUntil([&] { return Messages().size() == 3; }));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 20), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(EngineEventHandling, OtherMessageNumbersMissingManagerAndUnpostedEventsLeaveTheEventAlone)
{
    IMFMediaEvent* event = nullptr;
    ASSERT_EQ(virt::CreateEngineEvent(MF_CAPTURE_ENGINE_ERROR, S_OK, &event), S_OK);
    const WPARAM wParam = reinterpret_cast<WPARAM>(event);
    ::OnCaptureEvent(WM_CAMERA_EVENT, wParam);
    EXPECT_EQ(CountOf(event), 1u);

    OpenCamera();
    // An engine error the library never posted neither ends the set-up nor loses a reference.
    ::OnCaptureEvent(WM_CAMERA_EVENT, wParam);
    EXPECT_EQ(CountOf(event), 1u);
    for (UINT message : {0x8002u, 0x8003u, 0x0000u, 0x8000u, 0x8004u, 0xFFFFFFFFu}) {
        ::OnCaptureEvent(message, wParam);
        EXPECT_EQ(CountOf(event), 1u) << message;
    }
    EXPECT_TRUE(Manager().engine);
    // A null event is not one the library posted.
    ::OnCaptureEvent(WM_CAMERA_EVENT, 0);
    EXPECT_TRUE(Manager().engine);
    event->Release();
}

// The record answers each posted event once, with the set-up that posted it last.
TEST(PostedEventRecord, TakesEachEventOnceWithItsSetUp)
{
    PostedEvents record;
    const uint64_t first = record.NewSetUp();
    const uint64_t second = record.NewSetUp();
    EXPECT_NE(first, second);
    auto* a = reinterpret_cast<IMFMediaEvent*>(0x1000);
    auto* b = reinterpret_cast<IMFMediaEvent*>(0x2000);
    uint64_t setUp = 0;
    EXPECT_FALSE(record.Take(a, &setUp));
    record.Add(a, first);
    record.Add(b, second);
    // An address recorded again belongs to a new event now: the older record is gone.
    record.Add(a, second);
    EXPECT_TRUE(record.Take(a, &setUp));
    EXPECT_EQ(setUp, second);
    EXPECT_FALSE(record.Take(a, &setUp));
    EXPECT_TRUE(record.Take(b, nullptr));
    EXPECT_FALSE(record.Take(b, nullptr));
}

// A host that passes one message on twice gives the event back once; the second pass changes nothing.
TEST_F(EngineEventHandling, AnEventPassedOnTwiceIsHandledAndReleasedOnce)
{
    OpenCamera();
    ClearMessages();
    ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_ERROR, E_FAIL));
    MSG msg{};
    for (int waited = 0; !PeekMessageW(&msg, window_, WM_CAMERA_EVENT, WM_CAMERA_EVENT, PM_REMOVE); ++waited) {
        ASSERT_LT(waited, 10000) << "no WM_CAMERA_EVENT";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    auto* event = reinterpret_cast<IMFMediaEvent*>(msg.wParam);
    event->AddRef();
    ::OnCaptureEvent(WM_CAMERA_EVENT, msg.wParam);
    EXPECT_FALSE(Manager().engine);
    EXPECT_EQ(CountOf(event), 1u);

    OpenCamera();
    ::OnCaptureEvent(WM_CAMERA_EVENT, msg.wParam);
    EXPECT_TRUE(Manager().engine);
    EXPECT_EQ(CountOf(event), 1u);
    event->Release();
}

TEST_F(EngineEventHandling, EventForAWindowThatIsGoneIsGivenBack)
{
    OpenCamera();
    PumpFor(std::chrono::milliseconds(20));
    const long live = virt::LiveObjectCount();
    DestroyWindow(window_);
    ASSERT_TRUE(virt::RaiseEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK));
    // Let the event be made and its post fail; a leaked reference would keep it alive for good.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (virt::LiveObjectCount() != live && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(virt::LiveObjectCount(), live);
    window_ = LumicapCreateMessageWindow();
}

}  // namespace
}  // namespace lumicap::testing
