#include "support/test_host.h"

#include "discovery/camera_discovery.h"

namespace lumicap::testing {
namespace {

virt::Camera MakeCamera(const char* name, GUID category = CLSID_VideoInputDeviceCategory)
{
    virt::Camera camera;
    camera.friendlyName = T(name);
    camera.symbolicLink = T("\\\\?\\link#") + T(name);
    camera.category = category;
    camera.formats = {virt::Format{640, 480, MFVideoFormat_YUY2, 30, 1}};
    return camera;
}

using Discovery = HostTest;

TEST_F(Discovery, DefaultCamerasAreListedWithTheirLogLines)
{
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(CameraList(), (std::vector<Text>{T("Lumicap Virtual Camera"), T("Lumicap Virtual Rear Camera")}));
    EXPECT_EQ(LogLines(), (std::vector<Text>{
                              T("GetCameraList"),
                              T("Camera symbolic link: \\\\?\\lumicap#virtual#0#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global"),
                              T("Camera name: Lumicap Virtual Camera"),
                              T("Camera category GUID: {860BB310-5D01-11D0-BD3B-00A0C911CE86}"),
                              T("Camera category name: CLSID_VideoInputDeviceCategory"),
                              T("Camera symbolic link: \\\\?\\lumicap#virtual#1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global"),
                              T("Camera name: Lumicap Virtual Rear Camera"),
                              T("Camera category GUID: {E5323777-F976-4F5B-9B55-B94699C46E44}"),
                          }));
}

TEST_F(Discovery, NoCameraGivesAnEmptyListAndOneLine)
{
    virt::SetCameras({});
    ::SetLogCallback(RecordLog);
    EXPECT_TRUE(CameraList().empty());
    EXPECT_EQ(LogLines(), std::vector<Text>{T("GetCameraList")});
}

TEST_F(Discovery, FailedEnumerationCountsAsNoCamera)
{
    for (const char* operation : {"MFCreateAttributes", "MFEnumDeviceSources"}) {
        virt::ClearFaults();
        virt::FailOperation(operation, E_FAIL);
        LogLines().clear();
        ::SetLogCallback(RecordLog);
        EXPECT_TRUE(CameraList().empty()) << operation;
        EXPECT_EQ(LogLines(), std::vector<Text>{T("GetCameraList")}) << operation;
    }
}

TEST_F(Discovery, UnreadableAttributesShowAsEmptyTextAndNullCategory)
{
    virt::Camera camera = MakeCamera("Plain");
    camera.hasSymbolicLink = false;
    camera.hasFriendlyName = false;
    camera.hasCategory = false;
    virt::SetCameras({camera});
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(CameraList(), std::vector<Text>{Text()});
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("GetCameraList"), T("Camera symbolic link: "), T("Camera name: "),
                                             T("Camera category GUID: {00000000-0000-0000-0000-000000000000}")}));
}

TEST_F(Discovery, NullOutArgumentIsNotWrittenAndStillLogs)
{
    ::SetLogCallback(RecordLog);
    ::GetCameraList(nullptr);
    ASSERT_FALSE(LogLines().empty());
    EXPECT_EQ(LogLines().front(), T("GetCameraList"));
    EXPECT_EQ(virt::LiveObjectCount(), 0);
}

TEST_F(Discovery, ListingLeavesTheModuleListAloneAndNeedsNoManager)
{
    Module().selectedCamera = 1;
    CameraList();
    EXPECT_EQ(Module().cameraDevices.Count(), 0u);
    EXPECT_EQ(Module().selectedCamera, 1);
    EXPECT_EQ(Module().theManager, nullptr);
}

TEST_F(Discovery, NoLogFunctionMeansNothingIsCalledAndTheListIsTheSame)
{
    const std::vector<Text> withLog = (::SetLogCallback(RecordLog), CameraList());
    ::SetLogCallback(nullptr);
    LogLines().clear();
    EXPECT_EQ(CameraList(), withLog);
    EXPECT_TRUE(LogLines().empty());
    ::SetLogCallback(RecordLog);
    CameraList();
    EXPECT_FALSE(LogLines().empty());
}

struct SelectionCase {
    const char* description;
    std::vector<const char*> cameras;
    int32_t selectedBefore;
    const char* requested;
    int32_t expected;  // -1: no camera
};

class Selection : public HostTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(Selection, ChoosesByExactName)
{
    const SelectionCase& c = GetParam();
    std::vector<virt::Camera> cameras;
    for (const char* name : c.cameras) cameras.push_back(MakeCamera(name));
    virt::SetCameras(cameras);
    Module().selectedCamera = c.selectedBefore;

    IMFActivate* chosen = SelectCameraByName(T(c.requested).c_str());
    if (c.expected < 0) {
        EXPECT_EQ(chosen, nullptr) << c.description;
    } else {
        ASSERT_NE(chosen, nullptr) << c.description;
        EXPECT_EQ(Module().selectedCamera, c.expected) << c.description;
        EXPECT_EQ(chosen, Module().cameraDevices.At(static_cast<UINT32>(c.expected))) << c.description;
    }
    EXPECT_EQ(Module().cameraDevices.Count(), c.cameras.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Selection,
    ::testing::Values(SelectionCase{"exact match", {"A", "B"}, 0, "B", 1},
                      SelectionCase{"duplicates choose the last", {"Same", "Same"}, 0, "Same", 1},
                      SelectionCase{"case differs: falls back to index 0", {"Cam", "cam"}, 0, "CAM", 0},
                      SelectionCase{"trailing space matches nothing", {"Cam", "Other"}, 1, "Cam ", 1},
                      SelectionCase{"kept index after an earlier match", {"A", "B", "C"}, 2, "Nobody", 2},
                      SelectionCase{"kept index beyond a shorter list", {"A"}, 2, "Nobody", -1},
                      SelectionCase{"no camera attached", {}, 0, "A", -1}));

TEST_F(Discovery, CameraWithUnreadableNameIsNeverSelected)
{
    virt::Camera nameless = MakeCamera("");
    nameless.hasFriendlyName = false;
    virt::SetCameras({MakeCamera("A"), nameless});
    ASSERT_NE(SelectCameraByName(T("").c_str()), nullptr);
    EXPECT_EQ(Module().selectedCamera, 0);
}

TEST_F(Discovery, SelectionReplacesTheListAndReleasesTheOldOne)
{
    virt::SetCameras({MakeCamera("A"), MakeCamera("B")});
    SelectCameraByName(T("B").c_str());
    const long live = virt::LiveObjectCount();
    SelectCameraByName(T("B").c_str());
    EXPECT_EQ(virt::LiveObjectCount(), live);
    ReleaseCameraDevices();
    EXPECT_EQ(Module().cameraDevices.Count(), 0u);
    EXPECT_EQ(Module().selectedCamera, 1);
    EXPECT_EQ(virt::LiveObjectCount(), 0);
    // Releasing an empty list is fine too, as at unload before any selection.
    UnloadCleanup();
}

}  // namespace
}  // namespace lumicap::testing
