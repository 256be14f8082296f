#include "platform/v4l2/frame_conversion.h"

#include "platform/no_throw.h"

#include <linux/videodev2.h>

#include <climits>

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

namespace lumicap::v4l2 {
namespace {

constexpr uint32_t kBytesPerPixel = 4;

// A YVYU pair (Y0 V Y1 U) reordered to YUY2 (Y0 U Y1 V), four pairs per 16-byte mask.
constexpr uint8_t kYvyuToYuy2[16] = {0, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13};

bool IsJpeg(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

bool IsSupportedYuv(uint32_t fourcc)
{
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
        case V4L2_PIX_FMT_YVYU:
        case V4L2_PIX_FMT_NV12:
        case V4L2_PIX_FMT_YUV420:
        case V4L2_PIX_FMT_YVU420:
            return true;
        default:
            return false;
    }
}

bool IsValidSize(uint32_t width, uint32_t height)
{
    return width != 0 && height != 0 && width <= kMaxFrameDimension && height <= kMaxFrameDimension;
}

uint32_t HalfUp(uint32_t value)
{
    return value / 2 + value % 2;
}

// The bytes the frame's layout needs: every plane's rows at their stride, the last row only as far as
// its pixels reach. Zero when the stride is too small for a row.
uint64_t RequiredBytes(const CapturedFrame& frame)
{
    const uint64_t stride = frame.bytesPerLine;
    const uint64_t rows = frame.height;
    const uint64_t chromaRows = HalfUp(frame.height);
    switch (frame.pixelFormat) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
        case V4L2_PIX_FMT_YVYU: {
            const uint64_t row = uint64_t{HalfUp(frame.width)} * 4;
            return stride < row ? 0 : stride * (rows - 1) + row;
        }
        case V4L2_PIX_FMT_NV12: {
            const uint64_t chromaRow = uint64_t{HalfUp(frame.width)} * 2;
            if (stride < frame.width || stride < chromaRow) return 0;
            return stride * rows + stride * (chromaRows - 1) + chromaRow;
        }
        case V4L2_PIX_FMT_YUV420:
        case V4L2_PIX_FMT_YVU420: {
            const uint64_t chromaStride = stride / 2;
            const uint64_t chromaRow = HalfUp(frame.width);
            if (stride < frame.width || chromaStride < chromaRow) return 0;
            return stride * rows + chromaStride * chromaRows + chromaStride * (chromaRows - 1) + chromaRow;
        }
        default:
            return 0;
    }
}

// Makes the scratch buffer hold at least count elements; it never shrinks, so frames reuse it.
template <typename Element>
HRESULT Grow(std::vector<Element>* buffer, size_t count)
{
    return buffer->size() < count ? ResizeNoThrow(*buffer, count) : S_OK;
}

}  // namespace

class FrameConverter {
public:
    FrameConverter(const CapturedFrame& frame, ConversionScratch& scratch) : frame_(frame), scratch_(scratch) {}

    HRESULT Convert(uint32_t* pixels, uint32_t width, uint32_t height)
    {
        return IsJpeg(frame_.pixelFormat) ? ConvertJpeg(pixels, width, height) : ConvertYuv(pixels, width, height);
    }

private:
    HRESULT ConvertYuv(uint32_t* pixels, uint32_t width, uint32_t height)
    {
        if (!IsValidSize(frame_.width, frame_.height)) return E_INVALIDARG;
        if (uint64_t{frame_.bytesPerLine} * frame_.height > INT_MAX) return E_INVALIDARG;
        const uint64_t required = RequiredBytes(frame_);
        if (required == 0 || frame_.size < required) return E_INVALIDARG;
        if (frame_.width == width && frame_.height == height) return YuvToArgb(pixels);
        HRESULT hr = Grow(&scratch_.unscaled_, size_t{frame_.width} * frame_.height);
        if (SUCCEEDED(hr)) hr = YuvToArgb(scratch_.unscaled_.data());
        if (SUCCEEDED(hr)) hr = Scale(frame_.width, frame_.height, pixels, width, height);
        return hr;
    }

    // Straight from the driver's buffer into the pixels, in one pass: the unused top byte is left as
    // libyuv writes it, since nothing reads it.
    HRESULT YuvToArgb(uint32_t* argb)
    {
        if (frame_.pixelFormat == V4L2_PIX_FMT_YVYU) return YvyuToArgb(reinterpret_cast<uint8_t*>(argb));
        const int stride = static_cast<int>(frame_.bytesPerLine);
        const int halfStride = stride / 2;
        const uint8_t* y = frame_.data;
        const uint8_t* chroma = frame_.data + size_t{frame_.bytesPerLine} * frame_.height;
        const uint8_t* secondChroma = chroma + size_t(halfStride) * HalfUp(frame_.height);
        auto* dst = reinterpret_cast<uint8_t*>(argb);
        const int w = static_cast<int>(frame_.width);
        const int h = static_cast<int>(frame_.height);
        const int dstStride = w * static_cast<int>(kBytesPerPixel);
        int result = -1;
        switch (frame_.pixelFormat) {
            case V4L2_PIX_FMT_YUYV:
                result = libyuv::YUY2ToARGB(y, stride, dst, dstStride, w, h);
                break;
            case V4L2_PIX_FMT_UYVY:
                result = libyuv::UYVYToARGB(y, stride, dst, dstStride, w, h);
                break;
            case V4L2_PIX_FMT_NV12:
                result = libyuv::NV12ToARGB(y, stride, chroma, stride, dst, dstStride, w, h);
                break;
            case V4L2_PIX_FMT_YUV420:
                result = libyuv::I420ToARGB(y, stride, chroma, halfStride, secondChroma, halfStride, dst, dstStride,
                                            w, h);
                break;
            case V4L2_PIX_FMT_YVU420:
                result = libyuv::I420ToARGB(y, stride, secondChroma, halfStride, chroma, halfStride, dst, dstStride,
                                            w, h);
                break;
            default:
                return MF_E_INVALIDMEDIATYPE;
        }
        return result == 0 ? S_OK : E_INVALIDARG;
    }

