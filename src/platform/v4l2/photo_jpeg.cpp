#include "platform/v4l2/photo_jpeg.h"

#include <linux/videodev2.h>

#include "platform/no_throw.h"
#include "platform/v4l2/jpeg_huffman.h"

namespace lumicap::v4l2 {
namespace {

constexpr int kPhotoQuality = 90;
constexpr int kBytesPerPixel = 4;

bool IsJpeg(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

}  // namespace

class PhotoEncoder {
public:
    explicit PhotoEncoder(PhotoScratch& scratch) : scratch_(scratch) {}

    HRESULT Encode(const CapturedFrame& frame, uint32_t width, uint32_t height, std::vector<uint8_t>* jpeg)
    {
        if (IsJpeg(frame.pixelFormat) && frame.width == width && frame.height == height &&
            SUCCEEDED(WithHuffmanTables(frame.data, frame.size, jpeg))) {
            return S_OK;
        }
        const HRESULT hr = Convert(frame, width, height);
        return SUCCEEDED(hr) ? Compress(width, height, jpeg) : hr;
    }

private:
    HRESULT Convert(const CapturedFrame& frame, uint32_t width, uint32_t height)
    {
        if (width == 0 || height == 0 || width > kMaxFrameDimension || height > kMaxFrameDimension) {
            return E_INVALIDARG;
        }
        const HRESULT hr = ResizeNoThrow(scratch_.pixels_, size_t{width} * height);
        if (FAILED(hr)) return hr;
        return ConvertToRgb32(frame, scratch_.pixels_.data(), width, height, scratch_.conversion_);
    }

    // Compresses straight into *jpeg, sized for the worst case so TurboJPEG never reallocates it.
    HRESULT Compress(uint32_t width, uint32_t height, std::vector<uint8_t>* jpeg)
    {
        if (!scratch_.encoder_) {
            scratch_.encoder_.reset(tjInitCompress());
            if (!scratch_.encoder_) return E_OUTOFMEMORY;
        }
        const int w = static_cast<int>(width);
        const int h = static_cast<int>(height);
        const HRESULT hr = ResizeNoThrow(*jpeg, tjBufSize(w, h, TJSAMP_420));
        if (FAILED(hr)) return hr;
        unsigned char* out = jpeg->data();
        unsigned long outSize = static_cast<unsigned long>(jpeg->size());
        const int result =
            tjCompress2(scratch_.encoder_.get(), reinterpret_cast<const uint8_t*>(scratch_.pixels_.data()), w,
                        w * kBytesPerPixel, h, TJPF_BGRX, &out, &outSize, TJSAMP_420, kPhotoQuality, TJFLAG_NOREALLOC);
        if (result != 0 || out != jpeg->data()) {
            jpeg->clear();
            return E_FAIL;
        }
        jpeg->resize(outSize);
        return S_OK;
    }

    PhotoScratch& scratch_;
};

HRESULT EncodePhotoJpeg(const CapturedFrame& frame, uint32_t width, uint32_t height, PhotoScratch& scratch,
                        std::vector<uint8_t>* jpeg)
{
    if (jpeg == nullptr) return E_INVALIDARG;
    return PhotoEncoder(scratch).Encode(frame, width, height, jpeg);
}

}  // namespace lumicap::v4l2
