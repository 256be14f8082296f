// Hostile input at every export: null out arguments, names no camera has (empty, 64K characters,
// unpaired surrogates), format indices outside the list, windows that are gone, message numbers and
// event values the library never posted, cameras unplugged at each stage, and engine events that
// arrive after a new InitializeCamera replaced their set-up. Each must end cleanly, and once the
// module is torn down no platform object may be left alive.
#include "support/test_host.h"

#include "platform/capture_engine/late_stop.h"

#include "capture/capture_manager.h"
#include "platform/portable/portable_state.h"
#include "platform/virtual/virtual_platform.h"
#include "platform/media_foundation/media_type.h"
#include "platform/media_foundation/media_event.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

const Text kFront = T("Lumicap Virtual Camera");
const Text kRear = T("Lumicap Virtual Rear Camera");

// Gives back the references of the engine events still queued for the window.
void DrainEvents(HWND window)
{
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CAMERA_EVENT && msg.wParam) reinterpret_cast<IUnknown*>(msg.wParam)->Release();
    }
}

// Messages of this number queued for the window now (read without taking them).
size_t QueuedCount(HWND window, UINT message)
{
    auto& state = portable::detail::State();
    std::lock_guard<std::mutex> lock(state.mutex);
    portable::detail::MessageWindow* found = portable::detail::FindWindow(state, window);
    if (!found) return 0;
    size_t count = 0;
    for (const MSG& msg : found->owner->messages) count += msg.hwnd == window && msg.message == message;
    return count;
}

// Whether a thread sleeps in a wait on this event now.
bool SomeoneWaitsOn(HANDLE event)
{
    auto& state = portable::detail::State();
    std::lock_guard<std::mutex> lock(state.mutex);
    portable::detail::EventObject* found = portable::detail::FindEvent(state, event);
    return found && !found->waiters.empty();
}

// Polls a condition that another thread makes true, for up to a generous time; no message is pumped.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs action on this thread while a watcher looks for this thread asleep on the library's state
// event, and wakes it at once if so. Returns whether the action slept there.
bool SleepsOnStateEvent(const std::function<void()>& action)
{
    const HANDLE event = Manager().stateEvent.Get();
    std::atomic<bool> done{false};
    std::atomic<bool> slept{false};
    std::thread watcher([&] {
        while (!done) {
            if (event && SomeoneWaitsOn(event)) {
                slept = true;
                SetEvent(event);
            }
            std::this_thread::yield();
        }
    });
    action();
    done = true;
    watcher.join();
    return slept;
}

class HostileInput : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // Counted from here, so a leak is charged to the test that made it.
        liveAtStart_ = virt::LiveObjectCount();
    }

    void TearDown() override
    {
        ResetModule();
        DrainEvents(window_);
        // An engine released while it drew stops drawing (and lets go of its sink) a little later.
        virt::FinishLateStops();
        EXPECT_EQ(virt::LiveObjectCount(), liveAtStart_) << "platform objects left alive";
        HostTest::TearDown();
    }

    // Asks for a photo and pumps until its event has been handled.
    void TakePhotoAndWait()
    {
        ::TakePhotoAsync();
        ASSERT_TRUE(Manager().isPhotoPending);
        ASSERT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
    }

    // The subtype of the current format of the newest engine's camera, read without counting.
    static GUID OpenedSubtype()
    {
        GUID subtype = GUID_NULL;
        const virt::EngineState engine = virt::GetEngineState();
        if (engine.appliedType) virt::GetGUIDQuietly(engine.appliedType.Get(), MF_MT_SUBTYPE, &subtype);
        return subtype;
    }

private:
    long liveAtStart_ = 0;
};

// ---- Null out arguments, at each stage of the road ------------------------------------------------

enum class Stage { kNoManager, kCameraOpen, kPreviewing, kPhotoTaken };

class NullOutArguments : public HostileInput, public ::testing::WithParamInterface<Stage> {
protected:
    void Reach(Stage stage)
    {
        if (stage == Stage::kNoManager) return;
        if (stage == Stage::kCameraOpen) return OpenCamera();
        StartPreviewOn(0);
        if (stage == Stage::kPhotoTaken) TakePhotoAndWait();
    }
};

