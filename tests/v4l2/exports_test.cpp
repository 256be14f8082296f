// The library's exports on vivid (n_devs=2: /dev/video0 and /dev/video4, both
// named "vivid"), run in scripts/v4l2-vm.sh. One process, one CreateInstance:
// the tests share the library and run in file order. Unbinding vivid comes
// first, while no camera is open (a node held open across it comes back under
// another number); the leak check next, while the library still has the first
// camera chosen; the disconnect comes last, since the second instance may not
// come back.
#include "colour_bars.h"
#include "exports_host.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/v4l2/video_stream.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace lumicap::v4l2::testing {
namespace {

using std::chrono::seconds;

constexpr const char* kFirst = "/dev/video0";
constexpr const char* kOpened = "/dev/video4";                   // the last camera named "vivid"
constexpr HRESULT kInUse = static_cast<HRESULT>(0xC00D3704);     // MF_E_HW_MFT_FAILED_START_STREAMING
constexpr HRESULT kUnplugged = static_cast<HRESULT>(0xC00D3EA2); // MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED

// What the library names a V4L2 pixel format in its media type lines; empty for
// those it drops.
std::string SubtypeName(const std::string& fourcc)
{
    static const std::pair<const char*, const char*> names[] = {
        {"YUYV", "YUY2"}, {"UYVY", "UYVY"}, {"YVYU", "YVYU"}, {"NV12", "NV12"},
        {"YU12", "I420"}, {"YV12", "YV12"}, {"MJPG", "MJPG"}, {"JPEG", "MJPG"},
    };
    for (const auto& name : names) {
        if (fourcc == name.first) return name.second;
    }
    return {};
}

struct ListedSize {
    std::string line; // "W X H SUBTYPE FPS R" without the rate until the
                      // intervals are read
    std::string subtype;
    unsigned width;
    unsigned height;
    double fps;
};

// v4l2-ctl's discrete formats, mapped as the library lists them: one line per
// (format, size) at the size's highest rate.
std::vector<std::string> ExpectedMediaTypes(const std::string& node)
{
    std::vector<ListedSize> sizes;
    std::istringstream lines(Output("v4l2-ctl -d " + node + " --list-formats-ext"));
    std::string line;
    std::string subtype;
    while (std::getline(lines, line)) {
        const size_t quote = line.find("]: '");
        unsigned width = 0, height = 0;
        double seconds = 0, fps = 0;
        if (quote != std::string::npos && line.size() >= quote + 8) {
            subtype = SubtypeName(line.substr(quote + 4, 4));
        } else if (sscanf(line.c_str(), " Size: Discrete %ux%u", &width, &height) == 2) {
            if (!subtype.empty()) sizes.push_back({{}, subtype, width, height, 0});
        } else if (sscanf(line.c_str(), " Interval: Discrete %lfs (%lf fps)", &seconds, &fps) == 2) {
            if (!subtype.empty() && !sizes.empty()) sizes.back().fps = std::max(sizes.back().fps, fps);
        } else if (line.find("Stepwise") != std::string::npos || line.find("Continuous") != std::string::npos) {
            ADD_FAILURE() << "a range, which this comparison does not cover: " << line;
        }
    }
    std::vector<std::string> expected;
    for (const ListedSize& s : sizes) {
        // The library shows the integer part of numerator / denominator; v4l2-ctl
        // prints 3 decimals.
        const unsigned rate = static_cast<unsigned>(std::floor(s.fps + 1e-6));
        expected.push_back(std::to_string(s.width) + " X " + std::to_string(s.height) + " " + s.subtype + " FPS " +
                           std::to_string(rate));
    }
    return expected;
}

// The index of the first line that starts with this size and subtype; -1 when
// none.
INT32 FindMediaType(const std::vector<std::string>& types, const std::string& prefix)
{
    for (size_t i = 0; i < types.size(); ++i) {
        if (types[i].rfind(prefix + " FPS ", 0) == 0) return static_cast<INT32>(i);
    }
    return -1;
}

class Exports : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(kFirst, F_OK) != 0) GTEST_SKIP() << "no vivid here; run the test in scripts/v4l2-vm.sh";
        host_ = &ExportsHost::Get();
    }
    void TearDown() override
    {
        if (!host_) return;
        StopPreview();
        host_->PumpFor(std::chrono::milliseconds(300));
    }

    // The opened camera, ready, previewing the given type; the index is returned
    // in *index.
    void PreviewOn(const std::string& type, INT32* index)
    {
        ASSERT_EQ(host_->Initialize("vivid"), S_OK);
        const std::vector<std::string> types = MediaTypeList();
        *index = FindMediaType(types, type);
        ASSERT_GE(*index, 0) << type << " is not listed";
        host_->Clear();
        ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(*index, seconds(20))) << "no frame of " << type;
    }

    // A photo taken while previewing the type: a JPEG of the type's size that
    // decodes.
    void ExpectPhotoOf(const std::string& type)
    {
        ASSERT_EQ(host_->Initialize("vivid"), S_OK);
        if (FindMediaType(MediaTypeList(), type) < 0) GTEST_SKIP() << "vivid lists no " << type;
        INT32 index = -1;
        ASSERT_NO_FATAL_FAILURE(PreviewOn(type, &index));
        unsigned width = 0, height = 0;
        ASSERT_EQ(sscanf(type.c_str(), "%u X %u", &width, &height), 2);

        host_->Clear();
        TakePhotoAsync();
        const MSG* ready = host_->WaitForNotice(WM_CAMERA_PHOTO_READY, seconds(20));
        ASSERT_NE(ready, nullptr);
        EXPECT_EQ(ready->lParam, 0);
        BYTE* jpeg = nullptr;
        INT32 size = 0;
        GetLastPhoto(&jpeg, &size);
        ASSERT_NE(jpeg, nullptr);
        ASSERT_GT(size, 0);
        std::vector<unsigned char> bytes(jpeg, jpeg + size);
        FreePhotoMemory();

        std::unique_ptr<void, int (*)(tjhandle)> decoder(tjInitDecompress(), tjDestroy);
        ASSERT_TRUE(decoder);
        int w = 0, h = 0, subsampling = 0, colorspace = 0;
        ASSERT_EQ(tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &w, &h, &subsampling, &colorspace), 0)
            << tjGetErrorStr2(decoder.get());
        EXPECT_EQ(w, static_cast<int>(width));
        EXPECT_EQ(h, static_cast<int>(height));
        std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
        EXPECT_EQ(tjDecompress2(decoder.get(), bytes.data(), bytes.size(), rgb.data(), w, 0, h, TJPF_RGB, 0), 0)
            << tjGetErrorStr2(decoder.get());
    }

    ExportsHost* host_ = nullptr;
};

