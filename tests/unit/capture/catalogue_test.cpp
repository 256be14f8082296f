#include "support/test_host.h"

#include "capture/capture_manager.h"
#include "capture/media_type_catalogue.h"

#include <algorithm>

namespace lumicap::testing {
namespace {

GUID Subtype(UINT32 code)
{
    GUID subtype = MFVideoFormat_YUY2;
    subtype.Data1 = code;
    return subtype;
}

struct LineCase {
    UINT32 width, height, code, numerator, denominator;
    std::string expected;
};

class CatalogueLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(CatalogueLine, DescribesSizeSubtypeAndWholeRate)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(DescribeFormat(c.width, c.height, Subtype(c.code), c.numerator, c.denominator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CatalogueLine,
    ::testing::Values(LineCase{1280, 720, 0x32595559, 30, 1, "1280 X 720 YUY2 FPS 30"},
                      LineCase{1920, 1080, 0x47504A4D, 30, 1, "1920 X 1080 MJPG FPS 30"},
                      LineCase{1920, 1080, 0x3231564E, 30000, 1001, "1920 X 1080 NV12 FPS 29"},
                      LineCase{320, 240, 20, 15, 1, "320 X 240  FPS 15"},
                      LineCase{640, 480, 22, 15, 2, "640 X 480 \x16 FPS 7"},
                      LineCase{640, 480, 0x32595500, 59, 2, "640 X 480  FPS 29"},
                      LineCase{640, 480, 0x00595559, 60, 1, "640 X 480 YUY FPS 60"},
                      LineCase{640, 480, 0x00000021, 60, 1, "640 X 480 ! FPS 60"},
                      // 21 and 24 follow the general rule; only 20 is special.
                      LineCase{640, 480, 0x00000015, 1, 1, "640 X 480 \x15 FPS 1"},
                      LineCase{640, 480, 0x00000018, 1, 1, "640 X 480 \x18 FPS 1"},
                      LineCase{4294967295u, 0, 0x41424344, 4294967295u, 1, "4294967295 X 0 DCBA FPS 4294967295"},
                      // No rate can be shown for a zero denominator.
                      LineCase{640, 480, 0x32595559, 30, 0, "640 X 480 YUY2 FPS 0"}));

TEST(CatalogueWidening, BytesAbove127AreSignExtended)
{
    SAFEARRAY* list = nullptr;
    StringsToBstrArray({std::string("A\x80\xFF", 3), std::string()}, &list);
    std::vector<Text> lines = ReadStringList(list);
    SafeArrayDestroy(list);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (Text{static_cast<WCHAR>(0x41), static_cast<WCHAR>(0xFF80), static_cast<WCHAR>(0xFFFF)}));
    EXPECT_EQ(lines[1], Text());
}

using Catalogue = HostTest;

TEST_F(Catalogue, DefaultCameraListsItsSixFormatsInOrder)
{
    OpenCamera();
    ::SetLogCallback(RecordLog);
    EXPECT_EQ(MediaTypeList(), (std::vector<Text>{T("640 X 480 YUY2 FPS 30"), T("1280 X 720 YUY2 FPS 10"),
                                                  T("1280 X 720 MJPG FPS 30"), T("1920 X 1080 MJPG FPS 30"),
                                                  T("1920 X 1080 NV12 FPS 29"), T("320 X 240  FPS 15")}));
    EXPECT_EQ(LogLines(), std::vector<Text>{T("GetMediaTypeList")});
}

TEST_F(Catalogue, EmptyBeforeAnEngineAndWhilePreviewing)
{
    ::SetLogCallback(RecordLog);
    EXPECT_TRUE(MediaTypeList().empty());
    ::CreateInstance(window_);
    EXPECT_TRUE(MediaTypeList().empty());
    StartPreviewOn(3);
    EXPECT_TRUE(MediaTypeList().empty());
    ::StopPreview();
    EXPECT_EQ(MediaTypeList().size(), 6u);
    EXPECT_EQ(std::count(LogLines().begin(), LogLines().end(), T("GetMediaTypeList")), 4);
}

TEST_F(Catalogue, NullOutArgumentStillLogs)
{
    OpenCamera();
    ::SetLogCallback(RecordLog);
    ::GetMediaTypeList(nullptr);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("GetMediaTypeList")});
}

virt::Camera CameraWith(std::vector<virt::Format> formats)
{
    virt::Camera camera;
    camera.friendlyName = T("Odd");
    camera.symbolicLink = T("link");
    camera.category = CLSID_VideoInputDeviceCategory;
    camera.formats = std::move(formats);
    return camera;
}

TEST_F(Catalogue, UnreadableFrameSizeRepeatsThePreviousOne)
{
    virt::Format first{800, 600, MFVideoFormat_NV12, 25, 1};
    first.hasFrameSize = false;
    virt::Format second{1024, 768, MFVideoFormat_YUY2, 30, 1};
    virt::Format third{0, 0, MFVideoFormat_MJPG, 5, 1};
    third.hasFrameSize = false;
    virt::SetCameras({CameraWith({first, second, third})});
    OpenCamera("Odd");
    EXPECT_EQ(MediaTypeList(),
              (std::vector<Text>{T("0 X 0 NV12 FPS 25"), T("1024 X 768 YUY2 FPS 30"), T("1024 X 768 MJPG FPS 5")}));
}

TEST_F(Catalogue, UnreadableRateOrSubtypeEndsTheList)
{
    for (bool rate : {true, false}) {
        virt::Format broken{320, 240, MFVideoFormat_YUY2, 30, 1};
        (rate ? broken.hasFrameRate : broken.hasSubtype) = false;
        virt::Format ok{640, 480, MFVideoFormat_YUY2, 30, 1};
        virt::SetCameras({CameraWith({ok, ok, broken, ok})});
        ResetModule();
        OpenCamera("Odd");
        EXPECT_EQ(MediaTypeList().size(), 2u) << (rate ? "rate" : "subtype");
        std::vector<std::string> lines;
        EXPECT_EQ(Module().theManager->CollectMediaTypeDescriptions(lines), MF_E_ATTRIBUTENOTFOUND);
    }
}

TEST_F(Catalogue, WalkEndsQuietlyAtAFailedFetch)
{
    OpenCamera();
    virt::FailOperation("IMFCaptureSource::GetAvailableDeviceMediaType", E_FAIL, 3);
    std::vector<std::string> lines;
    EXPECT_EQ(Module().theManager->CollectMediaTypeDescriptions(lines), S_OK);
    EXPECT_EQ(lines.size(), 2u);
    virt::FailOperation("IMFCaptureEngine::GetSource", E_ACCESSDENIED);
    lines.clear();
    EXPECT_EQ(Module().theManager->CollectMediaTypeDescriptions(lines), E_ACCESSDENIED);
    EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace lumicap::testing