TEST_P(NullOutArguments, WriteNothingStillLogAndLeakNothing)
{
    ASSERT_NO_FATAL_FAILURE(Reach(GetParam()));
    ::SetLogCallback(RecordLog);
    LogLines().clear();

    ::GetCameraList(nullptr);
    ASSERT_FALSE(LogLines().empty());
    EXPECT_EQ(LogLines().front(), T("GetCameraList"));
    // Both cameras are still described.
    EXPECT_EQ(LogLines().size(), 8u);

    LogLines().clear();
    ::GetMediaTypeList(nullptr);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("GetMediaTypeList")});

    BYTE* const untouched = reinterpret_cast<BYTE*>(0x10);
    INT32 size = -1;
    ::GetLastPhoto(nullptr, &size);
    EXPECT_EQ(size, 0);
    BYTE* photo = untouched;
    ::GetLastPhoto(&photo, nullptr);
    EXPECT_EQ(photo, untouched);
    ::GetLastPhoto(nullptr, nullptr);
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);
    ::FreePhotoMemory();

    // Nothing was spoilt for a host that asks properly afterwards.
    size = -1;
    photo = untouched;
    ::GetLastPhoto(&photo, &size);
    if (GetParam() == Stage::kPhotoTaken) {
        EXPECT_GT(size, 0);
        EXPECT_NE(photo, untouched);
    } else {
        EXPECT_EQ(size, 0);
        EXPECT_EQ(photo, untouched);
    }
    ::FreePhotoMemory();
}

INSTANTIATE_TEST_SUITE_P(Stages, NullOutArguments,
                         ::testing::Values(Stage::kNoManager, Stage::kCameraOpen, Stage::kPreviewing,
                                           Stage::kPhotoTaken));

TEST_F(HostileInput, NullNameAndNullPreviewWindowAreOrdinaryValues)
{
    ::SetLogCallback(RecordLog);
    ::CreateInstance(window_);
    // Null reads as the empty name: no match, so the camera chosen before (the first).
    ASSERT_EQ(::InitializeCamera(nullptr), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    EXPECT_EQ(LogLines().back(), T("InitializeCamera: "));
    EXPECT_EQ(OpenedSubtype(), MFVideoFormat_YUY2);
    // A preview without a window still runs; frames go nowhere.
    ClearMessages();
    ASSERT_EQ(::StartPreview(5, nullptr), S_OK);
    ASSERT_TRUE(PumpUntil([] { return virt::GetEngineState().framesRendered > 0; }));
    EXPECT_EQ(virt::GetPreviewSinkState().renderHandle, nullptr);
    TakePhotoAndWait();
}

// A null event window: engine events have nowhere to go, and must not pile up anywhere.
TEST_F(HostileInput, NullEventWindowLosesNoEventReference)
{
    ::CreateInstance(nullptr);
    ASSERT_EQ(::InitializeCamera(kFront.c_str()), S_OK);
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    // The engine reports the set-up before it starts the preview, so by the first frame the set-up's
    // event has reached the callback.
    ASSERT_TRUE(WaitFor([&] { return LumicapGetFrameCount(window_) > 0; }));
    EXPECT_FALSE(SleepsOnStateEvent([] { ::StopPreview(); }));
    // Tearing down joins the engine's thread; a reference posted to that thread's queue would be lost.
}

// ---- Camera names ----------------------------------------------------------------------------------

struct NameCase {
    const char* label;
    Text name;
};

Text Repeated(WCHAR c, size_t count) { return Text(count, c); }

std::vector<NameCase> HostileNames()
{
    return {
        {"empty", Text()},
        {"64K characters", Repeated(static_cast<WCHAR>('A'), 65536)},
        {"64K characters ending in a lone high surrogate", Repeated(static_cast<WCHAR>('b'), 65535) + Text(1, 0xD800)},
        {"lone high surrogate", Text(1, 0xD83D)},
        {"lone low surrogate", Text(1, 0xDE00)},
        {"low before high", Text{0xDC00, 0xD800}},
        {"a real name with a lone surrogate after it", kFront + Text(1, 0xDBFF)},
        {"a real name cut short", kFront.substr(0, kFront.size() - 1)},
    };
}

class CameraName : public HostileInput, public ::testing::WithParamInterface<NameCase> {};

TEST_P(CameraName, UnknownNameKeepsTheCameraChosenBefore)
{
    const Text& name = GetParam().name;
    OpenCamera("Lumicap Virtual Rear Camera");
    ::SetLogCallback(RecordLog);
    ClearMessages();
    ASSERT_EQ(::InitializeCamera(name.c_str()), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0], T("InitializeCamera: ") + name) << "the name is logged whole";
    EXPECT_EQ(OpenedSubtype(), MFVideoFormat_NV12) << "still the rear camera";
    EXPECT_EQ(MediaTypeList().size(), 2u);
}

