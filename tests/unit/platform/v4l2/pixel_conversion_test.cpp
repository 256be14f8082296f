// The V4L2 backend's pixel work: every captured format to RGB32 (at its size and scaled), the standard
// Huffman tables for MJPG frames that leave them out, and photos as JPEG files; bad frames fail cleanly.
#include "platform/v4l2/frame_conversion.h"
#include "platform/v4l2/jpeg_huffman.h"
#include "platform/v4l2/photo_jpeg.h"
#include "support/jpeg_without_tables.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>
#include <libyuv/convert_argb.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace lumicap::testing {
namespace {

using v4l2::CapturedFrame;

// 100% colour bars and their BT.601 limited-range Y'CbCr.
struct Bar {
    uint8_t r, g, b, y, u, v;
};
constexpr Bar kBars[] = {
    {255, 255, 255, 235, 128, 128},  // white
    {255, 255, 0, 210, 16, 146},     // yellow
    {0, 255, 255, 170, 166, 16},     // cyan
    {0, 255, 0, 145, 54, 34},        // green
    {255, 0, 255, 106, 202, 222},    // magenta
    {255, 0, 0, 81, 90, 240},        // red
    {0, 0, 255, 41, 240, 110},       // blue
    {0, 0, 0, 16, 128, 128},         // black
};
constexpr uint32_t kBarCount = 8;
constexpr uint32_t kBarWidth = 8;  // whole chroma samples and whole 8x8 JPEG blocks per bar
constexpr uint32_t kWidth = kBarCount * kBarWidth;
constexpr uint32_t kHeight = 16;
constexpr uint8_t kPadding = 0xA5;  // fills stride padding, so reading it shows as a wrong colour
constexpr int kTolerance = 6;

const Bar& BarAt(uint32_t x, uint32_t width)
{
    return kBars[x * kBarCount / width];
}

// A captured frame together with the bytes it points at.
struct OwnedFrame {
    std::vector<uint8_t> bytes;
    CapturedFrame frame{};
    void Point()
    {
        frame.data = bytes.data();
        frame.size = bytes.size();
    }
};

std::vector<uint8_t> RgbBars(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const Bar& bar = BarAt(x, width);
            rgb.insert(rgb.end(), {bar.r, bar.g, bar.b});
        }
    }
    return rgb;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height, int subsampling,
                                int quality)
{
    v4l2::TurboJpegHandle encoder(tjInitCompress());
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int result = tjCompress2(encoder.get(), rgb.data(), static_cast<int>(width), 0, static_cast<int>(height),
                                   TJPF_RGB, &out, &outSize, subsampling, quality, 0);
    EXPECT_EQ(result, 0) << tjGetErrorStr2(encoder.get());
    std::vector<uint8_t> jpeg(out, out + outSize);
    tjFree(out);
    return jpeg;
}

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

Decoded DecodeJpeg(const std::vector<uint8_t>& jpeg)
{
    v4l2::TurboJpegHandle decoder(tjInitDecompress());
    Decoded decoded;
    int subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decoder.get(), jpeg.data(), jpeg.size(), &decoded.width, &decoded.height, &subsampling,
                            &colorspace) != 0) {
        return {};
    }
    decoded.rgb.resize(size_t(decoded.width) * decoded.height * 3);
    if (tjDecompress2(decoder.get(), jpeg.data(), jpeg.size(), decoded.rgb.data(), decoded.width, 0, decoded.height,
                      TJPF_RGB, 0) != 0) {
        return {};
    }
    return decoded;
}