    // libyuv has no YVYU reader: each row is reordered to YUY2 in a one-row buffer and converted.
    HRESULT YvyuToArgb(uint8_t* dst)
    {
        const int dstStride = static_cast<int>(frame_.width * kBytesPerPixel);
        const int pairs = static_cast<int>(HalfUp(frame_.width));
        const HRESULT grown = Grow(&scratch_.row_, size_t(pairs) * 4);
        if (FAILED(grown)) return grown;
        const int w = static_cast<int>(frame_.width);
        for (uint32_t row = 0; row < frame_.height; ++row) {
            const uint8_t* src = frame_.data + size_t{row} * frame_.bytesPerLine;
            uint8_t* out = dst + size_t{row} * dstStride;
            if (libyuv::ARGBShuffle(src, 0, scratch_.row_.data(), 0, kYvyuToYuy2, pairs, 1) != 0 ||
                libyuv::YUY2ToARGB(scratch_.row_.data(), 0, out, 0, w, 1) != 0) {
                return E_INVALIDARG;
            }
        }
        return S_OK;
    }

    // libjpeg-turbo falls back to the standard Huffman tables for a frame without DHT (a conversion
    // test holds it to that), so frames are decoded as they came, without a copy.
    HRESULT ConvertJpeg(uint32_t* pixels, uint32_t width, uint32_t height)
    {
        const uint8_t* jpeg = frame_.data;
        const size_t size = frame_.size;
        if (!scratch_.decoder_) {
            scratch_.decoder_.reset(tjInitDecompress());
            if (!scratch_.decoder_) return E_OUTOFMEMORY;
        }
        int jpegWidth = 0, jpegHeight = 0, subsampling = 0, colorspace = 0;
        if (tjDecompressHeader3(scratch_.decoder_.get(), jpeg, static_cast<unsigned long>(size), &jpegWidth,
                                &jpegHeight, &subsampling, &colorspace) != 0) {
            return E_FAIL;
        }
        if (jpegWidth <= 0 || jpegHeight <= 0 ||
            !IsValidSize(static_cast<uint32_t>(jpegWidth), static_cast<uint32_t>(jpegHeight))) {
            return E_FAIL;
        }
        const auto decodedWidth = static_cast<uint32_t>(jpegWidth);
        const auto decodedHeight = static_cast<uint32_t>(jpegHeight);
        if (decodedWidth == width && decodedHeight == height) return Decode(jpeg, size, pixels, width, height);
        HRESULT hr = Grow(&scratch_.unscaled_, size_t{decodedWidth} * decodedHeight);
        if (SUCCEEDED(hr)) hr = Decode(jpeg, size, scratch_.unscaled_.data(), decodedWidth, decodedHeight);
        if (SUCCEEDED(hr)) hr = Scale(decodedWidth, decodedHeight, pixels, width, height);
        return hr;
    }

    // A warning (premature end of data, corrupt entropy data) fails the frame rather than show garbage.
    HRESULT Decode(const uint8_t* jpeg, size_t size, uint32_t* argb, uint32_t width, uint32_t height)
    {
        const int result = tjDecompress2(scratch_.decoder_.get(), jpeg, static_cast<unsigned long>(size),
                                         reinterpret_cast<uint8_t*>(argb), static_cast<int>(width),
                                         static_cast<int>(width * kBytesPerPixel), static_cast<int>(height), TJPF_BGRX,
                                         TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS);
        return result == 0 ? S_OK : E_FAIL;
    }

    HRESULT Scale(uint32_t srcWidth, uint32_t srcHeight, uint32_t* pixels, uint32_t width, uint32_t height)
    {
        const int result = libyuv::ARGBScale(reinterpret_cast<const uint8_t*>(scratch_.unscaled_.data()),
                                             static_cast<int>(srcWidth * kBytesPerPixel), static_cast<int>(srcWidth),
                                             static_cast<int>(srcHeight), reinterpret_cast<uint8_t*>(pixels),
                                             static_cast<int>(width * kBytesPerPixel), static_cast<int>(width),
                                             static_cast<int>(height), libyuv::kFilterBilinear);
        return result == 0 ? S_OK : E_FAIL;
    }

    const CapturedFrame& frame_;
    ConversionScratch& scratch_;
};

HRESULT ConvertToRgb32(const CapturedFrame& frame, uint32_t* pixels, uint32_t width, uint32_t height,
                       ConversionScratch& scratch)
{
    if (pixels == nullptr || frame.data == nullptr || frame.size == 0 || !IsValidSize(width, height)) {
        return E_INVALIDARG;
    }
    if (!IsJpeg(frame.pixelFormat) && !IsSupportedYuv(frame.pixelFormat)) return MF_E_INVALIDMEDIATYPE;
    return FrameConverter(frame, scratch).Convert(pixels, width, height);
}

}  // namespace lumicap::v4l2