TEST_P(CameraName, CameraCalledSoIsListedIntactAndChosenExactly)
{
    const Text& name = GetParam().name;
    virt::Camera odd;
    odd.friendlyName = virt::WideString(name.begin(), name.end());
    odd.symbolicLink = TEXT("\\\\?\\lumicap#odd");
    odd.category = virt::kCategoryVideoCamera;
    virt::Format format;
    format.width = 160;
    format.height = 120;
    format.subtype = MFVideoFormat_RGB24;
    odd.formats = {format};
    virt::AddCamera(odd);

    SAFEARRAY* list = nullptr;
    ::GetCameraList(&list);
    const std::vector<Text> names = ReadStringList(list);
    SafeArrayDestroy(list);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], name);

    OpenCamera();
    ClearMessages();
    ASSERT_EQ(::InitializeCamera(name.c_str()), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    EXPECT_EQ(OpenedSubtype(), MFVideoFormat_RGB24);
    EXPECT_EQ(MediaTypeList(), std::vector<Text>{T("160 X 120  FPS 30")});
}

INSTANTIATE_TEST_SUITE_P(Names, CameraName, ::testing::ValuesIn(HostileNames()),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return "Name" + std::to_string(info.index); });

// ---- Format indices outside the list ----------------------------------------------------------------

struct IndexCase {
    const char* camera;
    INT32 index;
    const char* logged;
    INT32 validIndex;
};

class PreviewIndex : public HostileInput, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(PreviewIndex, StartsNothingAndANewSetUpStartsProperly)
{
    const IndexCase& c = GetParam();
    OpenCamera(c.camera);
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(::StartPreview(c.index, window_), MF_E_NO_MORE_TYPES);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("StartPreview media type index: ") + T(c.logged)});
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_EQ(virt::OperationCount("IMFCaptureEngine::StartPreview"), 0u);
    // The list is still there to choose from again.
    EXPECT_FALSE(MediaTypeList().empty());

    OpenCamera(c.camera);
    ClearMessages();
    ASSERT_EQ(::StartPreview(c.validIndex, window_), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    EXPECT_TRUE(virt::GetEngineState().previewing);
}

INSTANTIATE_TEST_SUITE_P(Indices, PreviewIndex,
                         ::testing::Values(IndexCase{"Lumicap Virtual Camera", INT_MIN, "-2147483648", 5},
                                           IndexCase{"Lumicap Virtual Camera", -1, "-1", 0},
                                           IndexCase{"Lumicap Virtual Camera", 6, "6", 5},
                                           IndexCase{"Lumicap Virtual Camera", INT_MAX, "2147483647", 0},
                                           IndexCase{"Lumicap Virtual Rear Camera", 2, "2", 1},
                                           IndexCase{"Lumicap Virtual Rear Camera", INT_MIN, "-2147483648", 0}));

// ---- Windows that are gone ---------------------------------------------------------------------------