// The frame's bytes in the driver's layout, each row `padding` bytes longer than its pixels need.
// Odd sizes end in a half-filled chroma pair.
OwnedFrame MakeBars(uint32_t fourcc, uint32_t padding, uint32_t width = kWidth, uint32_t height = kHeight)
{
    OwnedFrame owned;
    owned.frame = {fourcc, width, height, 0, nullptr, 0};
    auto& out = owned.bytes;
    auto bar = [width](uint32_t x) -> const Bar& { return BarAt(x, width); };
    const uint32_t halfWidth = (width + 1) / 2;
    auto pad = [&] { out.insert(out.end(), padding, kPadding); };
    size_t lastRowPadding = padding;
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
        case V4L2_PIX_FMT_YVYU:
            owned.frame.bytesPerLine = halfWidth * 4 + padding;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; x += 2) {
                    const Bar& c = bar(x);
                    if (fourcc == V4L2_PIX_FMT_YUYV) out.insert(out.end(), {c.y, c.u, c.y, c.v});
                    if (fourcc == V4L2_PIX_FMT_UYVY) out.insert(out.end(), {c.u, c.y, c.v, c.y});
                    if (fourcc == V4L2_PIX_FMT_YVYU) out.insert(out.end(), {c.y, c.v, c.y, c.u});
                }
                pad();
            }
            break;
        case V4L2_PIX_FMT_NV12:
        case V4L2_PIX_FMT_YUV420:
        case V4L2_PIX_FMT_YVU420: {
            owned.frame.bytesPerLine = width + padding;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) out.push_back(bar(x).y);
                pad();
            }
            const uint32_t chromaPadding = fourcc == V4L2_PIX_FMT_NV12 ? owned.frame.bytesPerLine - halfWidth * 2
                                                                       : owned.frame.bytesPerLine / 2 - halfWidth;
            lastRowPadding = chromaPadding;
            auto plane = [&](uint8_t Bar::*first, uint8_t Bar::*second) {
                for (uint32_t y = 0; y < (height + 1) / 2; ++y) {
                    for (uint32_t x = 0; x < width; x += 2) {
                        out.push_back(bar(x).*first);
                        if (second != nullptr) out.push_back(bar(x).*second);
                    }
                    out.insert(out.end(), chromaPadding, kPadding);
                }
            };
            if (fourcc == V4L2_PIX_FMT_NV12) plane(&Bar::u, &Bar::v);
            if (fourcc == V4L2_PIX_FMT_YUV420) plane(&Bar::u, nullptr), plane(&Bar::v, nullptr);
            if (fourcc == V4L2_PIX_FMT_YVU420) plane(&Bar::v, nullptr), plane(&Bar::u, nullptr);
            break;
        }
        default:  // MJPG / JPEG; padding 1 stands for a camera's frame without Huffman tables
            out = EncodeJpeg(RgbBars(width, height), width, height, TJSAMP_444, 95);
            if (padding != 0) out = WithoutHuffmanTables(out);
            break;
    }
    // The last row ends where its pixels end: a driver's buffer need not hold the final padding.
    if (owned.frame.bytesPerLine == 0) lastRowPadding = 0;
    out.resize(out.size() - lastRowPadding);
    out.shrink_to_fit();  // so a read past the end is caught by the sanitizer
    owned.Point();
    return owned;
}

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

// The pixels at least `margin` away from a bar's edges (bilinear scaling blends the edges) have the
// bar's colour; the top byte is RGB32's unused one.
void ExpectBars(const std::vector<uint32_t>& pixels, uint32_t width, uint32_t height, uint32_t margin, int tolerance)
{
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[size_t{y} * width + x];
            const Bar& bar = BarAt(x, width);
            if (&BarAt(x < margin ? 0 : x - margin, width) != &bar ||
                &BarAt(std::min(x + margin, width - 1), width) != &bar) {
                continue;
            }
            ASSERT_NEAR(Channel(pixel, 16), bar.r, tolerance) << "red at " << x << "," << y;
            ASSERT_NEAR(Channel(pixel, 8), bar.g, tolerance) << "green at " << x << "," << y;
            ASSERT_NEAR(Channel(pixel, 0), bar.b, tolerance) << "blue at " << x << "," << y;
        }
    }
}

struct FormatCase {
    const char* name;
    uint32_t fourcc;
    uint32_t padding;
};

class PixelConversionTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PixelConversionTest, ConvertsBarsAtTheirSizeAndScaled)
{
    const OwnedFrame owned = MakeBars(GetParam().fourcc, GetParam().padding);
    v4l2::ConversionScratch scratch;
    struct Target {
        uint32_t width, height, margin;
    };
    for (const Target target :
         {Target{kWidth, kHeight, 0}, Target{kWidth / 2, kHeight * 3 / 4, 1}, Target{kWidth * 2, kHeight * 2, 2}}) {
        SCOPED_TRACE(std::to_string(target.width) + "x" + std::to_string(target.height));
        std::vector<uint32_t> pixels(size_t{target.width} * target.height, 0xFFFFFFFFu);
        ASSERT_EQ(v4l2::ConvertToRgb32(owned.frame, pixels.data(), target.width, target.height, scratch), S_OK);
        ExpectBars(pixels, target.width, target.height, target.margin, kTolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PixelConversionTest,
    ::testing::Values(FormatCase{"YUYV", V4L2_PIX_FMT_YUYV, 0}, FormatCase{"YUYVPadded", V4L2_PIX_FMT_YUYV, 7},
                      FormatCase{"UYVY", V4L2_PIX_FMT_UYVY, 0}, FormatCase{"UYVYPadded", V4L2_PIX_FMT_UYVY, 7},
                      FormatCase{"YVYU", V4L2_PIX_FMT_YVYU, 0}, FormatCase{"YVYUPadded", V4L2_PIX_FMT_YVYU, 7},
                      FormatCase{"NV12", V4L2_PIX_FMT_NV12, 0}, FormatCase{"NV12Padded", V4L2_PIX_FMT_NV12, 7},
                      FormatCase{"YU12", V4L2_PIX_FMT_YUV420, 0}, FormatCase{"YU12Padded", V4L2_PIX_FMT_YUV420, 7},
                      FormatCase{"YV12", V4L2_PIX_FMT_YVU420, 0}, FormatCase{"YV12Padded", V4L2_PIX_FMT_YVU420, 7},
                      FormatCase{"MJPG", V4L2_PIX_FMT_MJPEG, 0}, FormatCase{"MJPGWithoutTables", V4L2_PIX_FMT_MJPEG, 1},
                      FormatCase{"JPEG", V4L2_PIX_FMT_JPEG, 0}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Frames as long as their last pixel needs, ending in a half-filled chroma pair.
TEST(PixelConversionOddSizes, ConvertWithinTheirBuffers)
{
    constexpr uint32_t kOddWidth = 63, kOddHeight = 15;
    const uint32_t fourccs[] = {V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YVYU, V4L2_PIX_FMT_NV12,
                                V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_MJPEG};
    v4l2::ConversionScratch scratch;
    for (const uint32_t fourcc : fourccs) {
        SCOPED_TRACE(fourcc);
        const OwnedFrame owned = MakeBars(fourcc, 1, kOddWidth, kOddHeight);
        std::vector<uint32_t> pixels(size_t{kOddWidth} * kOddHeight, 0xFFFFFFFFu);
        ASSERT_EQ(v4l2::ConvertToRgb32(owned.frame, pixels.data(), kOddWidth, kOddHeight, scratch), S_OK);
        ExpectBars(pixels, kOddWidth, kOddHeight, 0, kTolerance);
    }
}

struct BadFrameCase {
    const char* name;
    uint32_t fourcc;
    std::function<void(OwnedFrame&, uint32_t*&, uint32_t&)> spoil;  // frame, target pixels, target width
    HRESULT expected;
};

TEST(PixelConversionBadInput, FailsWithoutTouchingMemoryItDoesNotOwn)
{
    const BadFrameCase cases[] = {
        {"null data", V4L2_PIX_FMT_YUYV, [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.data = nullptr; },
         E_INVALIDARG},
        {"null pixels", V4L2_PIX_FMT_YUYV, [](OwnedFrame&, uint32_t*& p, uint32_t&) { p = nullptr; }, E_INVALIDARG},
        {"zero target width", V4L2_PIX_FMT_NV12, [](OwnedFrame&, uint32_t*&, uint32_t& w) { w = 0; }, E_INVALIDARG},
        {"huge target width", V4L2_PIX_FMT_NV12,
         [](OwnedFrame&, uint32_t*&, uint32_t& w) { w = v4l2::kMaxFrameDimension + 1; }, E_INVALIDARG},
        {"zero frame height", V4L2_PIX_FMT_UYVY, [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.height = 0; },
         E_INVALIDARG},
        {"huge frame width", V4L2_PIX_FMT_YUYV,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.width = v4l2::kMaxFrameDimension + 2; }, E_INVALIDARG},
        {"packed short by a byte", V4L2_PIX_FMT_YVYU, [](OwnedFrame& f, uint32_t*&, uint32_t&) { --f.frame.size; },
         E_INVALIDARG},
        {"NV12 short by a byte", V4L2_PIX_FMT_NV12, [](OwnedFrame& f, uint32_t*&, uint32_t&) { --f.frame.size; },
         E_INVALIDARG},
        {"YU12 short by a byte", V4L2_PIX_FMT_YUV420, [](OwnedFrame& f, uint32_t*&, uint32_t&) { --f.frame.size; },
         E_INVALIDARG},
        {"odd-height YU12 short of its last chroma row", V4L2_PIX_FMT_YUV420,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) {
             f = MakeBars(V4L2_PIX_FMT_YUV420, 1, kWidth - 1, kHeight - 1);
             f.frame.size -= kWidth / 2;
         },
         E_INVALIDARG},
        {"YV12 without its second chroma plane", V4L2_PIX_FMT_YVU420,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.size -= kWidth * kHeight / 4; }, E_INVALIDARG},
        {"packed stride short of a row", V4L2_PIX_FMT_YUYV,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.bytesPerLine = kWidth * 2 - 1; }, E_INVALIDARG},
        {"YU12 chroma stride short of a row", V4L2_PIX_FMT_YUV420,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.bytesPerLine = kWidth - 1, f.frame.width = kWidth - 1; },
         E_INVALIDARG},
        {"unsupported fourcc", V4L2_PIX_FMT_YUYV,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.pixelFormat = V4L2_PIX_FMT_RGB24; }, MF_E_INVALIDMEDIATYPE},
        {"truncated MJPG", V4L2_PIX_FMT_MJPEG,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.bytes.resize(f.bytes.size() / 2), f.Point(); }, E_FAIL},
        {"MJPG cut inside its header", V4L2_PIX_FMT_MJPEG,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.bytes.resize(40), f.Point(); }, E_FAIL},
        {"garbage JPEG", V4L2_PIX_FMT_JPEG,
         [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.bytes.assign(f.bytes.size(), 0x3C), f.Point(); }, E_FAIL},
        {"empty MJPG", V4L2_PIX_FMT_MJPEG, [](OwnedFrame& f, uint32_t*&, uint32_t&) { f.frame.size = 0; },
         E_INVALIDARG},
    };
    v4l2::ConversionScratch scratch;
    for (const BadFrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        OwnedFrame owned = MakeBars(c.fourcc, 0);
        std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
        uint32_t* target = pixels.data();
        uint32_t width = kWidth;
        c.spoil(owned, target, width);
        EXPECT_EQ(v4l2::ConvertToRgb32(owned.frame, target, width, kHeight, scratch), c.expected);
    }
}

