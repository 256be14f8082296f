// What a host sees when a camera fails as real ones do: the notices' status, WM_CAMERA_ERROR before
// the failed event's WM_CAMERA_EVENT, a consistent state afterwards and a set-up that recovers.
#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>
#include <ostream>

namespace lumicap::testing {
namespace {

constexpr const char* kCamera = "Lumicap Virtual Camera";

struct Notice {
    UINT message;
    WPARAM wParam;
    HRESULT status;
    bool operator==(const Notice& other) const
    {
        return message == other.message && wParam == other.wParam && status == other.status;
    }
};

std::ostream& operator<<(std::ostream& out, const Notice& n)
{
    return out << std::hex << "{0x" << n.message << ", " << n.wParam << ", 0x" << static_cast<uint32_t>(n.status)
               << "}" << std::dec;
}

class ErrorNotices : public HostTest {
protected:
    std::vector<Notice> Seen() const
    {
        std::vector<Notice> seen;
        for (const MSG& msg : Notices()) {
            seen.push_back({msg.message, msg.wParam, static_cast<HRESULT>(msg.lParam)});
        }
        return seen;
    }

    // Pumps until the set-up is gone or the timeout passes.
    bool PumpUntilTornDown()
    {
        return PumpUntil([] { return !Module().theManager->engine; });
    }

    // A new InitializeCamera on the same camera works again: ready, formats, preview.
    void ExpectRecovery()
    {
        ClearMessages();
        ASSERT_EQ(::InitializeCamera(T(kCamera).c_str()), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED));
        EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_READY, 0, S_OK}}));
        EXPECT_EQ(MediaTypeList().size(), 6u);
        ASSERT_EQ(::StartPreview(0, window_), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
        EXPECT_TRUE(Module().theManager->isPreviewing);
    }
};

TEST_F(ErrorNotices, DeniedCameraReportsItsInitialisationAndRefusesWhatFollows)
{
    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_DENIED), S_OK);
    ::CreateInstance(window_);
    ASSERT_EQ(::InitializeCamera(T(kCamera).c_str()), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAMERA_READY, WM_CAMERA_ERROR, WM_CAMERA_EVENT}));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_READY, 0, E_ACCESSDENIED},
                                           {WM_CAMERA_ERROR, LUMICAP_ERROR_INITIALIZE, E_ACCESSDENIED}}));
    // Results the exports return are not reported a second time.
    ClearMessages();
    EXPECT_TRUE(MediaTypeList().empty());
    EXPECT_EQ(::StartPreview(0, window_), MF_E_INVALIDREQUEST);
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(Module().theManager->isPreviewing);

    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_NORMAL), S_OK);
    ExpectRecovery();
}

TEST_F(ErrorNotices, BusyCameraFailsItsPreviewThenEndsTheSetUp)
{
    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_BUSY), S_OK);
    OpenCamera(kCamera);
    ClearMessages();
    ASSERT_EQ(::StartPreview(3, window_), S_OK);
    ASSERT_TRUE(PumpUntilTornDown());
    // The format set, then the failed start, then the engine's error.
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAMERA_EVENT, WM_CAMERA_ERROR, WM_CAMERA_EVENT, WM_CAMERA_ERROR,
                                             WM_CAMERA_EVENT}));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_ERROR, LUMICAP_ERROR_PREVIEW, MF_E_HW_MFT_FAILED_START_STREAMING},
                                           {WM_CAMERA_ERROR, LUMICAP_ERROR_CAMERA, MF_E_HW_MFT_FAILED_START_STREAMING}}));
    EXPECT_FALSE(Module().theManager->isPreviewing);
    // The photo request of a host that missed it all is silent, as without a preview.
    ClearMessages();
    ::TakePhotoAsync();
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(Messages().empty());

    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_NORMAL), S_OK);
    ExpectRecovery();
}

struct LostCase {
    const char* description;
    HRESULT status;    // raised with MF_CAPTURE_ENGINE_ERROR; S_OK means unplugging the camera
    HRESULT reported;  // the lParam of WM_CAMERA_ERROR
};

class LostCamera : public ErrorNotices, public ::testing::WithParamInterface<LostCase> {};