TEST_F(HostileInput, EventWindowGoneBeforeCreateInstance)
{
    HWND gone = LumicapCreateMessageWindow();
    DestroyWindow(gone);
    ::CreateInstance(gone);
    ASSERT_EQ(::InitializeCamera(kFront.c_str()), S_OK);
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return LumicapGetFrameCount(window_) > 0; }));
    ::TakePhotoAsync();
    // No event can reach the library, so the photo stays pending: a second request is refused.
    ::SetLogCallback(RecordLog);
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto, already pending...")});
    // Nobody can hand the engine's confirmation over: the stop must not wait for it.
    EXPECT_FALSE(SleepsOnStateEvent([] { ::StopPreview(); }));
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(HostileInput, EventWindowGoneWhilePreviewing)
{
    StartPreviewOn(0);
    DrainEvents(window_);
    HWND gone = window_;
    DestroyWindow(gone);
    ::TakePhotoAsync();
    EXPECT_TRUE(Manager().isPhotoPending);
    EXPECT_FALSE(SleepsOnStateEvent([] { ::StopPreview(); }));
    // A new set-up still works; only its messages are lost.
    EXPECT_EQ(::InitializeCamera(kRear.c_str()), S_OK);
    EXPECT_FALSE(Manager().isPhotoPending);
    EXPECT_EQ(::StartPreview(0, nullptr), S_OK);
    ASSERT_TRUE(PumpUntil([] { return virt::GetEngineState().framesRendered > 0; }));
    window_ = LumicapCreateMessageWindow();
}

TEST_F(HostileInput, PreviewWindowGoneBeforeOrDuringThePreview)
{
    OpenCamera();
    HWND preview = LumicapCreateMessageWindow();
    DestroyWindow(preview);
    ClearMessages();
    ASSERT_EQ(::StartPreview(0, preview), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    // Frames are drawn and dropped; photos still come.
    ASSERT_TRUE(PumpUntil([] { return virt::GetEngineState().framesRendered > 2; }));
    TakePhotoAndWait();

    ::StopPreview();
    ClearMessages();
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STOPPED));
    HWND live = LumicapCreateMessageWindow();
    ASSERT_EQ(::InitializeCamera(kFront.c_str()), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    ClearMessages();
    ASSERT_EQ(::StartPreview(0, live), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return LumicapGetFrameCount(live) > 0; }));
    DestroyWindow(live);
    const auto frames = virt::GetEngineState().framesRendered;
    ASSERT_TRUE(PumpUntil([&] { return virt::GetEngineState().framesRendered > frames + 2; }));
    TakePhotoAndWait();
}

// ---- Message numbers and event values the library never posted ---------------------------------------

class ForeignMessage : public HostileInput, public ::testing::WithParamInterface<Stage> {};