// A picture that uses many Huffman codes: bars with a diagonal ramp and fine checks in every channel.
std::vector<uint8_t> BusyRgb(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgb = RgbBars(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t{y} * width + x) * 3];
            p[0] = static_cast<uint8_t>(p[0] / 2 + (x + y) * 3);
            p[1] = static_cast<uint8_t>(p[1] / 2 + ((x ^ y) & 1) * 90);
            p[2] = static_cast<uint8_t>(p[2] / 2 + (x * y) % 97);
        }
    }
    return rgb;
}

TEST(JpegHuffmanTables, StandardTablesDecodeAFrameThatLeftThemOut)
{
    const std::vector<uint8_t> original = EncodeJpeg(BusyRgb(48, 32), 48, 32, TJSAMP_420, 75);
    const std::vector<uint8_t> stripped = WithoutHuffmanTables(original);
    ASSERT_TRUE(v4l2::HasHuffmanTables(original.data(), original.size()));
    ASSERT_FALSE(v4l2::HasHuffmanTables(stripped.data(), stripped.size()));

    std::vector<uint8_t> restored;
    ASSERT_EQ(v4l2::WithHuffmanTables(stripped.data(), stripped.size(), &restored), S_OK);
    EXPECT_TRUE(v4l2::HasHuffmanTables(restored.data(), restored.size()));
    const Decoded expected = DecodeJpeg(original);
    const Decoded actual = DecodeJpeg(restored);
    ASSERT_FALSE(expected.rgb.empty());
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.height, expected.height);
    EXPECT_EQ(actual.rgb, expected.rgb);
}

