// Turns a captured V4L2 frame into RGB32 pixels (0xXXRRGGBB: the top byte is RGB32's unused one).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/v4l2/captured_frame.h"
#include "platform/v4l2/turbojpeg_handle.h"

namespace lumicap::v4l2 {

// The largest frame side accepted; keeps every libyuv/TurboJPEG size computation within int and a
// hostile JPEG header from asking for gigabytes.
constexpr uint32_t kMaxFrameDimension = 8192;

// Buffers and the JPEG decoder kept from frame to frame, so a steady stream does not allocate.
class ConversionScratch {
public:
    ConversionScratch() = default;
    ConversionScratch(const ConversionScratch&) = delete;
    ConversionScratch& operator=(const ConversionScratch&) = delete;

private:
    friend class FrameConverter;

    std::vector<uint32_t> unscaled_;  // the frame at its own size, before scaling
    std::vector<uint8_t> row_;        // one reordered YVYU row
    TurboJpegHandle decoder_;
};

// Writes width x height pixels, bilinear-scaled when the frame has another size, the top byte left as
// the conversion leaves it. BT.601 limited range.
// E_INVALIDARG for null pointers, zero or oversized dimensions, a stride or buffer too small for the
// format; MF_E_INVALIDMEDIATYPE for an unsupported fourcc; E_FAIL for a JPEG that does not decode
// cleanly (truncated or corrupt); E_OUTOFMEMORY when a scratch buffer cannot grow.
HRESULT ConvertToRgb32(const CapturedFrame& frame, uint32_t* pixels, uint32_t width, uint32_t height,
                       ConversionScratch& scratch);

}  // namespace lumicap::v4l2