TEST_P(ForeignMessage, ChangesNothingAndTouchesNoEvent)
{
    if (GetParam() == Stage::kCameraOpen) OpenCamera();
    if (GetParam() >= Stage::kPreviewing) StartPreviewOn(0);
    // A photo pending: its answer is held back.
    if (GetParam() == Stage::kPhotoTaken) {
        virt::HoldEvents(true);
        ::TakePhotoAsync();
    }
    const bool hadEngine = Module().theManager && Manager().engine;
    const bool previewing = Module().theManager && Manager().isPreviewing;
    const bool pending = Module().theManager && Manager().isPhotoPending;
    const HANDLE stateEvent = Module().theManager ? Manager().stateEvent.Get() : nullptr;
    if (stateEvent) WaitForSingleObject(stateEvent, 0);

    IMFMediaEvent* event = nullptr;
    ASSERT_EQ(virt::CreateEngineEvent(MF_CAPTURE_ENGINE_ERROR, E_FAIL, &event), S_OK);
    const UINT numbers[] = {0x0000, 0x0001, 0x0400, 0x7FFF, 0x8000, WM_CAMERA_READY, WM_CAMERA_PHOTO_READY,
                            0x8004, 0xBFFF, 0xC000, 0xFFFF, 0x10000, 0x80000000, 0xFFFFFFFF};
    for (UINT message : numbers) {
        ::OnCaptureEvent(message, reinterpret_cast<WPARAM>(event));
        ::OnCaptureEvent(message, 0);
        event->AddRef();
        EXPECT_EQ(event->Release(), 1u) << "message " << message;
    }
    ::OnCaptureEvent(WM_CAMERA_EVENT, 0);
    event->Release();

    EXPECT_EQ(Module().theManager && Manager().engine, hadEngine);
    EXPECT_EQ(Module().theManager && Manager().isPreviewing, previewing);
    EXPECT_EQ(Module().theManager && Manager().isPhotoPending, pending);
    if (stateEvent) {
        EXPECT_EQ(WaitForSingleObject(stateEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "an event was handled";
    }
    virt::HoldEvents(false);
}

INSTANTIATE_TEST_SUITE_P(Stages, ForeignMessage,
                         ::testing::Values(Stage::kNoManager, Stage::kCameraOpen, Stage::kPreviewing,
                                           Stage::kPhotoTaken));

// ---- Unplugging the camera at each stage --------------------------------------------------------------

enum class UnplugAt { kBeforeSetUp, kDuringSetUp, kAfterReady, kPreviewing, kPhotoPending, kAfterStop };

class Unplug : public HostileInput, public ::testing::WithParamInterface<UnplugAt> {
protected:
    static void UnplugFront() { EXPECT_EQ(virt::RemoveCamera(kFront), 1); }

    // The rest of the road, as a host that missed the unplug runs it: every call ends at once and
    // cleanly, with nothing to start, photograph or stop.
    void FinishRoad()
    {
        ::SetLogCallback(RecordLog);
        LogLines().clear();
        EXPECT_TRUE(MediaTypeList().empty());
        EXPECT_EQ(::StartPreview(0, window_), MF_E_NOT_INITIALIZED);
        ::TakePhotoAsync();
        EXPECT_FALSE(SleepsOnStateEvent([] { ::StopPreview(); }));
        EXPECT_EQ(LogLines(), (std::vector<Text>{T("GetMediaTypeList"), T("StartPreview media type index: 0"),
                                                 T("StopPreview")}));
    }
};

TEST_P(Unplug, EndsTheSetUpCleanlyAndTheOtherCameraStillOpens)
{
    ::CreateInstance(window_);
    const UnplugAt at = GetParam();
    if (at == UnplugAt::kBeforeSetUp) UnplugFront();
    if (at == UnplugAt::kDuringSetUp) virt::HoldEvents(true);
    ASSERT_EQ(::InitializeCamera(kFront.c_str()), S_OK);
    if (at == UnplugAt::kDuringSetUp) {
        UnplugFront();
        virt::HoldEvents(false);
    }
    ClearMessages();
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_EVENT));
    if (at == UnplugAt::kBeforeSetUp) {
        // The remembered choice (index 0) is now the rear camera.
        EXPECT_EQ(OpenedSubtype(), MFVideoFormat_NV12);
        return;
    }
    if (at == UnplugAt::kAfterReady) UnplugFront();
    if (at >= UnplugAt::kPreviewing) {
        ClearMessages();
        ASSERT_EQ(::StartPreview(0, window_), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    }
    if (at == UnplugAt::kPreviewing) UnplugFront();
    if (at == UnplugAt::kPhotoPending) {
        virt::HoldEvents(true);
        ::TakePhotoAsync();
        ASSERT_TRUE(Manager().isPhotoPending);
        UnplugFront();
        virt::HoldEvents(false);
    }
    if (at == UnplugAt::kAfterStop) {
        ::StopPreview();
        UnplugFront();
    }

    // The engine's error reaches the library, which tears the set-up down.
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->engine; }));
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_FALSE(Manager().isPhotoPending);
    FinishRoad();
    BYTE* photo = nullptr;
    INT32 size = -1;
    ::GetLastPhoto(&photo, &size);
    EXPECT_GE(size, 0);
    ::FreePhotoMemory();

    ClearMessages();
    ASSERT_EQ(::InitializeCamera(kRear.c_str()), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    EXPECT_EQ(MediaTypeList().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Stages, Unplug,
                         ::testing::Values(UnplugAt::kBeforeSetUp, UnplugAt::kDuringSetUp, UnplugAt::kAfterReady,
                                           UnplugAt::kPreviewing, UnplugAt::kPhotoPending, UnplugAt::kAfterStop));

// ---- Events of a set-up that a new InitializeCamera replaced ------------------------------------------

struct StaleCase {
    const char* label;
    const GUID* type;
    HRESULT status;
};

class StaleEvent : public HostileInput, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleEvent, LeavesTheNewSetUpAlone)
{
    const StaleCase& c = GetParam();
    StartPreviewOn(0);
    // The old engine's event is queued, not yet handed back, when the host opens another camera.
    ASSERT_TRUE(virt::RaiseEngineEvent(*c.type, c.status));
    ASSERT_TRUE(WaitFor([&] { return QueuedCount(window_, WM_CAMERA_EVENT) == 1; }));
    ClearMessages();
    ASSERT_EQ(::InitializeCamera(kRear.c_str()), S_OK);
    // The stale event and the new set-up's own.
    ASSERT_TRUE(PumpUntil([&] { return std::count(Messages().begin(), Messages().end(), static_cast<UINT>(WM_CAMERA_EVENT)) == 2; }));