TEST(JpegHuffmanTables, AFrameWithTablesComesBackUnchanged)
{
    const std::vector<uint8_t> original = EncodeJpeg(BusyRgb(16, 16), 16, 16, TJSAMP_422, 90);
    std::vector<uint8_t> copy = {1, 2, 3};  // stale contents must not survive
    ASSERT_EQ(v4l2::WithHuffmanTables(original.data(), original.size(), &copy), S_OK);
    EXPECT_EQ(copy, original);
}

TEST(JpegHuffmanTables, MalformedFramesAreRefused)
{
    const std::vector<uint8_t> good = WithoutHuffmanTables(EncodeJpeg(BusyRgb(16, 16), 16, 16, TJSAMP_420, 90));
    const size_t sos = [&] {
        for (size_t i = 2; i + 1 < good.size(); ++i) {
            if (good[i] == 0xFF && good[i + 1] == 0xDA) return i;
        }
        return size_t{0};
    }();
    ASSERT_NE(sos, 0u);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> lengthPastEnd(good.begin(), good.begin() + 40);
    std::vector<uint8_t> shortLength = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x01, 0xFF, 0xDA, 0x00, 0x02};
    std::vector<uint8_t> dataWhereAMarkerBelongs = {0xFF, 0xD8, 0x12, 0xFF, 0xDA, 0x00, 0x02};
    const Case cases[] = {
        {"empty", {}},
        {"no SOI", std::vector<uint8_t>(good.begin() + 2, good.end())},
        {"segment length past the end", lengthPastEnd},
        {"segment length below its own field", shortLength},
        {"bytes where a marker belongs", dataWhereAMarkerBelongs},
        {"EOI before SOS", {0xFF, 0xD8, 0xFF, 0xD9}},
        {"no SOS", std::vector<uint8_t>(good.begin(), good.begin() + sos)},
        {"SOS length past the end", std::vector<uint8_t>(good.begin(), good.begin() + sos + 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A copy exactly as long as the case, so a read past its end is caught by the sanitizer.
        const std::unique_ptr<uint8_t[]> bytes(new uint8_t[c.bytes.size() + 1]);
        std::copy(c.bytes.begin(), c.bytes.end(), bytes.get());
        std::vector<uint8_t> out;
        EXPECT_EQ(v4l2::WithHuffmanTables(bytes.get(), c.bytes.size(), &out), E_INVALIDARG);
        EXPECT_FALSE(v4l2::HasHuffmanTables(bytes.get(), c.bytes.size()));
    }
    std::vector<uint8_t> out;
    EXPECT_EQ(v4l2::WithHuffmanTables(nullptr, 10, &out), E_INVALIDARG);
    EXPECT_EQ(v4l2::WithHuffmanTables(good.data(), good.size(), nullptr), E_INVALIDARG);
}

std::vector<uint32_t> ToPixels(const Decoded& decoded)
{
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 2 < decoded.rgb.size(); i += 3) {
        pixels.push_back(uint32_t{decoded.rgb[i]} << 16 | uint32_t{decoded.rgb[i + 1]} << 8 | decoded.rgb[i + 2]);
    }
    return pixels;
}

TEST(PhotoJpeg, YuvFrameBecomesAJpegOfTheAskedSize)
{
    const OwnedFrame owned = MakeBars(V4L2_PIX_FMT_YUYV, 7);
    v4l2::PhotoScratch scratch;
    std::vector<uint8_t> jpeg;
    // Twice the frame's size: every bar fills whole 16x16 blocks, so 4:2:0 keeps its colour.
    ASSERT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth * 2, kHeight * 2, scratch, &jpeg), S_OK);
    const Decoded decoded = DecodeJpeg(jpeg);
    ASSERT_EQ(decoded.width, int{kWidth * 2});
    ASSERT_EQ(decoded.height, int{kHeight * 2});
    ExpectBars(ToPixels(decoded), kWidth * 2, kHeight * 2, 3, 12);
}

TEST(PhotoJpeg, MjpgOfTheAskedSizeIsKeptAsCapturedWithTablesAdded)
{
    OwnedFrame owned = MakeBars(V4L2_PIX_FMT_MJPEG, 0);
    const std::vector<uint8_t> withTables = owned.bytes;
    owned.bytes = WithoutHuffmanTables(withTables);
    owned.Point();
    v4l2::PhotoScratch scratch;
    std::vector<uint8_t> jpeg;
    ASSERT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth, kHeight, scratch, &jpeg), S_OK);
    EXPECT_EQ(WithoutHuffmanTables(jpeg), owned.bytes);
    EXPECT_EQ(DecodeJpeg(jpeg).rgb, DecodeJpeg(withTables).rgb);
}