// Writes vivid's platform device to one of its driver's files (unbind, bind).
bool WriteVividDriver(const char* file)
{
    std::ofstream out(std::string("/sys/bus/platform/drivers/vivid/") + file);
    out << "vivid.0";
    out.flush();
    return static_cast<bool>(out);
}

// Pumps until a WM_CAMERA_DEVICES_CHANGED of this direction has come (since the
// last Clear); each other one is added to *others.
bool WaitForDeviceChange(ExportsHost& host, WPARAM change, int* others)
{
    const bool seen = host.PumpUntil(
        [&] {
            return std::any_of(host.Notices().begin(), host.Notices().end(), [&](const MSG& msg) {
                return msg.message == WM_CAMERA_DEVICES_CHANGED && msg.wParam == change;
            });
        },
        std::chrono::seconds(20));
    for (const MSG& msg : host.Notices()) {
        *others += msg.message == WM_CAMERA_DEVICES_CHANGED && (msg.wParam != change || msg.lParam != 0);
    }
    return seen;
}

TEST_F(Exports, UnbindingVividPostsARemovalAndBindingItBackAnArrival)
{
    host_->Clear();
    int others = 0;
    // Both instances' eight nodes go at once.
    ASSERT_TRUE(WriteVividDriver("unbind"));
    EXPECT_TRUE(WaitForDeviceChange(*host_, DBT_DEVICEREMOVECOMPLETE, &others));
    EXPECT_TRUE(host_->PumpUntil([] { return CameraList().empty(); }, seconds(10)));
    host_->Clear();
    ASSERT_TRUE(WriteVividDriver("bind"));
    EXPECT_TRUE(WaitForDeviceChange(*host_, DBT_DEVICEARRIVAL, &others));
    EXPECT_EQ(others, 0) << "a change the other way, or with an lParam";
    EXPECT_TRUE(host_->PumpUntil([] { return CameraList().size() == 2; }, seconds(10)));
    // Back with their controls at defaults: the other suites expect no text drawn.
    for (const char* node : {kFirst, kOpened}) EXPECT_TRUE(SetControl(node, "osd_text_mode", 0)) << node;
}