    // The library's view is the new engine's: set up, not previewing, no photo pending.
    ASSERT_TRUE(Manager().engine);
    EXPECT_FALSE(Manager().isPreviewing);
    EXPECT_FALSE(Manager().isPhotoPending);
    EXPECT_EQ(MediaTypeList(), (std::vector<Text>{T("640 X 480 NV12 FPS 15"), T("2592 X 1944 MJPG FPS 5")}));
    ClearMessages();
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    EXPECT_TRUE(virt::GetEngineState().previewing);
    EXPECT_TRUE(Manager().isPreviewing);
    TakePhotoAndWait();
}

INSTANTIATE_TEST_SUITE_P(
    Types, StaleEvent,
    ::testing::Values(StaleCase{"preview started", &MF_CAPTURE_ENGINE_PREVIEW_STARTED, S_OK},
                      StaleCase{"preview stopped", &MF_CAPTURE_ENGINE_PREVIEW_STOPPED, S_OK},
                      StaleCase{"photo taken", &MF_CAPTURE_ENGINE_PHOTO_TAKEN, S_OK},
                      StaleCase{"engine error", &MF_CAPTURE_ENGINE_ERROR, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED},
                      StaleCase{"initialized", &MF_CAPTURE_ENGINE_INITIALIZED, S_OK}),
    [](const ::testing::TestParamInfo<StaleCase>& info) { return "Type" + std::to_string(info.index); });

// The old set-up's photo answer must not end the new set-up's pending photo.
TEST_F(HostileInput, StalePhotoAnswerKeepsTheNewPhotoPending)
{
    StartPreviewOn(0);
    ::TakePhotoAsync();
    ASSERT_TRUE(WaitFor([&] { return QueuedCount(window_, WM_CAMERA_EVENT) == 1; }));
    ASSERT_EQ(::InitializeCamera(kFront.c_str()), S_OK);
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    virt::HoldEvents(true);
    ::TakePhotoAsync();
    ASSERT_TRUE(Manager().isPhotoPending);

    // Hand back only what the old engine sent: its photo's notice and event.
    MSG msg;
    while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CAMERA_EVENT) ::OnCaptureEvent(msg.message, msg.wParam);
    }
    EXPECT_TRUE(Manager().isPhotoPending);
    ::SetLogCallback(RecordLog);
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto, already pending...")});
    virt::HoldEvents(false);
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
}

// ---- Photos ---------------------------------------------------------------------------------------------

// A refused photo leaves an empty stream: the host gets size 0 and a block of its own to give back,
// like any other, and giving it back leaves nothing behind.
TEST_F(HostileInput, RefusedPhotoHandsOutAnEmptyBlockToGiveBack)
{
    StartPreviewOn(0);
    virt::FailOperation("IMFCaptureEngine::TakePhoto", E_FAIL);
    ::TakePhotoAsync();
    ASSERT_TRUE(Manager().photoStream);
    BYTE* photo = reinterpret_cast<BYTE*>(0x10);
    INT32 size = -1;
    ::GetLastPhoto(&photo, &size);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(Module().lastPhotoBuffer, photo);
    ::FreePhotoMemory();
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);

    // The next photo is fetched and given back as usual; nothing of the empty one remains.
    virt::ClearFaults();
    TakePhotoAndWait();
    ::GetLastPhoto(&photo, &size);
    EXPECT_GT(size, 0);
    ::FreePhotoMemory();
}

}  // namespace
}  // namespace lumicap::testing
