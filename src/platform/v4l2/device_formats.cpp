#include "platform/v4l2/device_formats.h"

#include "platform/no_throw.h"
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/device_ioctl.h"

#include <cerrno>
#include <utility>

namespace lumicap::v4l2 {
namespace {

constexpr FrameSize kCommonSizes[] = {
    {160, 120}, {320, 240}, {640, 480}, {800, 600}, {1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160},
};

// A driver that never ends an enumeration must not keep us looping.
constexpr uint32_t kMaxEntries = 4096;

bool OnGrid(uint32_t value, uint32_t minimum, uint32_t maximum, uint32_t step)
{
    if (value < minimum || value > maximum) return false;
    return step == 0 || (value - minimum) % step == 0;
}

// True when interval a (seconds, numerator/denominator) is shorter than b.
bool Shorter(const v4l2_fract& a, const v4l2_fract& b)
{
    return uint64_t{a.numerator} * b.denominator < uint64_t{b.numerator} * a.denominator;
}

bool Usable(const v4l2_fract& interval) { return interval.numerator != 0 && interval.denominator != 0; }

// Ends of an enumeration come back as EINVAL; anything else is a real failure.
enum class Next { entry, end, failed };

Next Enumerate(int fd, unsigned long request, void* argument)
{
    if (Ioctl(fd, request, argument)) return Next::entry;
    // ENOTTY: the driver cannot enumerate this at all, which is the same as listing nothing.
    return errno == EINVAL || errno == ENOTTY ? Next::end : Next::failed;
}

HRESULT ListIntervals(int fd, uint32_t pixelFormat, FrameSize size, std::vector<v4l2_frmivalenum>* intervals)
{
    for (uint32_t index = 0; index < kMaxEntries; ++index) {
        v4l2_frmivalenum entry{};
        entry.index = index;
        entry.pixel_format = pixelFormat;
        entry.width = size.width;
        entry.height = size.height;
        Next next = Enumerate(fd, VIDIOC_ENUM_FRAMEINTERVALS, &entry);
        if (next == Next::end) break;
        if (next == Next::failed) return DeviceError(errno, DeviceStep::query);
        intervals->push_back(entry);
        if (entry.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
    }
    return S_OK;
}

// The rates of a node that lists no intervals: its current one, else 30 frames per second.
RateRange FallbackRates(int fd)
{
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(fd, VIDIOC_G_PARM, &parm) && Usable(parm.parm.capture.timeperframe)) {
        const v4l2_fract& t = parm.parm.capture.timeperframe;
        return {t.denominator, t.numerator, t.denominator, t.numerator};
    }
    return {30, 1, 30, 1};
}

HRESULT AddSize(int fd, uint32_t pixelFormat, FrameSize size, std::vector<DeviceFormat>* formats)
{
    std::vector<v4l2_frmivalenum> intervals;
    HRESULT hr = ListIntervals(fd, pixelFormat, size, &intervals);
    if (FAILED(hr)) return hr;
    RateRange rates;
    if (!RateRangeOf(intervals, &rates)) rates = FallbackRates(fd);
    formats->push_back({pixelFormat, size.width, size.height, rates.maxNumerator, rates.maxDenominator,
                        rates.minNumerator, rates.minDenominator});
    return S_OK;
}

HRESULT AddPixelFormat(int fd, uint32_t pixelFormat, std::vector<DeviceFormat>* formats)
{
    for (uint32_t index = 0; index < kMaxEntries; ++index) {
        v4l2_frmsizeenum entry{};
        entry.index = index;
        entry.pixel_format = pixelFormat;
        Next next = Enumerate(fd, VIDIOC_ENUM_FRAMESIZES, &entry);
        if (next == Next::end) break;
        if (next == Next::failed) return DeviceError(errno, DeviceStep::query);
        for (FrameSize size : FrameSizesOf(entry)) {
            HRESULT hr = AddSize(fd, pixelFormat, size, formats);
            if (FAILED(hr)) return hr;
        }
        if (entry.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
    }
    return S_OK;
}

}  // namespace

GUID SubtypeOfPixelFormat(uint32_t pixelFormat)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV: return MFVideoFormat_YUY2;
    case V4L2_PIX_FMT_UYVY: return MFVideoFormat_UYVY;
    case V4L2_PIX_FMT_YVYU: return MFVideoFormat_YVYU;
    case V4L2_PIX_FMT_NV12: return MFVideoFormat_NV12;
    case V4L2_PIX_FMT_YUV420: return MFVideoFormat_I420;
    case V4L2_PIX_FMT_YVU420: return MFVideoFormat_YV12;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG: return MFVideoFormat_MJPG;
    default: return GUID_NULL;
    }
}

std::vector<FrameSize> FrameSizesOf(const v4l2_frmsizeenum& entry)
{
    std::vector<FrameSize> sizes;
    if (entry.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        if (entry.discrete.width != 0 && entry.discrete.height != 0) {
            sizes.push_back({entry.discrete.width, entry.discrete.height});
        }
        return sizes;
    }
    if (entry.type != V4L2_FRMSIZE_TYPE_STEPWISE && entry.type != V4L2_FRMSIZE_TYPE_CONTINUOUS) return sizes;
    const v4l2_frmsize_stepwise& range = entry.stepwise;
    for (FrameSize size : kCommonSizes) {
        if (OnGrid(size.width, range.min_width, range.max_width, range.step_width) &&
            OnGrid(size.height, range.min_height, range.max_height, range.step_height)) {
            sizes.push_back(size);
        }
    }
    return sizes;
}

bool RateRangeOf(const std::vector<v4l2_frmivalenum>& intervals, RateRange* range)
{
    bool found = false;
    v4l2_fract shortest{};
    v4l2_fract longest{};
    for (const v4l2_frmivalenum& entry : intervals) {
        v4l2_fract low;
        v4l2_fract high;
        if (entry.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            low = high = entry.discrete;
        } else if (entry.type == V4L2_FRMIVAL_TYPE_STEPWISE || entry.type == V4L2_FRMIVAL_TYPE_CONTINUOUS) {
            low = entry.stepwise.min;
            high = entry.stepwise.max;
        } else {
            continue;
        }
        if (!Usable(low) || !Usable(high)) continue;
        if (!found || Shorter(low, shortest)) shortest = low;
        if (!found || Shorter(longest, high)) longest = high;
        found = true;
    }
    if (found) *range = {shortest.denominator, shortest.numerator, longest.denominator, longest.numerator};
    return found;
}

HRESULT ListFormats(int fd, std::vector<DeviceFormat>* formats)
{
    return NoThrow([&]() -> HRESULT {
        std::vector<DeviceFormat> listed;
        for (uint32_t index = 0; index < kMaxEntries; ++index) {
            v4l2_fmtdesc description{};
            description.index = index;
            description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            Next next = Enumerate(fd, VIDIOC_ENUM_FMT, &description);
            if (next == Next::end) break;
            if (next == Next::failed) return DeviceError(errno, DeviceStep::query);
            if (SubtypeOfPixelFormat(description.pixelformat) == GUID_NULL) continue;
            HRESULT hr = AddPixelFormat(fd, description.pixelformat, &listed);
            if (FAILED(hr)) return hr;
        }
        *formats = std::move(listed);
        return S_OK;
    });
}

}  // namespace lumicap::v4l2
