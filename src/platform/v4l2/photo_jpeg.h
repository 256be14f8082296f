// A still photo as a JPEG file, made from whatever format the camera captured.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/v4l2/captured_frame.h"
#include "platform/v4l2/frame_conversion.h"
#include "platform/v4l2/turbojpeg_handle.h"

namespace lumicap::v4l2 {

// Buffers and the JPEG encoder kept between photos.
class PhotoScratch {
public:
    PhotoScratch() = default;
    PhotoScratch(const PhotoScratch&) = delete;
    PhotoScratch& operator=(const PhotoScratch&) = delete;

private:
    friend class PhotoEncoder;

    ConversionScratch conversion_;
    std::vector<uint32_t> pixels_;
    TurboJpegHandle encoder_;
};

// *jpeg gets the photo at width x height. An MJPG/JPEG frame of exactly that size is kept as the
// camera compressed it (with the standard Huffman tables added when it has none); anything else is
// converted to RGB32 and encoded at quality 90 with 4:2:0 chroma. Errors as ConvertToRgb32's, plus
// E_INVALIDARG for a null jpeg, E_FAIL when the encoder fails.
HRESULT EncodePhotoJpeg(const CapturedFrame& frame, uint32_t width, uint32_t height, PhotoScratch& scratch,
                        std::vector<uint8_t>* jpeg);

}  // namespace lumicap::v4l2
