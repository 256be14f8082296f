// The C control functions of the virtual build (lumicap_virtual.h), seen from a host: cameras it
// chooses, cameras it unplugs, failures it injects and the frames its window received.
#include "support/jpeg_decode.h"
#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>

namespace lumicap::testing {
namespace {

const std::vector<Text> kDefaultNames = {T("Lumicap Virtual Camera"), T("Lumicap Virtual Rear Camera")};

const LumicapVirtualFormat kFormats[] = {{1024, 768, MFVideoFormat_YUY2, 30, 1},
                                         {800, 600, MFVideoFormat_NV12, 30000, 1001}};

using VirtualCApi = HostTest;

TEST_F(VirtualCApi, SetCamerasCopiesNamesLinksCategoriesAndFormats)
{
    {
        // The strings live only for the call: the platform keeps copies.
        Text name = T("Bench Camera");
        Text link = T("\\\\?\\bench#0");
        const LumicapVirtualCamera cameras[] = {{name.c_str(), link.c_str(), virt::kCategoryVideoCamera, kFormats, 2}};
        ASSERT_EQ(LumicapVirtualSetCameras(cameras, 1), S_OK);
        std::fill(name.begin(), name.end(), u'x');
        std::fill(link.begin(), link.end(), u'x');
    }
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(CameraList(), std::vector<Text>{T("Bench Camera")});
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("GetCameraList"), T("Camera symbolic link: \\\\?\\bench#0"),
                                             T("Camera name: Bench Camera"),
                                             T("Camera category GUID: {E5323777-F976-4F5B-9B55-B94699C46E44}")}));
    OpenCamera("Bench Camera");
    EXPECT_EQ(MediaTypeList(), (std::vector<Text>{T("1024 X 768 YUY2 FPS 30"), T("800 X 600 NV12 FPS 29")}));
}

TEST_F(VirtualCApi, NullNameOrLinkLeavesTheAttributeOut)
{
    const LumicapVirtualCamera camera = {nullptr, nullptr, GUID_NULL, nullptr, 0};
    ASSERT_EQ(LumicapVirtualSetCameras(&camera, 1), S_OK);
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(CameraList(), std::vector<Text>{Text()});
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("GetCameraList"), T("Camera symbolic link: "), T("Camera name: "),
                                             T("Camera category GUID: {00000000-0000-0000-0000-000000000000}")}));
}

TEST_F(VirtualCApi, AddCameraAppendsAndAnEmptySetLeavesNone)
{
    const LumicapVirtualCamera extra = {TEXT("Extra"), TEXT("link"), CLSID_VideoInputDeviceCategory, kFormats, 1};
    ASSERT_EQ(LumicapVirtualAddCamera(&extra), S_OK);
    EXPECT_EQ(CameraList(), (std::vector<Text>{kDefaultNames[0], kDefaultNames[1], T("Extra")}));
    ASSERT_EQ(LumicapVirtualSetCameras(nullptr, 0), S_OK);
    EXPECT_TRUE(CameraList().empty());
    LumicapVirtualReset();
    EXPECT_EQ(CameraList(), kDefaultNames);
}

struct RefusedCameras {
    const char* description;
    std::vector<LumicapVirtualCamera> cameras;
    bool nullArray;
};

class VirtualCApiRefused : public HostTest, public ::testing::WithParamInterface<RefusedCameras> {};

// A refused call leaves the camera set as it was, even when only a later camera is at fault.
TEST_P(VirtualCApiRefused, LeavesTheCameraSetAlone)
{
    const RefusedCameras& c = GetParam();
    const LumicapVirtualCamera* cameras = c.nullArray ? nullptr : c.cameras.data();
    EXPECT_EQ(LumicapVirtualSetCameras(cameras, static_cast<UINT32>(c.cameras.size())), E_POINTER) << c.description;
    if (!c.cameras.empty()) {
        EXPECT_EQ(LumicapVirtualAddCamera(c.nullArray ? nullptr : &c.cameras.back()), E_POINTER) << c.description;
    }
    EXPECT_EQ(CameraList(), kDefaultNames) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VirtualCApiRefused,
    ::testing::Values(
        RefusedCameras{"null array", {{TEXT("A"), TEXT("a"), GUID_NULL, kFormats, 1}}, true},
        RefusedCameras{"null formats with a count", {{TEXT("A"), TEXT("a"), GUID_NULL, nullptr, 1}}, false},
        RefusedCameras{"second camera broken",
                       {{TEXT("A"), TEXT("a"), GUID_NULL, kFormats, 1}, {TEXT("B"), TEXT("b"), GUID_NULL, nullptr, 2}},
                       false}));