TEST_P(LostCamera, EndsTheSetUpWithAnErrorAndANewSetUpRecovers)
{
    const LostCase& c = GetParam();
    StartPreviewOn(0, kCamera);
    ::TakePhotoAsync();
    ClearMessages();
    if (c.status == S_OK) {
        ASSERT_EQ(LumicapVirtualRemoveCamera(T(kCamera).c_str()), 1);
    } else {
        ASSERT_EQ(LumicapVirtualRaiseEngineError(c.status), S_OK);
    }
    ASSERT_TRUE(PumpUntilTornDown()) << c.description;
    EXPECT_EQ(Seen().back(), (Notice{WM_CAMERA_ERROR, LUMICAP_ERROR_CAMERA, c.reported})) << c.description;
    EXPECT_EQ(Messages().back(), static_cast<UINT>(WM_CAMERA_EVENT)) << c.description;
    CaptureManager& manager = *Module().theManager;
    EXPECT_FALSE(manager.isPreviewing || manager.isPhotoPending || manager.callback || manager.stateEvent)
        << c.description;
    EXPECT_EQ(::StartPreview(0, window_), MF_E_NOT_INITIALIZED) << c.description;

    if (c.status == S_OK) LumicapVirtualReset();
    ExpectRecovery();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LostCamera,
    ::testing::Values(LostCase{"unplugged", S_OK, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED},
                      LostCase{"taken over", MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED, MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED},
                      LostCase{"graphics device reset", DXGI_ERROR_DEVICE_REMOVED, DXGI_ERROR_DEVICE_REMOVED},
                      LostCase{"error with a success status", S_FALSE, E_FAIL}));

TEST_F(ErrorNotices, RefusedPhotoRequestIsReportedAndTheNextOneWorks)
{
    StartPreviewOn(0, kCamera);
    ASSERT_EQ(LumicapVirtualFailOperation("IMFCaptureEngine::TakePhoto", E_FAIL, 1), S_OK);
    ClearMessages();
    ::SetLogCallback(RecordLog);
    LogLines().clear();
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto")});
    EXPECT_FALSE(Module().theManager->isPhotoPending);
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_ERROR, LUMICAP_ERROR_PHOTO, E_FAIL}}));

    ClearMessages();
    ::TakePhotoAsync();
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_PHOTO_READY, 0, S_OK}}));
}

TEST_F(ErrorNotices, FailedPhotoCarriesItsStatus)
{
    StartPreviewOn(0, kCamera);
    ASSERT_EQ(LumicapVirtualSetNextEventStatus(&MF_CAPTURE_ENGINE_PHOTO_TAKEN, E_OUTOFMEMORY), S_OK);
    ClearMessages();
    ::TakePhotoAsync();
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_PHOTO_READY, 0, E_OUTOFMEMORY},
                                           {WM_CAMERA_ERROR, LUMICAP_ERROR_PHOTO, E_OUTOFMEMORY}}));
    EXPECT_FALSE(Module().theManager->isPhotoPending);
}

TEST_F(ErrorNotices, ReplacedSetUpPostsNoNoticeAnyMore)
{
    ::CreateInstance(window_);
    // The first set-up's camera is denied, so its late initialisation would be reported as failed.
    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_DENIED), S_OK);
    virt::HoldEvents(true);
    ASSERT_EQ(::InitializeCamera(T(kCamera).c_str()), S_OK);
    // The replaced engine lives on, as a real one may while it winds down, and reports late.
    ComPtr<IMFCaptureEngine> replaced = Module().theManager->engine;
    ASSERT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), LUMICAP_VIRTUAL_CAMERA_NORMAL), S_OK);
    ASSERT_EQ(::InitializeCamera(T(kCamera).c_str()), S_OK);
    virt::HoldEvents(false);
    ASSERT_TRUE(PumpUntil([&] { return Messages().size() >= 3; }));
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(Seen(), (std::vector<Notice>{{WM_CAMERA_READY, 0, S_OK}}));
    EXPECT_EQ(std::count(Messages().begin(), Messages().end(), static_cast<UINT>(WM_CAMERA_EVENT)), 2);
    EXPECT_TRUE(Module().theManager->engine);
}

TEST_F(ErrorNotices, ControlCallsCheckTheirArguments)
{
    EXPECT_EQ(LumicapVirtualSetCameraCondition(nullptr, LUMICAP_VIRTUAL_CAMERA_BUSY), E_POINTER);
    EXPECT_EQ(LumicapVirtualSetCameraCondition(T(kCamera).c_str(), 3), E_INVALIDARG);
    EXPECT_EQ(LumicapVirtualSetCameraCondition(T("No Such Camera").c_str(), LUMICAP_VIRTUAL_CAMERA_BUSY),
              HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(LumicapVirtualRaiseEngineError(E_FAIL), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(LumicapVirtualSetNextEventStatus(nullptr, E_FAIL), E_POINTER);
}

}  // namespace
}  // namespace lumicap::testing
