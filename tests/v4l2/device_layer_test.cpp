// The V4L2 device layer against the kernel's virtual camera, vivid, loaded with n_devs=2 (run it in
// scripts/v4l2-vm.sh). Its first instance's capture node is /dev/video0, the second's /dev/video4.
// The last test disconnects the second instance; older kernels keep it gone until the machine
// restarts, newer ones bring it back once nothing has it open.
#include "platform/v4l2/device_formats.h"
#include "platform/v4l2/device_nodes.h"
#include "platform/v4l2/video_stream.h"
#include "vm_probes.h"

#include <linux/videodev2.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace lumicap::v4l2 {

std::ostream& operator<<(std::ostream& out, const DeviceNode& n)
{
    return out << "{" << n.path << ", " << n.card << ", " << n.busInfo << "}";
}

namespace {

constexpr const char* kFirst = "/dev/video0";
constexpr const char* kSecond = "/dev/video4";

class DeviceLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(kFirst, F_OK) != 0) GTEST_SKIP() << "no vivid here; run the test in scripts/v4l2-vm.sh";
        descriptors_ = testing::OpenDescriptorCount();
    }
    void TearDown() override
    {
        if (descriptors_ >= 0) {
            EXPECT_EQ(testing::OpenDescriptorCount(), descriptors_) << "descriptors leaked";
        }
    }

    // A frame from a started stream, given back at once.
    static void ExpectFrame(VideoStream& stream)
    {
        VideoStream::Dequeued frame{};
        ASSERT_EQ(stream.WaitFrame(10000, &frame), S_OK);
        EXPECT_EQ(frame.bytesUsed, stream.SizeImage());
        EXPECT_EQ(stream.Requeue(frame), S_OK);
    }

private:
    int descriptors_ = -1;
};

TEST_F(DeviceLayer, ListsEachInstancesCaptureNodeOnly)
{
    std::vector<DeviceNode> nodes = ListCaptureNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].path, kFirst);
    EXPECT_EQ(nodes[0].card, "vivid");
    EXPECT_EQ(nodes[0].busInfo, "platform:vivid-000");
    EXPECT_EQ(nodes[1].path, kSecond);
    EXPECT_EQ(nodes[1].card, "vivid");
    EXPECT_EQ(nodes[1].busInfo, "platform:vivid-001");
}

TEST_F(DeviceLayer, ListsNodesInNumericOrderAndSkipsOtherNames)
{
    char dir[] = "/tmp/lumicap-nodes.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    const std::vector<std::pair<std::string, const char*>> links = {
        {"video10", kSecond}, {"video2", kFirst}, {"video3", "/dev/video1"},  // video1 is an output node
        {"videox", kFirst},   {"video", kFirst},  {"media0", kFirst},
    };
    for (const auto& link : links) ASSERT_EQ(symlink(link.second, (d + "/" + link.first).c_str()), 0);

    std::vector<DeviceNode> nodes = ListCaptureNodes(d);
    for (const auto& link : links) unlink((d + "/" + link.first).c_str());
    rmdir(dir);

    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].path, d + "/video2");
    EXPECT_EQ(nodes[0].busInfo, "platform:vivid-000");
    EXPECT_EQ(nodes[1].path, d + "/video10");
    EXPECT_EQ(nodes[1].busInfo, "platform:vivid-001");
    EXPECT_TRUE(ListCaptureNodes("/nonexistent").empty());
}

