// What a real Windows machine does to a camera set-up beyond the plain road: a microphone the engine
// would open, no video device, two set-ups sharing one window, a blocked stream, events the host
// never asked for, a photo the engine never completes and a format the preview cannot show.
#include "support/test_host.h"

#include "capture/capture_manager.h"
#include "capture/photo_deadline.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>

namespace lumicap::testing {
namespace {

constexpr const char* kFront = "Lumicap Virtual Camera";
constexpr const char* kRear = "Lumicap Virtual Rear Camera";

class SetUpAndEvents : public HostTest {
protected:
    // The WM_CAMERA_ERROR notices seen since the last ClearMessages, as (kind, status).
    std::vector<std::pair<WPARAM, HRESULT>> Errors() const
    {
        std::vector<std::pair<WPARAM, HRESULT>> errors;
        for (const MSG& msg : Notices()) {
            if (msg.message == WM_CAMERA_ERROR) errors.emplace_back(msg.wParam, static_cast<HRESULT>(msg.lParam));
        }
        return errors;
    }

    // The latest frame drawn into the window: its size and whether every pixel is black.
    struct Drawn {
        UINT32 width = 0;
        UINT32 height = 0;
        bool black = false;
    };
    Drawn LatestFrame()
    {
        Drawn drawn;
        if (LumicapVirtualGetLatestFrame(window_, &drawn.width, &drawn.height, nullptr, 0) != S_OK) return drawn;
        std::vector<UINT32> pixels(static_cast<size_t>(drawn.width) * drawn.height);
        EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &drawn.width, &drawn.height, pixels.data(), pixels.size()), S_OK);
        drawn.black = std::all_of(pixels.begin(), pixels.end(), [](UINT32 p) { return p == 0; });
        return drawn;
    }

    // Takes a photo and waits for its notice; the notice's status.
    HRESULT TakePhoto()
    {
        ClearMessages();
        ::TakePhotoAsync();
        if (!PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN)) return E_FAIL;
        for (const MSG& msg : Notices()) {
            if (msg.message == WM_CAMERA_PHOTO_READY) return static_cast<HRESULT>(msg.lParam);
        }
        return E_FAIL;
    }
};

TEST_F(SetUpAndEvents, MicrophoneTheLibraryNeverOpensCannotStopTheCamera)
{
    for (UINT32 condition : {LUMICAP_VIRTUAL_CAMERA_DENIED, LUMICAP_VIRTUAL_CAMERA_BUSY}) {
        SCOPED_TRACE(condition);
        ASSERT_EQ(LumicapVirtualSetMicrophoneCondition(condition), S_OK);
        StartPreviewOn(0, kFront);
        EXPECT_TRUE(Errors().empty());
        EXPECT_EQ(TakePhoto(), S_OK);
    }
    EXPECT_EQ(LumicapVirtualSetMicrophoneCondition(3), E_INVALIDARG);
}

TEST_F(SetUpAndEvents, WithoutAVideoDeviceTheCameraStillPreviewsAndTakesPhotos)
{
    for (const char* step : {"D3D11CreateDevice", "ID3D11Device::QueryInterface(ID3D10Multithread)",
                             "MFCreateDXGIDeviceManager", "IMFDXGIDeviceManager::ResetDevice"}) {
        SCOPED_TRACE(step);
        ASSERT_EQ(LumicapVirtualFailOperation(step, DXGI_ERROR_UNSUPPORTED, 0), S_OK);
        StartPreviewOn(3, kFront);
        EXPECT_FALSE(Module().d3dDevice);
        EXPECT_FALSE(Module().deviceManager);
        EXPECT_TRUE(Errors().empty());
        EXPECT_EQ(TakePhoto(), S_OK);
        ResetModule();
        virt::Reset();
    }
}

TEST_F(SetUpAndEvents, SwitchingCamerasIntoOneWindowLetsTheFirstEngineGoFirst)
{
    struct Case {
        const char* description;
        bool stopRefused;  // the old engine refuses to stop, so it is released while it draws
        HRESULT started;
    };
    for (const Case& c : {Case{"stopped first", false, S_OK}, Case{"released while drawing", true, E_ACCESSDENIED}}) {
        SCOPED_TRACE(c.description);
        StartPreviewOn(3, kFront);
        if (c.stopRefused) {
            ASSERT_EQ(LumicapVirtualFailOperation("IMFCaptureEngine::StopPreview", E_FAIL, 1), S_OK);
        }
        ClearMessages();
        ASSERT_EQ(::InitializeCamera(T(kRear).c_str()), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED));
        ASSERT_EQ(::StartPreview(0, window_), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
        EXPECT_EQ(Module().theManager->isPreviewing, c.started == S_OK);
        if (c.started == S_OK) {
            EXPECT_TRUE(Errors().empty());
            // The rear camera's first format, 640 x 480, is what the window shows now.
            ASSERT_TRUE(PumpUntil([&] { return LatestFrame().width == 640; }));
        } else {
            EXPECT_EQ(Errors(), (std::vector<std::pair<WPARAM, HRESULT>>{{LUMICAP_ERROR_PREVIEW, c.started}}));
        }
        ResetModule();
        virt::Reset();
    }
}