TEST_F(VirtualCApi, RemoveCameraCountsEveryCameraOfTheName)
{
    const LumicapVirtualCamera same = {TEXT("Same"), TEXT("s"), GUID_NULL, kFormats, 1};
    ASSERT_EQ(LumicapVirtualAddCamera(&same), S_OK);
    ASSERT_EQ(LumicapVirtualAddCamera(&same), S_OK);
    EXPECT_EQ(LumicapVirtualRemoveCamera(TEXT("Same")), 2);
    EXPECT_EQ(LumicapVirtualRemoveCamera(TEXT("Same")), 0);
    EXPECT_EQ(LumicapVirtualRemoveCamera(TEXT("lumicap virtual camera")), 0);
    EXPECT_EQ(LumicapVirtualRemoveCamera(nullptr), 0);
    EXPECT_EQ(CameraList(), kDefaultNames);
}

TEST_F(VirtualCApi, UnpluggingTheOpenCameraEndsTheEngineSetUp)
{
    StartPreviewOn(3);
    ClearMessages();
    EXPECT_EQ(LumicapVirtualRemoveCamera(TEXT("Lumicap Virtual Camera")), 1);
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->engine; }));
    EXPECT_EQ(::StartPreview(3, window_), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(CameraList(), std::vector<Text>{T("Lumicap Virtual Rear Camera")});
}

struct RefusedFault {
    const char* description;
    const char* operation;
    HRESULT failure;
    HRESULT expected;
};

class VirtualCApiRefusedFault : public HostTest, public ::testing::WithParamInterface<RefusedFault> {};

TEST_P(VirtualCApiRefusedFault, IsNotInstalled)
{
    const RefusedFault& c = GetParam();
    EXPECT_EQ(LumicapVirtualFailOperation(c.operation, c.failure, 0), c.expected) << c.description;
    // No rule was left behind: enumeration still works.
    EXPECT_EQ(CameraList(), kDefaultNames) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VirtualCApiRefusedFault,
    ::testing::Values(RefusedFault{"null name", nullptr, E_FAIL, E_POINTER},
                      RefusedFault{"unknown name", "MFEnumDeviceSource", E_FAIL, E_INVALIDARG},
                      RefusedFault{"name in another case", "mfenumdevicesources", E_FAIL, E_INVALIDARG},
                      RefusedFault{"S_OK is no failure", "MFEnumDeviceSources", S_OK, E_INVALIDARG},
                      RefusedFault{"S_FALSE is no failure", "MFEnumDeviceSources", S_FALSE, E_INVALIDARG}));

TEST_F(VirtualCApi, EveryOperationNameIsAccepted)
{
    for (const std::string& name : virt::OperationNames()) {
        EXPECT_EQ(LumicapVirtualFailOperation(name.c_str(), E_FAIL, 1), S_OK) << name;
    }
    LumicapVirtualClearFaults();
    EXPECT_EQ(CameraList(), kDefaultNames);
}

TEST_F(VirtualCApi, NthCallFailsOnceAndZeroFailsEveryCallUntilCleared)
{
    ASSERT_EQ(LumicapVirtualFailOperation("MFEnumDeviceSources", E_FAIL, 2), S_OK);
    EXPECT_EQ(CameraList(), kDefaultNames);
    EXPECT_TRUE(CameraList().empty());
    EXPECT_EQ(CameraList(), kDefaultNames);

    ASSERT_EQ(LumicapVirtualFailOperation("MFEnumDeviceSources", E_FAIL, 0), S_OK);
    EXPECT_TRUE(CameraList().empty());
    EXPECT_TRUE(CameraList().empty());
    LumicapVirtualClearFaults();
    EXPECT_EQ(CameraList(), kDefaultNames);

    ASSERT_EQ(LumicapVirtualFailOperation("MFEnumDeviceSources", E_FAIL, 0), S_OK);
    LumicapVirtualReset();
    EXPECT_EQ(CameraList(), kDefaultNames);
}

