// The photo encoder on its own (libjpeg off Windows, the imaging component on Windows): what reaches
// the photo stream, through streams that take everything, little at a time, nothing, or fail.
#include "support/jpeg_decode.h"

#include "platform/capture_engine/jpeg_encoder.h"
#include "platform/virtual/virtual_platform.h"
#include "stream/memory_byte_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>

namespace lumicap::testing {
namespace {

// A memory stream that records the size of every Write, takes at most `limit` bytes a call and
// answers `failure` from the `failAt`th call on (1-based; 0 never).
class ShapedStream final : public MemoryIMFByteStream {
public:
    ULONG limit = std::numeric_limits<ULONG>::max();
    size_t failAt = 0;
    HRESULT failure = S_OK;
    std::vector<ULONG> writes;

    HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count, ULONG* written) override
    {
        writes.push_back(count);
        if (failAt != 0 && writes.size() >= failAt) return failure;
        return MemoryIMFByteStream::Write(data, std::min(count, limit), written);
    }

    std::vector<uint8_t> Bytes()
    {
        QWORD length = 0;
        GetLength(&length);
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        ULONG read = 0;
        if (!bytes.empty()) ReadFromStart(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
        bytes.resize(read);
        return bytes;
    }
};

ComPtr<ShapedStream> NewStream() { return ComPtr<ShapedStream>::Attach(new ShapedStream()); }

std::vector<uint32_t> Pattern(UINT32 width, UINT32 height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    virt::RenderTestPattern(pixels.data(), width, height, 0);
    return pixels;
}

void ExpectPattern(const std::vector<uint8_t>& jpeg, UINT32 width, UINT32 height)
{
    const DecodedImage image = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    if (image.width != width || image.height != height) return;
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = (2 * bar + 1) * width / 16;
        EXPECT_TRUE(Near(image.Pixel(x, height / 2), virt::TestPatternPixel(x, height / 2, width, height, 0))) << bar;
    }
}

struct BadArguments {
    const char* description;
    bool pixels;
    bool output;
    UINT32 width;
    UINT32 height;
    HRESULT expected;
};

class JpegEncoderArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(JpegEncoderArguments, AreRefusedBeforeAnythingIsWritten)
{
    const BadArguments& c = GetParam();
    const std::vector<uint32_t> pixels(16, 0x00FF0000);
    ComPtr<ShapedStream> stream = NewStream();
    const HRESULT hr = virt::EncodeJpeg(c.pixels ? pixels.data() : nullptr, c.width, c.height,
                                        c.output ? stream.Get() : nullptr);
    EXPECT_EQ(hr, c.expected) << c.description;
    EXPECT_TRUE(stream->writes.empty()) << c.description;
}

INSTANTIATE_TEST_SUITE_P(Cases, JpegEncoderArguments,
                         ::testing::Values(BadArguments{"no pixels", false, true, 4, 4, E_POINTER},
                                           BadArguments{"no stream", true, false, 4, 4, E_POINTER},
                                           BadArguments{"zero width", true, true, 0, 4, E_INVALIDARG},
                                           BadArguments{"zero height", true, true, 4, 0, E_INVALIDARG},
                                           BadArguments{"wider than JPEG allows", true, true, 65536, 1, E_INVALIDARG}));

TEST(JpegEncoder, LargePictureArrivesInChunksOfAtMost64KiB)
{
    const std::vector<uint32_t> pixels = Pattern(2592, 1944);
    ComPtr<ShapedStream> stream = NewStream();
    ASSERT_EQ(virt::EncodeJpeg(pixels.data(), 2592, 1944, stream.Get()), S_OK);
    EXPECT_GT(stream->writes.size(), 1u);
    EXPECT_TRUE(std::all_of(stream->writes.begin(), stream->writes.end(), [](ULONG n) { return n <= 64 * 1024; }));
    const std::vector<uint8_t> jpeg = stream->Bytes();
    EXPECT_EQ(jpeg.size(), std::accumulate(stream->writes.begin(), stream->writes.end(), size_t{0}));
    EXPECT_GT(jpeg.size(), 64u * 1024);
    ExpectPattern(jpeg, 2592, 1944);
}

// Partial writes are continued where they stopped, so the stream still receives the whole JPEG.
TEST(JpegEncoder, StreamTakingLittleAtATimeGetsEveryByte)
{
    const std::vector<uint32_t> pixels = Pattern(320, 240);
    ComPtr<ShapedStream> stream = NewStream();
    stream->limit = 1000;
    ASSERT_EQ(virt::EncodeJpeg(pixels.data(), 320, 240, stream.Get()), S_OK);
    EXPECT_GT(stream->writes.size(), 2u);
    ExpectPattern(stream->Bytes(), 320, 240);
}

// A stream that takes nothing must end the encoding, not loop for ever.
TEST(JpegEncoder, StreamTakingNothingFails)
{
    const std::vector<uint32_t> pixels = Pattern(320, 240);
    ComPtr<ShapedStream> stream = NewStream();
    stream->limit = 0;
    EXPECT_TRUE(FAILED(virt::EncodeJpeg(pixels.data(), 320, 240, stream.Get())));
    EXPECT_TRUE(stream->Bytes().empty());
}

struct WriteFailure {
    size_t failAt;
    HRESULT failure;
};

class JpegEncoderWriteFails : public ::testing::TestWithParam<WriteFailure> {};

TEST_P(JpegEncoderWriteFails, ReportsTheStreamsFailureAndWritesNoMore)
{
    const std::vector<uint32_t> pixels = Pattern(2592, 1944);
    ComPtr<ShapedStream> stream = NewStream();
    stream->failAt = GetParam().failAt;
    stream->failure = GetParam().failure;
    EXPECT_EQ(virt::EncodeJpeg(pixels.data(), 2592, 1944, stream.Get()), GetParam().failure);
    EXPECT_EQ(stream->writes.size(), GetParam().failAt);
}

INSTANTIATE_TEST_SUITE_P(Cases, JpegEncoderWriteFails,
                         ::testing::Values(WriteFailure{1, E_OUTOFMEMORY}, WriteFailure{2, E_ACCESSDENIED}));

}  // namespace
}  // namespace lumicap::testing
