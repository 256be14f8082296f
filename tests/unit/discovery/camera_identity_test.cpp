// Cameras told apart by symbolic link: the two lists, opening by link and the current camera, all
// through the exports.
#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>
#include <cctype>

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

virt::Camera Twin(const char* link, UINT32 width, UINT32 height)
{
    virt::Camera camera;
    camera.friendlyName = T("USB Camera");
    camera.symbolicLink = T(link);
    camera.category = virt::kCategoryVideoCamera;
    camera.formats = {virt::Format{width, height, MFVideoFormat_YUY2, 30, 1}};
    return camera;
}

constexpr char kFirstTwin[] = "\\\\?\\usb#vid_046d&pid_0825#5&1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global";
constexpr char kSecondTwin[] = "\\\\?\\usb#vid_046d&pid_0825#5&2#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global";

struct Identity {
    HRESULT result = E_FAIL;
    Text name;
    Text link;
};

Identity CurrentCamera()
{
    Identity identity;
    BSTR name = nullptr;
    BSTR link = nullptr;
    identity.result = ::LumicapGetCurrentCamera(&name, &link);
    if (name) identity.name = name;
    if (link) identity.link = link;
    SysFreeString(name);
    SysFreeString(link);
    return identity;
}

// The size of the latest preview frame the window received (0 x 0 when none).
std::pair<UINT32, UINT32> ShownSize(HWND window)
{
    UINT32 width = 0, height = 0;
    LumicapVirtualGetLatestFrame(window, &width, &height, nullptr, 0);
    return {width, height};
}

class CameraIdentity : public HostTest {
protected:
    // Opens the camera with this link and previews its first format until a frame is shown.
    void PreviewByLink(const char* link)
    {
        ClearMessages();
        ASSERT_EQ(::LumicapInitializeCameraByLink(T(link).c_str()), S_OK);
        ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED));
        ASSERT_EQ(::StartPreview(0, window_), S_OK);
        const UINT64 before = LumicapVirtualGetFrameCount(window_);
        ASSERT_TRUE(PumpUntil([&] { return LumicapVirtualGetFrameCount(window_) > before; }));
    }
};

TEST_F(CameraIdentity, TwoCamerasOfOneNameOpenByLinkEachInTurn)
{
    virt::SetCameras({Twin(kFirstTwin, 640, 480), Twin(kSecondTwin, 320, 240)});
    ::CreateInstance(window_);
    ::SetLogCallback(RecordLog);

    PreviewByLink(kSecondTwin);
    EXPECT_EQ(ShownSize(window_), std::make_pair(320u, 240u));
    EXPECT_EQ(CurrentCamera().link, T(kSecondTwin));
    EXPECT_EQ(Module().selectedCamera, 1);

    // The first twin, by its link in other letters' case: its own picture, and the other's no more.
    std::string upper = kFirstTwin;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    PreviewByLink(upper.c_str());
    EXPECT_EQ(ShownSize(window_), std::make_pair(640u, 480u));
    const Identity current = CurrentCamera();
    EXPECT_EQ(current.result, S_OK);
    EXPECT_EQ(current.name, T("USB Camera"));
    EXPECT_EQ(current.link, T(kFirstTwin));
    EXPECT_EQ(Module().selectedCamera, 0);

    EXPECT_EQ(LogLines().front(), T("LumicapInitializeCameraByLink: ") + T(kSecondTwin));
    EXPECT_NE(std::find(LogLines().begin(), LogLines().end(), T("LumicapInitializeCameraByLink: ") + T(upper.c_str())),
              LogLines().end());
    EXPECT_NE(std::find(LogLines().begin(), LogLines().end(), T("LumicapGetCurrentCamera")), LogLines().end());
}

TEST_F(CameraIdentity, LinkMatchingNothingLeavesTheRunningPreviewAlone)
{
    StartPreviewOn(0, "Lumicap Virtual Rear Camera");
    const int32_t chosen = Module().selectedCamera;
    for (const char* link : {"\\\\?\\lumicap#virtual#7#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global", "",
                             "\\\\?\\lumicap#virtual#1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global "}) {
        EXPECT_EQ(::LumicapInitializeCameraByLink(T(link).c_str()), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)) << link;
    }
    EXPECT_EQ(::LumicapInitializeCameraByLink(nullptr), E_POINTER);

    EXPECT_EQ(Module().selectedCamera, chosen);
    EXPECT_TRUE(Manager().isPreviewing);
    const UINT64 before = LumicapVirtualGetFrameCount(window_);
    EXPECT_TRUE(PumpUntil([&] { return LumicapVirtualGetFrameCount(window_) > before; }));
    EXPECT_EQ(CurrentCamera().name, T("Lumicap Virtual Rear Camera"));
}

TEST_F(CameraIdentity, ResultsWithoutAManagerOrASetUp)
{
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(::LumicapInitializeCameraByLink(T(kFirstTwin).c_str()), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(CurrentCamera().result, MF_E_NOT_INITIALIZED);
    ::CreateInstance(window_);
    EXPECT_EQ(CurrentCamera().result, MF_E_NOT_INITIALIZED);
    EXPECT_EQ(::LumicapGetCurrentCamera(nullptr, nullptr), MF_E_NOT_INITIALIZED);

    // A set-up an engine error ended is no current camera either.
    OpenCamera();
    EXPECT_EQ(::LumicapGetCurrentCamera(nullptr, nullptr), S_OK);
    ASSERT_TRUE(virt::RaiseEngineError(MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED));
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_ERROR));
    EXPECT_EQ(CurrentCamera().result, MF_E_NOT_INITIALIZED);

    EXPECT_EQ(std::vector<Text>(LogLines().begin(), LogLines().begin() + 3),
              (std::vector<Text>{T("LumicapInitializeCameraByLink: ") + T(kFirstTwin), T("LumicapGetCurrentCamera"),
                                 T("CreateInstance")}));
}

TEST_F(CameraIdentity, ListsAgreeWithGetCameraList)
{
    virt::Camera linkless = Twin("", 160, 120);
    linkless.hasSymbolicLink = false;
    virt::SetCameras({Twin(kFirstTwin, 640, 480), linkless, Twin(kSecondTwin, 320, 240)});
    Module().selectedCamera = 2;
    ::SetLogCallback(RecordLog);

    SAFEARRAY* names = nullptr;
    SAFEARRAY* links = nullptr;
    ASSERT_EQ(::LumicapGetCameras(&names, &links), S_OK);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("LumicapGetCameras")});
    EXPECT_EQ(ReadStringList(names), CameraList());
    EXPECT_EQ(ReadStringList(links), (std::vector<Text>{T(kFirstTwin), Text(), T(kSecondTwin)}));
    SafeArrayDestroy(names);
    SafeArrayDestroy(links);

    // Either list alone; nothing of the module's list or choice changes, and no manager is needed.
    links = nullptr;
    ASSERT_EQ(::LumicapGetCameras(nullptr, &links), S_OK);
    EXPECT_EQ(ReadStringList(links).size(), 3u);
    SafeArrayDestroy(links);
    EXPECT_EQ(::LumicapGetCameras(nullptr, nullptr), S_OK);
    EXPECT_EQ(Module().cameraDevices.Count(), 0u);
    EXPECT_EQ(Module().selectedCamera, 2);

    virt::SetCameras({});
    names = nullptr;
    ASSERT_EQ(::LumicapGetCameras(&names, nullptr), S_OK);
    EXPECT_TRUE(ReadStringList(names).empty());
    SafeArrayDestroy(names);
}

}  // namespace
}  // namespace lumicap::testing