TEST_F(Exports, AFullCycleAndASecondCameraLeaveNoDescriptorOrMappingBehind)
{
    // No name matches: the camera chosen before, the first one at start.
    ASSERT_EQ(host_->Initialize("no camera has this name"), S_OK);
    const int descriptors = OpenDescriptorCount();
    const int mappings = NodeMappingCount();

    const INT32 first = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
    ASSERT_GE(first, 0);
    ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(first, seconds(20)));
    EXPECT_GT(NodeMappingCount(), mappings);
    TakePhotoAsync();
    const MSG* photo = host_->WaitForNotice(WM_CAMERA_PHOTO_READY, seconds(20));
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->lParam, 0);
    host_->PumpFor(std::chrono::milliseconds(200));
    StopPreview();
    host_->PumpFor(std::chrono::milliseconds(500));

    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(NodeMappingCount(), mappings);
}

TEST_F(Exports, ListsBothInstancesAndOpensTheLastOneNamed)
{
    EXPECT_EQ(CameraList(), (std::vector<std::string>{"vivid", "vivid"}));
    ASSERT_EQ(InitializeCamera(Wide("vivid").c_str()), S_OK);
    host_->Clear();
    const MSG* ready = host_->WaitForNotice(WM_CAMERA_READY, seconds(30));
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready->lParam, 0);

    const INT32 index = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
    ASSERT_GE(index, 0);
    ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(index, seconds(20)));
    std::vector<std::string> nodes = OpenNodes();
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    EXPECT_EQ(nodes, std::vector<std::string>{kOpened});
}

TEST_F(Exports, OpensEachVividByItsOwnLink)
{
    SAFEARRAY* names = nullptr;
    SAFEARRAY* links = nullptr;
    ASSERT_EQ(LumicapGetCameras(&names, &links), S_OK);
    EXPECT_EQ(TakeStringList(names), (std::vector<std::string>{"vivid", "vivid"}));
    const std::vector<std::string> found = TakeStringList(links);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0], found[1]);

    // The second one first: a name would open it too; the first one only its link can.
    const std::pair<std::string, const char*> cameras[] = {{found[1], kOpened}, {found[0], kFirst}};
    for (const auto& [link, node] : cameras) {
        EXPECT_EQ(link.rfind("v4l2:", 0), 0u) << link;
        host_->Clear();
        ASSERT_EQ(LumicapInitializeCameraByLink(Wide(link).c_str()), S_OK) << link;
        const MSG* ready = host_->WaitForNotice(WM_CAMERA_READY, seconds(30));
        ASSERT_NE(ready, nullptr) << link;
        EXPECT_EQ(ready->lParam, 0) << link;
        BSTR current = nullptr;
        ASSERT_EQ(LumicapGetCurrentCamera(nullptr, &current), S_OK);
        EXPECT_EQ(Narrow(Text(current, SysStringLen(current))), link);
        SysFreeString(current);
        const INT32 index = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
        ASSERT_GE(index, 0);
        ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(index, seconds(20))) << link;
        const std::vector<std::string> open = OpenNodes();
        EXPECT_NE(std::find(open.begin(), open.end(), node), open.end()) << link << " streams from " << node;
        StopPreview();
        host_->PumpFor(std::chrono::milliseconds(300));
    }
}

TEST_F(Exports, ListsTheFormatsV4l2CtlListsMappedToTheLibrarysNames)
{
    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    const std::vector<std::string> expected = ExpectedMediaTypes(kOpened);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(MediaTypeList(), expected);
}

TEST_F(Exports, PreviewShowsVividsColourBars)
{
    ASSERT_TRUE(SetControl(kOpened, "osd_text_mode", 2));
    INT32 index = -1;
    ASSERT_NO_FATAL_FAILURE(PreviewOn("320 X 180 YUY2", &index));
    // A later frame: the first may predate the control.
    ASSERT_TRUE(host_->WaitForNewFrame(seconds(10)));

    std::vector<uint32_t> pixels(320 * 180);
    UINT32 width = 0, height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(host_->PreviewWindow(), pixels.data(), pixels.size(), &width, &height));
    ASSERT_EQ(width, 320u);
    ASSERT_EQ(height, 180u);
    ExpectColourBars(pixels, width, height);
    SetControl(kOpened, "osd_text_mode", 0);
}