TEST(PhotoJpeg, MjpgOfAnotherSizeIsReencoded)
{
    const OwnedFrame owned = MakeBars(V4L2_PIX_FMT_MJPEG, 0);
    v4l2::PhotoScratch scratch;
    std::vector<uint8_t> jpeg;
    ASSERT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth * 2, kHeight * 2, scratch, &jpeg), S_OK);
    const Decoded decoded = DecodeJpeg(jpeg);
    ASSERT_EQ(decoded.width, int{kWidth * 2});
    ExpectBars(ToPixels(decoded), kWidth * 2, kHeight * 2, 3, 12);
}

TEST(PhotoJpeg, BadFramesFailWithTheConversionError)
{
    OwnedFrame owned = MakeBars(V4L2_PIX_FMT_MJPEG, 0);
    owned.bytes.resize(owned.bytes.size() / 2);
    owned.Point();
    v4l2::PhotoScratch scratch;
    std::vector<uint8_t> jpeg;
    EXPECT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth, kHeight, scratch, &jpeg), E_FAIL);
    owned.frame.pixelFormat = V4L2_PIX_FMT_GREY;
    EXPECT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth, kHeight, scratch, &jpeg), MF_E_INVALIDMEDIATYPE);
    EXPECT_EQ(v4l2::EncodePhotoJpeg(owned.frame, kWidth, kHeight, scratch, nullptr), E_INVALIDARG);
}

// A frame of noise: a plane or chroma row read from the wrong place would differ from libyuv's own
// conversion, which the frame's pixels are, byte for byte.
TEST(PixelConversionNoise, IsLibyuvsConversion)
{
    constexpr int kW = 48, kH = 37;
    std::vector<uint8_t> noise(size_t{kW} * kH * 2);
    uint32_t state = 12345;
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    const uint8_t* y = noise.data();
    const uint8_t* u = y + kW * kH;
    const uint8_t* v = u + (kW / 2) * ((kH + 1) / 2);
    using Reference = std::function<int(uint8_t*)>;
    const std::pair<uint32_t, Reference> cases[] = {
        {V4L2_PIX_FMT_YUYV, [&](uint8_t* out) { return libyuv::YUY2ToARGB(y, kW * 2, out, kW * 4, kW, kH); }},
        {V4L2_PIX_FMT_UYVY, [&](uint8_t* out) { return libyuv::UYVYToARGB(y, kW * 2, out, kW * 4, kW, kH); }},
        {V4L2_PIX_FMT_NV12, [&](uint8_t* out) { return libyuv::NV12ToARGB(y, kW, u, kW, out, kW * 4, kW, kH); }},
        {V4L2_PIX_FMT_YUV420,
         [&](uint8_t* out) { return libyuv::I420ToARGB(y, kW, u, kW / 2, v, kW / 2, out, kW * 4, kW, kH); }},
        {V4L2_PIX_FMT_YVU420,
         [&](uint8_t* out) { return libyuv::I420ToARGB(y, kW, v, kW / 2, u, kW / 2, out, kW * 4, kW, kH); }},
    };
    v4l2::ConversionScratch scratch;
    for (const auto& [fourcc, reference] : cases) {
        SCOPED_TRACE(fourcc);
        const bool packed = fourcc == V4L2_PIX_FMT_YUYV || fourcc == V4L2_PIX_FMT_UYVY;
        const CapturedFrame frame{fourcc, kW, kH, packed ? kW * 2u : kW * 1u, noise.data(), noise.size()};
        std::vector<uint32_t> converted(size_t{kW} * kH), expected(size_t{kW} * kH);
        ASSERT_EQ(v4l2::ConvertToRgb32(frame, converted.data(), kW, kH, scratch), S_OK);
        ASSERT_EQ(reference(reinterpret_cast<uint8_t*>(expected.data())), 0);
        EXPECT_EQ(converted, expected);
    }
}

}  // namespace
}  // namespace lumicap::testing