TEST_F(DeviceLayer, OpenReportsAMissingNodeAsGone)
{
    UniqueFd fd;
    EXPECT_EQ(OpenNode("/dev/video99", &fd), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_FALSE(fd);
    VideoStream stream;
    EXPECT_EQ(stream.Open("/dev/video1"), E_INVALIDARG);  // an output node
    EXPECT_FALSE(stream.IsOpen());
}

// What v4l2-ctl lists, in the same terms: each size's fastest and slowest rate in frames per second.
struct Listed {
    uint32_t pixelFormat;
    uint32_t width;
    uint32_t height;
    double maxFps;
    double minFps;
};

std::vector<Listed> ListedByV4l2Ctl(const char* node)
{
    std::vector<Listed> listed;
    std::istringstream lines(testing::Output(std::string("v4l2-ctl -d ") + node + " --list-formats-ext"));
    std::string line;
    uint32_t pixelFormat = 0;
    while (std::getline(lines, line)) {
        size_t quote = line.find("]: '");
        unsigned width = 0, height = 0;
        double seconds = 0, fps = 0;
        if (quote != std::string::npos && line.size() >= quote + 8) {
            const char* c = line.c_str() + quote + 4;
            pixelFormat = v4l2_fourcc(c[0], c[1], c[2], c[3]);
        } else if (sscanf(line.c_str(), " Size: Discrete %ux%u", &width, &height) == 2) {
            if (SubtypeOfPixelFormat(pixelFormat) != GUID_NULL) listed.push_back({pixelFormat, width, height, 0, 1e9});
        } else if (line.find("Size:") != std::string::npos) {
            ADD_FAILURE() << "a size range, which this comparison does not cover: " << line;
        } else if (sscanf(line.c_str(), " Interval: Discrete %lfs (%lf fps)", &seconds, &fps) == 2) {
            if (SubtypeOfPixelFormat(pixelFormat) == GUID_NULL || listed.empty()) continue;
            listed.back().maxFps = std::max(listed.back().maxFps, fps);
            listed.back().minFps = std::min(listed.back().minFps, fps);
        } else if (line.find("Interval:") != std::string::npos) {
            ADD_FAILURE() << "an interval range, which this comparison does not cover: " << line;
        }
    }
    return listed;
}

TEST_F(DeviceLayer, ListsTheFormatsV4l2CtlListsThatTheEngineOffers)
{
    std::vector<Listed> expected = ListedByV4l2Ctl(kFirst);
    ASSERT_FALSE(expected.empty());

    UniqueFd fd;
    ASSERT_EQ(OpenNode(kFirst, &fd), S_OK);
    std::vector<DeviceFormat> formats;
    ASSERT_EQ(ListFormats(fd.Get(), &formats), S_OK);

    ASSERT_EQ(formats.size(), expected.size());
    for (size_t i = 0; i < formats.size(); ++i) {
        const DeviceFormat& f = formats[i];
        const Listed& e = expected[i];
        SCOPED_TRACE(::testing::Message() << "entry " << i << ": " << e.width << "x" << e.height);
        EXPECT_EQ(f.pixelFormat, e.pixelFormat);
        EXPECT_EQ(f.width, e.width);
        EXPECT_EQ(f.height, e.height);
        // v4l2-ctl prints rates to three decimals.
        EXPECT_NEAR(double(f.rateNumerator) / f.rateDenominator, e.maxFps, 0.0005);
        EXPECT_NEAR(double(f.minRateNumerator) / f.minRateDenominator, e.minFps, 0.0005);
    }
    // The driver's own fractions, not reduced or rounded: 1280x720 runs at most every 2/25 s.
    bool found = false;
    for (const DeviceFormat& f : formats) {
        if (f.pixelFormat != V4L2_PIX_FMT_YUYV || f.width != 1280 || f.height != 720) continue;
        found = true;
        EXPECT_EQ(f.rateNumerator, 25u);
        EXPECT_EQ(f.rateDenominator, 2u);
        EXPECT_EQ(f.minRateNumerator, 1u);
        EXPECT_EQ(f.minRateDenominator, 1u);
    }
    EXPECT_TRUE(found);
}

TEST_F(DeviceLayer, StreamsFramesOfTheNegotiatedSize)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kFirst), S_OK);
    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 640, 480, 25, 1), S_OK);
    EXPECT_EQ(stream.Width(), 640u);
    EXPECT_EQ(stream.Height(), 480u);
    EXPECT_EQ(stream.PixelFormat(), uint32_t{V4L2_PIX_FMT_YUYV});
    EXPECT_GE(stream.BytesPerLine(), 640u * 2);
    EXPECT_GE(stream.SizeImage(), stream.BytesPerLine() * 480);
    EXPECT_TRUE(testing::MapsNode(kFirst));

    uint32_t last = 0;
    for (int i = 0; i < 6; ++i) {
        VideoStream::Dequeued frame{};
        ASSERT_EQ(stream.WaitFrame(10000, &frame), S_OK) << "frame " << i;
        ASSERT_NE(frame.data, nullptr);
        EXPECT_EQ(frame.bytesUsed, stream.SizeImage());
        if (i > 0) {
            EXPECT_GT(frame.sequence, last);
        }
        last = frame.sequence;
        // A frame still held cannot be handed back twice.
        ASSERT_EQ(stream.Requeue(frame), S_OK);
        EXPECT_EQ(stream.Requeue(frame), E_INVALIDARG);
    }
    stream.Stop();
    stream.Stop();
    EXPECT_FALSE(testing::MapsNode(kFirst));
    // A size the driver does not have is not silently replaced with another one.
    EXPECT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 641, 479, 25, 1), MF_E_INVALIDMEDIATYPE);
    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 320, 180, 60, 1), S_OK);
    ExpectFrame(stream);
}