// Frames only (no window): the host reads the camera's frames converted straight from the driver's
// buffers, numbered as they came.
TEST_F(Exports, FramesModeHandsTheHostVividsColourBars)
{
    ASSERT_TRUE(SetControl(kOpened, "osd_text_mode", 2));
    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    const INT32 index = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
    ASSERT_GE(index, 0);
    ASSERT_EQ(LumicapSetPreviewFrames(TRUE), S_OK);
    ASSERT_EQ(StartPreview(index, nullptr), S_OK);
    std::vector<uint32_t> pixels(320 * 180);
    UINT32 width = 0, height = 0;
    UINT64 first = 0, later = 0;
    auto frameAfter = [&](UINT64 after, UINT64* number) {
        return host_->PumpUntil(
            [&] {
                return LumicapGetPreviewFrame(&width, &height, pixels.data(), pixels.size(), number) == S_OK &&
                       *number > after;
            },
            seconds(10));
    };
    EXPECT_TRUE(frameAfter(0, &first));
    // A frame after the first: the first may predate the control.
    EXPECT_TRUE(frameAfter(first, &later));
    StopPreview();
    LumicapSetPreviewFrames(FALSE);
    SetControl(kOpened, "osd_text_mode", 0);
    ASSERT_EQ(width, 320u);
    ASSERT_EQ(height, 180u);
    ExpectColourBars(pixels, width, height);
}

TEST_F(Exports, APhotoOfAYuy2PreviewIsAJpegOfItsSize) { ExpectPhotoOf("640 X 360 YUY2"); }

TEST_F(Exports, ABusyCameraFailsThePreviewThenEndsTheSetUpAndWorksOnceFreed)
{
    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    const INT32 index = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
    ASSERT_GE(index, 0);
    {
        VideoStream other;
        ASSERT_EQ(other.Open(kOpened), S_OK);
        ASSERT_EQ(other.Start(V4L2_PIX_FMT_YUYV, 640, 360, 25, 1), S_OK);
        VideoStream::Dequeued frame{};
        ASSERT_EQ(other.WaitFrame(10000, &frame), S_OK);
        ASSERT_EQ(other.Requeue(frame), S_OK);

        host_->Clear();
        ASSERT_EQ(StartPreview(index, host_->PreviewWindow()), S_OK) << "the engine reports the start later";
        const MSG* preview = host_->WaitForError(LUMICAP_ERROR_PREVIEW, seconds(20));
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(static_cast<HRESULT>(preview->lParam), kInUse);
        const MSG* camera = host_->WaitForError(LUMICAP_ERROR_CAMERA, seconds(20));
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(static_cast<HRESULT>(camera->lParam), kInUse);
        const auto& notices = host_->Notices();
        auto position = [&](const MSG* m) {
            return std::find_if(notices.begin(), notices.end(), [&](const MSG& n) { return &n == m; });
        };
        EXPECT_LT(position(preview), position(camera)) << "the preview's error comes first";
    }
    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    EXPECT_TRUE(host_->StartPreviewAndWaitForFrame(index, seconds(20)));
}

TEST_F(Exports, AFailedStreamOnFailsThePreviewAndTheNextSetUpPreviews)
{
    const std::string control = Output("v4l2-ctl -d " + std::string(kOpened) + " -L");
    ASSERT_NE(control.find("inject_vidioc_streamon_error"), std::string::npos) << control;
    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    const INT32 index = FindMediaType(MediaTypeList(), "320 X 180 YUY2");
    ASSERT_GE(index, 0);

    ASSERT_TRUE(SetControl(kOpened, "inject_vidioc_streamon_error"));
    host_->Clear();
    const UINT64 shown = LumicapGetFrameCount(host_->PreviewWindow());
    ASSERT_EQ(StartPreview(index, host_->PreviewWindow()), S_OK) << "the engine reports the start later";
    const MSG* preview = host_->WaitForError(LUMICAP_ERROR_PREVIEW, seconds(20));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(preview->lParam))) << std::hex << preview->lParam;
    host_->PumpFor(std::chrono::milliseconds(500));
    EXPECT_EQ(LumicapGetFrameCount(host_->PreviewWindow()), shown) << "a failed start showed frames";
    EXPECT_EQ(NodeMappingCount(), 0) << "a failed start left buffers mapped";

    ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    EXPECT_TRUE(host_->StartPreviewAndWaitForFrame(index, seconds(20)));
}

TEST_F(Exports, ZzADisconnectWhilePreviewingEndsTheSetUpAsUnplugged)
{
    INT32 index = -1;
    ASSERT_NO_FATAL_FAILURE(PreviewOn("320 X 180 YUY2", &index));
    host_->Clear();
    ASSERT_TRUE(SetControl(kOpened, "disconnect"));
    const MSG* camera = host_->WaitForError(LUMICAP_ERROR_CAMERA, seconds(20));
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(static_cast<HRESULT>(camera->lParam), kUnplugged);
}

} // namespace
} // namespace lumicap::v4l2::testing