TEST_F(VirtualCApi, InjectedFailureReachesTheHostUnchanged)
{
    ::CreateInstance(window_);
    ASSERT_EQ(LumicapVirtualFailOperation("IMFCaptureEngine::Initialize", E_ACCESSDENIED, 1), S_OK);
    EXPECT_EQ(::InitializeCamera(TEXT("Lumicap Virtual Camera")), E_ACCESSDENIED);
    OpenCamera();
}

TEST_F(VirtualCApi, PhotoWriteModesAllGiveTheHostADecodablePhoto)
{
    EXPECT_EQ(LumicapVirtualSetPhotoWriteMode(3), E_INVALIDARG);
    StartPreviewOn(0);
    for (UINT32 mode : {LUMICAP_VIRTUAL_PHOTO_WRITE_ASYNC, LUMICAP_VIRTUAL_PHOTO_WRITE_PATCHED,
                        LUMICAP_VIRTUAL_PHOTO_WRITE_SEQUENTIAL}) {
        ASSERT_EQ(LumicapVirtualSetPhotoWriteMode(mode), S_OK);
        ::TakePhotoAsync();
        ASSERT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
        BYTE* photo = nullptr;
        INT32 size = 0;
        ::GetLastPhoto(&photo, &size);
        const DecodedImage image = DecodeJpeg(photo, static_cast<size_t>(size));
        EXPECT_TRUE(image.ok) << mode;
        EXPECT_EQ(image.width, 640u) << mode;
        ::FreePhotoMemory();
    }
}

#ifdef _WIN32
// On Windows the event objects are the system's own: their creation cannot be made to fail.
TEST_F(VirtualCApi, EventCreationCannotFailOnWindows)
{
    EXPECT_EQ(LumicapVirtualFailOperation("CreateEventW", E_FAIL, 1), E_INVALIDARG);
}
#else
// Off Windows the event objects are the portable subset's, so their creation can fail too; with no
// error code injected the library answers E_FAIL.
TEST_F(VirtualCApi, EventCreationFailsOffWindows)
{
    ::CreateInstance(window_);
    ASSERT_EQ(LumicapVirtualFailOperation("CreateEventW", E_FAIL, 1), S_OK);
    EXPECT_EQ(::InitializeCamera(TEXT("Lumicap Virtual Camera")), E_FAIL);
}
#endif

TEST_F(VirtualCApi, NoFrameBeforeThePreview)
{
    UINT32 width = 7;
    UINT32 height = 7;
    UINT32 pixel = 0;
    EXPECT_EQ(LumicapVirtualGetFrameCount(window_), 0u);
    EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &width, &height, &pixel, 1), LUMICAP_VIRTUAL_E_NO_FRAME);
    EXPECT_EQ(width, 0u);
    EXPECT_EQ(height, 0u);
    EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, nullptr, &height, nullptr, 0), E_POINTER);
    EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &width, nullptr, nullptr, 0), E_POINTER);
    EXPECT_EQ(LumicapVirtualGetFrameCount(nullptr), 0u);
}

TEST_F(VirtualCApi, LatestFrameIsTheTestPatternAtThePreviewSize)
{
    StartPreviewOn(5);  // 320 x 240
    ASSERT_TRUE(PumpUntil([this] { return LumicapVirtualGetFrameCount(window_) >= 2; }));

    UINT32 width = 0;
    UINT32 height = 0;
    ASSERT_EQ(LumicapVirtualGetLatestFrame(window_, &width, &height, nullptr, 0), S_OK);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);

    // One value short: sizes are reported, nothing is copied.
    std::vector<UINT32> pixels(320 * 240, 0xDEADBEEF);
    EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &width, &height, pixels.data(), pixels.size() - 1),
              LUMICAP_VIRTUAL_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](UINT32 p) { return p == 0xDEADBEEF; }));

    ASSERT_EQ(LumicapVirtualGetLatestFrame(window_, &width, &height, pixels.data(), pixels.size()), S_OK);
    // The middle row shows only the bars, whatever the frame number.
    for (UINT32 x = 0; x < width; ++x) {
        ASSERT_EQ(pixels[120 * width + x], virt::TestPatternPixel(x, 120, 320, 240, 0)) << x;
    }
}

}  // namespace
}  // namespace lumicap::testing