TEST_F(SetUpAndEvents, BlockedStreamIsReportedAndShowsBlackUntilUnblocked)
{
    StartPreviewOn(0, kFront);
    ClearMessages();
    ASSERT_EQ(LumicapVirtualSetCameraBlocked(T(kFront).c_str(), TRUE), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_BLOCKED));
    EXPECT_EQ(Notices().back().wParam, 1u);
    EXPECT_TRUE(PumpUntil([&] { return LatestFrame().black; }));
    EXPECT_TRUE(Module().theManager->isPreviewing);

    ClearMessages();
    ASSERT_EQ(LumicapVirtualSetCameraBlocked(T(kFront).c_str(), FALSE), S_OK);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_BLOCKED));
    EXPECT_EQ(Notices().back().wParam, 0u);
    EXPECT_TRUE(PumpUntil([&] { return !LatestFrame().black; }));
    EXPECT_TRUE(Errors().empty());

    EXPECT_EQ(LumicapVirtualSetCameraBlocked(nullptr, TRUE), E_POINTER);
    EXPECT_EQ(LumicapVirtualSetCameraBlocked(T("No Such Camera").c_str(), TRUE), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

TEST_F(SetUpAndEvents, FailedEventsOtherThanAnEngineErrorLeaveTheSetUpRunning)
{
    struct Case {
        const GUID* type;
        WPARAM kind;
    };
    const Case cases[] = {{&MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET, LUMICAP_ERROR_PREVIEW},
                          {&MF_CAPTURE_ENGINE_RECORD_STARTED, LUMICAP_ERROR_EVENT}};
    for (const Case& c : cases) {
        ASSERT_EQ(LumicapVirtualSetNextEventStatus(c.type, E_FAIL), S_OK);
        OpenCamera(kFront);
        ClearMessages();
        // The media type set comes with the preview's start; the other is raised as a driver would.
        ASSERT_EQ(::StartPreview(0, window_), S_OK);
        if (IsEqualGUID(*c.type, MF_CAPTURE_ENGINE_RECORD_STARTED)) {
            ASSERT_TRUE(virt::RaiseEngineEvent(*c.type, E_FAIL));
        }
        ASSERT_TRUE(PumpUntilEngineEvent(*c.type));
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
        EXPECT_EQ(Errors(), (std::vector<std::pair<WPARAM, HRESULT>>{{c.kind, E_FAIL}}));
        EXPECT_TRUE(Module().theManager->engine);
        EXPECT_EQ(TakePhoto(), S_OK);
        ResetModule();
        virt::Reset();
    }
}

TEST_F(SetUpAndEvents, PhotoTheEngineNeverCompletesIsReportedAndTheNextOneWorks)
{
    StartPreviewOn(0, kFront);
    ASSERT_EQ(LumicapVirtualDropNextEvent(&MF_CAPTURE_ENGINE_PHOTO_TAKEN), S_OK);
    ClearMessages();
    ::TakePhotoAsync();
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_ERROR, std::chrono::milliseconds(PhotoDeadline::kMilliseconds + 5000)));
    EXPECT_EQ(Errors(), (std::vector<std::pair<WPARAM, HRESULT>>{
                            {LUMICAP_ERROR_PHOTO, HRESULT_FROM_WIN32(ERROR_TIMEOUT)}}));

    ::SetLogCallback(RecordLog);
    LogLines().clear();
    EXPECT_EQ(TakePhoto(), S_OK);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto")});
    EXPECT_EQ(LumicapVirtualDropNextEvent(nullptr), E_POINTER);
}

TEST_F(SetUpAndEvents, FormatThePreviewCannotShowFailsOnceAndAnotherThenPreviews)
{
    const LumicapVirtualFormat formats[] = {{1280, 720, MFVideoFormat_H264, 30, 1}, {640, 480, MFVideoFormat_YUY2, 30, 1}};
    const Text name = T("H.264 Camera");
    const LumicapVirtualCamera camera{name.c_str(), nullptr, CLSID_VideoInputDeviceCategory, formats, 2};
    ASSERT_EQ(LumicapVirtualSetCameras(&camera, 1), S_OK);
    OpenCamera("H.264 Camera");
    ClearMessages();
    ASSERT_EQ(::StartPreview(0, window_), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    EXPECT_EQ(Errors(), (std::vector<std::pair<WPARAM, HRESULT>>{{LUMICAP_ERROR_PREVIEW, MF_E_TOPO_CODEC_NOT_FOUND}}));
    EXPECT_FALSE(Module().theManager->previewSink);

    ClearMessages();
    ASSERT_EQ(::StartPreview(1, window_), S_OK);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(Module().theManager->isPreviewing);
    EXPECT_EQ(virt::GetPreviewSinkState().streams.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return LatestFrame().width == 640; }));
}

}  // namespace
}  // namespace lumicap::testing
