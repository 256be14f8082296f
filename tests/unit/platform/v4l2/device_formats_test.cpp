// The V4L2 device layer's rules that need no device: which sizes a driver's size range offers,
// which rates its intervals span, which subtype a pixel format is, and which HRESULT an errno is.
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/device_formats.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>

namespace lumicap::v4l2 {

bool operator==(const FrameSize& a, const FrameSize& b) { return a.width == b.width && a.height == b.height; }
std::ostream& operator<<(std::ostream& out, const FrameSize& s) { return out << s.width << "x" << s.height; }

namespace {

v4l2_frmsizeenum Discrete(uint32_t width, uint32_t height)
{
    v4l2_frmsizeenum entry{};
    entry.type = V4L2_FRMSIZE_TYPE_DISCRETE;
    entry.discrete = {width, height};
    return entry;
}

v4l2_frmsizeenum Range(uint32_t type, uint32_t minW, uint32_t maxW, uint32_t stepW, uint32_t minH, uint32_t maxH,
                       uint32_t stepH)
{
    v4l2_frmsizeenum entry{};
    entry.type = type;
    entry.stepwise = {minW, maxW, stepW, minH, maxH, stepH};
    return entry;
}

struct SizeCase {
    const char* name;
    v4l2_frmsizeenum entry;
    std::vector<FrameSize> expected;
};

TEST(FrameSizesOf, OffersTheCommonSizesWithinARangeAndOnItsGrid)
{
    const SizeCase cases[] = {
        {"discrete", Discrete(1280, 720), {{1280, 720}}},
        {"discrete without area", Discrete(0, 480), {}},
        {"any size up to 1080p",
         Range(V4L2_FRMSIZE_TYPE_STEPWISE, 16, 1920, 1, 16, 1080, 1),
         {{160, 120}, {320, 240}, {640, 480}, {800, 600}, {1280, 720}, {1920, 1080}}},
        {"continuous, step 0 read as any",
         Range(V4L2_FRMSIZE_TYPE_CONTINUOUS, 1, 4096, 0, 1, 4096, 0),
         {{160, 120}, {320, 240}, {640, 480}, {800, 600}, {1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160}}},
        // From 176x144 by 16: 800x600 has a height off the grid (456 = 28.5 steps), 160x120 is too small.
        {"grid from the minimum",
         Range(V4L2_FRMSIZE_TYPE_STEPWISE, 176, 1280, 16, 144, 720, 16),
         {{320, 240}, {640, 480}, {1280, 720}}},
        {"both ends included", Range(V4L2_FRMSIZE_TYPE_STEPWISE, 640, 800, 160, 480, 600, 120), {{640, 480}, {800, 600}}},
        {"range narrower than any common size", Range(V4L2_FRMSIZE_TYPE_STEPWISE, 1000, 1100, 2, 500, 600, 2), {}},
        {"unknown type", Range(7, 1, 4096, 1, 1, 4096, 1), {}},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(FrameSizesOf(c.entry), c.expected) << c.name;
    }
}

v4l2_frmivalenum Interval(uint32_t numerator, uint32_t denominator)
{
    v4l2_frmivalenum entry{};
    entry.type = V4L2_FRMIVAL_TYPE_DISCRETE;
    entry.discrete = {numerator, denominator};
    return entry;
}

v4l2_frmivalenum IntervalRange(uint32_t type, v4l2_fract shortest, v4l2_fract longest)
{
    v4l2_frmivalenum entry{};
    entry.type = type;
    entry.stepwise = {shortest, longest, {1, 1000}};
    return entry;
}

struct RateCase {
    const char* name;
    std::vector<v4l2_frmivalenum> intervals;
    bool found;
    RateRange expected;
};

TEST(RateRangeOf, TakesTheShortestIntervalAsTheHighestRateAndKeepsTheDriversFractions)
{
    const RateCase cases[] = {
        {"discrete, unordered", {Interval(1, 15), Interval(1, 30), Interval(2, 25)}, true, {30, 1, 25, 2}},
        {"one discrete", {Interval(1, 30)}, true, {30, 1, 30, 1}},
        {"fractions not reduced", {Interval(2, 50), Interval(1001, 30000)}, true, {30000, 1001, 50, 2}},
        {"stepwise", {IntervalRange(V4L2_FRMIVAL_TYPE_STEPWISE, {1, 60}, {1, 5})}, true, {60, 1, 5, 1}},
        {"continuous", {IntervalRange(V4L2_FRMIVAL_TYPE_CONTINUOUS, {1, 120}, {2, 1})}, true, {120, 1, 1, 2}},
        {"zero fractions skipped", {Interval(0, 30), Interval(1, 0), Interval(1, 10)}, true, {10, 1, 10, 1}},
        {"only unusable entries", {Interval(0, 30), IntervalRange(V4L2_FRMIVAL_TYPE_STEPWISE, {0, 1}, {1, 5})}, false,
         {}},
        {"unknown type", {IntervalRange(9, {1, 30}, {1, 1})}, false, {}},
        {"none", {}, false, {}},
    };
    for (const RateCase& c : cases) {
        RateRange range{7, 7, 7, 7};
        ASSERT_EQ(RateRangeOf(c.intervals, &range), c.found) << c.name;
        if (!c.found) continue;
        EXPECT_EQ(range.maxNumerator, c.expected.maxNumerator) << c.name;
        EXPECT_EQ(range.maxDenominator, c.expected.maxDenominator) << c.name;
        EXPECT_EQ(range.minNumerator, c.expected.minNumerator) << c.name;
        EXPECT_EQ(range.minDenominator, c.expected.minDenominator) << c.name;
    }
}

TEST(SubtypeOfPixelFormat, NamesTheOfferedFormatsAndNoOthers)
{
    const struct {
        uint32_t pixelFormat;
        GUID subtype;
    } cases[] = {
        {V4L2_PIX_FMT_YUYV, MFVideoFormat_YUY2}, {V4L2_PIX_FMT_UYVY, MFVideoFormat_UYVY},
        {V4L2_PIX_FMT_YVYU, MFVideoFormat_YVYU}, {V4L2_PIX_FMT_NV12, MFVideoFormat_NV12},
        {V4L2_PIX_FMT_YUV420, MFVideoFormat_I420}, {V4L2_PIX_FMT_YVU420, MFVideoFormat_YV12},
        {V4L2_PIX_FMT_MJPEG, MFVideoFormat_MJPG}, {V4L2_PIX_FMT_JPEG, MFVideoFormat_MJPG},
        {V4L2_PIX_FMT_NV21, GUID_NULL}, {V4L2_PIX_FMT_VYUY, GUID_NULL},
        {V4L2_PIX_FMT_GREY, GUID_NULL}, {V4L2_PIX_FMT_H264, GUID_NULL},
        {0, GUID_NULL},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(SubtypeOfPixelFormat(c.pixelFormat) == c.subtype) << std::hex << c.pixelFormat;
    }
}

TEST(DeviceError, ReportsWhatTheCaptureEngineReportsAndNeverSuccess)
{
    constexpr HRESULT kInvalidated = MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    constexpr HRESULT kFailedStart = MF_E_HW_MFT_FAILED_START_STREAMING;
    constexpr HRESULT kGenFailure = static_cast<HRESULT>(0x8007001F);
    constexpr HRESULT kBusy = static_cast<HRESULT>(0x800700AA);
    const struct {
        int err;
        DeviceStep step;
        HRESULT expected;
    } cases[] = {
        {EACCES, DeviceStep::open, E_ACCESSDENIED},
        {EPERM, DeviceStep::streamOn, E_ACCESSDENIED},
        {ENOENT, DeviceStep::open, kInvalidated},
        {ENODEV, DeviceStep::streaming, kInvalidated},
        {ENXIO, DeviceStep::query, kInvalidated},
        {EBUSY, DeviceStep::format, kFailedStart},
        {EBUSY, DeviceStep::buffers, kFailedStart},
        {EBUSY, DeviceStep::streamOn, kFailedStart},
        {EBUSY, DeviceStep::open, kBusy},
        {ENOSPC, DeviceStep::streamOn, kFailedStart},
        {EIO, DeviceStep::streaming, kInvalidated},
        {EIO, DeviceStep::streamOn, kGenFailure},
        {EIO, DeviceStep::query, kGenFailure},
        {ENOMEM, DeviceStep::buffers, E_OUTOFMEMORY},
        {EINVAL, DeviceStep::format, E_INVALIDARG},
        {ETIMEDOUT, DeviceStep::streaming, static_cast<HRESULT>(0x800705B4)},
        {ENOTTY, DeviceStep::query, static_cast<HRESULT>(0x80070032)},
        {EMFILE, DeviceStep::open, static_cast<HRESULT>(0x80070004)},
        {EPIPE, DeviceStep::streaming, kGenFailure},
        {0, DeviceStep::open, kGenFailure},
        {-1, DeviceStep::streaming, kGenFailure},
    };
    for (const auto& c : cases) {
        HRESULT hr = DeviceError(c.err, c.step);
        EXPECT_EQ(static_cast<uint32_t>(hr), static_cast<uint32_t>(c.expected))
            << "errno " << c.err << " at step " << static_cast<int>(c.step);
        EXPECT_TRUE(FAILED(hr));
    }
}

}  // namespace
}  // namespace lumicap::v4l2