TEST_F(DeviceLayer, AWaitWhileTheCallerHoldsEveryBufferIsRefusedNotTakenForALostDevice)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kFirst), S_OK);
    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 320, 180, 60, 1), S_OK);
    std::vector<VideoStream::Dequeued> held(stream.BufferCount());
    for (VideoStream::Dequeued& frame : held) ASSERT_EQ(stream.WaitFrame(10000, &frame), S_OK);
    VideoStream::Dequeued frame{};
    EXPECT_EQ(stream.WaitFrame(1000, &frame), MF_E_INVALIDREQUEST);
    ASSERT_EQ(stream.Requeue(held[0]), S_OK);
    ExpectFrame(stream);
}

TEST_F(DeviceLayer, AWaitWithoutAFrameEndsWithNoFrame)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kFirst), S_OK);
    // The driver drops every frame: none will ever come.
    ASSERT_TRUE(testing::SetControl(kFirst, "percentage_of_dropped_buffers", 100));
    HRESULT started = stream.Start(V4L2_PIX_FMT_YUYV, 320, 180, 30, 1);
    VideoStream::Dequeued frame{};
    HRESULT waits[] = {stream.WaitFrame(0, &frame), stream.WaitFrame(-1, &frame), stream.WaitFrame(300, &frame)};
    stream.Stop();
    ASSERT_TRUE(testing::SetControl(kFirst, "percentage_of_dropped_buffers", 0));
    ASSERT_EQ(started, S_OK);
    for (HRESULT hr : waits) EXPECT_EQ(hr, S_FALSE);
}

TEST_F(DeviceLayer, ASecondStreamOnABusyNodeFailsToStartAndLeavesTheFirstRunning)
{
    VideoStream first;
    ASSERT_EQ(first.Open(kFirst), S_OK);
    ASSERT_EQ(first.Start(V4L2_PIX_FMT_YUYV, 640, 480, 25, 1), S_OK);
    ExpectFrame(first);

    VideoStream second;
    ASSERT_EQ(second.Open(kFirst), S_OK);
    EXPECT_EQ(second.Start(V4L2_PIX_FMT_YUYV, 640, 480, 25, 1), MF_E_HW_MFT_FAILED_START_STREAMING);
    EXPECT_FALSE(second.IsStreaming());
    ExpectFrame(first);
}

TEST_F(DeviceLayer, AFailedStreamOnLeavesNothingMappedAndTheNextStartWorks)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kFirst), S_OK);
    ASSERT_TRUE(testing::SetControl(kFirst, "inject_vidioc_streamon_error"));
    HRESULT hr = stream.Start(V4L2_PIX_FMT_YUYV, 640, 480, 25, 1);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(stream.IsStreaming());
    EXPECT_FALSE(testing::MapsNode(kFirst));

    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 640, 480, 25, 1), S_OK);
    ExpectFrame(stream);
}

TEST_F(DeviceLayer, AFrameTheDriverMarksDamagedIsSkipped)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kFirst), S_OK);
    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 320, 180, 30, 1), S_OK);
    ExpectFrame(stream);
    ASSERT_TRUE(testing::SetControl(kFirst, "inject_v4l2_buf_flag_error"));
    // Each frame goes straight back, so the driver fills the buffers in turn (dropping a frame
    // when late skips a sequence number, never a buffer): only a buffer kept from the caller
    // breaks the turn.
    const size_t count = stream.BufferCount();
    ASSERT_GT(count, 1u);
    bool skipped = false;
    uint32_t last = 0;
    for (int i = 0; i < 8 && !skipped; ++i) {
        VideoStream::Dequeued frame{};
        ASSERT_EQ(stream.WaitFrame(10000, &frame), S_OK);
        skipped = i > 0 && frame.index != (last + 1) % count;
        last = frame.index;
        ASSERT_EQ(stream.Requeue(frame), S_OK);
    }
    EXPECT_TRUE(skipped);
}

// Last: the second instance may not come back.
TEST_F(DeviceLayer, ZzADisconnectWhileStreamingInvalidatesTheDevice)
{
    VideoStream stream;
    ASSERT_EQ(stream.Open(kSecond), S_OK);
    ASSERT_EQ(stream.Start(V4L2_PIX_FMT_YUYV, 320, 180, 30, 1), S_OK);
    ExpectFrame(stream);
    ASSERT_TRUE(testing::SetControl(kSecond, "disconnect"));

    HRESULT hr = S_OK;
    for (int i = 0; i < 8 && hr == S_OK; ++i) {
        VideoStream::Dequeued frame{};
        hr = stream.WaitFrame(10000, &frame);
        if (hr == S_OK) stream.Requeue(frame);
    }
    EXPECT_EQ(hr, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    std::vector<DeviceNode> nodes = ListCaptureNodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].path, kFirst);
    UniqueFd fd;
    EXPECT_EQ(OpenNode(kSecond, &fd), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    stream.Close();
    EXPECT_FALSE(testing::MapsNode(kSecond));
}

}  // namespace
}  // namespace lumicap::v4l2
