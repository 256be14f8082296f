// A frame as the V4L2 driver filled it, before any pixel work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumicap::v4l2 {

// bytesPerLine is the driver's stride of the first plane. The planar formats keep their chroma planes
// right after the luma plane (single-planar layout): YU12/YV12 with a stride of bytesPerLine / 2,
// NV12's interleaved UV plane with a stride of bytesPerLine. For MJPG/JPEG only data and size count.
struct CapturedFrame {
    uint32_t pixelFormat;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;
    const uint8_t* data;
    size_t size;
};

}  // namespace lumicap::v4l2
