// What a capture node offers: its pixel formats, frame sizes and frame rates, in the terms the
// capture engine's media types use.
#pragma once

#include "platform/platform.h"

#include <linux/videodev2.h>

#include <cstdint>
#include <vector>

namespace lumicap::v4l2 {

struct DeviceFormat {
    uint32_t pixelFormat;  // V4L2_PIX_FMT_*
    uint32_t width;
    uint32_t height;
    // The highest rate, from the shortest frame interval.
    uint32_t rateNumerator;
    uint32_t rateDenominator;
    // The lowest rate, from the longest frame interval.
    uint32_t minRateNumerator;
    uint32_t minRateDenominator;
};

struct FrameSize {
    uint32_t width;
    uint32_t height;
};

// Rates as frames per second, numerator over denominator, kept as the driver gives them.
struct RateRange {
    uint32_t maxNumerator;
    uint32_t maxDenominator;
    uint32_t minNumerator;
    uint32_t minDenominator;
};

// The media subtype a pixel format is offered as; GUID_NULL for formats the library does not offer.
GUID SubtypeOfPixelFormat(uint32_t pixelFormat);

// The sizes one VIDIOC_ENUM_FRAMESIZES entry stands for: a discrete size itself; for a stepwise
// or continuous range, the common sizes from 160x120 to 3840x2160 that lie within it, on its grid.
std::vector<FrameSize> FrameSizesOf(const v4l2_frmsizeenum& entry);

// The rates that a size's VIDIOC_ENUM_FRAMEINTERVALS entries span (all discrete entries, or the
// one stepwise or continuous entry). False when no entry has a usable interval.
bool RateRangeOf(const std::vector<v4l2_frmivalenum>& intervals, RateRange* range);

// Every offered format, size by size, in the driver's order. Formats whose subtype is GUID_NULL
// are left out. A size whose intervals the driver does not list takes the node's current frame
// interval, or 30 frames per second when it has none either.
HRESULT ListFormats(int fd, std::vector<DeviceFormat>* formats);

}  // namespace lumicap::v4l2
