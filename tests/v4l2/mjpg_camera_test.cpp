// The exports on a camera that sends MJPG as most USB webcams do (without Huffman tables, each frame
// of its own length): a v4l2loopback node fed by lumicap_mjpg_writer, run in scripts/v4l2-vm.sh by
// tests/v4l2/run_device_suites.sh. The compressed path meets a driver here, which vivid never offers.
#include "colour_bars.h"
#include "exports_host.h"

#include <turbojpeg.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace lumicap::v4l2::testing {
namespace {

using std::chrono::seconds;

constexpr const char* kCamera = "mjpg-webcam";  // the loopback node's card label
constexpr const char* kType = "640 X 360 MJPG";
constexpr UINT32 kWidth = 640;
constexpr UINT32 kHeight = 360;

class MjpgCamera : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::vector<std::string> cameras = CameraList();
        if (std::find(cameras.begin(), cameras.end(), kCamera) == cameras.end()) {
            GTEST_SKIP() << "no " << kCamera << " here; run the suite in scripts/v4l2-vm.sh";
        }
        host_ = &ExportsHost::Get();
        ASSERT_EQ(host_->Initialize(kCamera), S_OK);
        const std::vector<std::string> types = MediaTypeList();
        const auto found = std::find_if(types.begin(), types.end(),
                                        [](const std::string& type) { return type.rfind(kType, 0) == 0; });
        ASSERT_NE(found, types.end()) << kType << " is not listed";
        index_ = static_cast<INT32>(found - types.begin());
    }
    void TearDown() override
    {
        if (!host_) return;
        StopPreview();
        LumicapSetPreviewFrames(FALSE);
        host_->PumpFor(std::chrono::milliseconds(300));
    }

    ExportsHost* host_ = nullptr;
    INT32 index_ = -1;
};

TEST_F(MjpgCamera, PreviewShowsTheDecodedBars)
{
    host_->Clear();
    ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(index_, seconds(20)));
    // Several frames, of several lengths, decode in turn.
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(host_->WaitForNewFrame(seconds(10)));
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    UINT32 width = 0, height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(host_->PreviewWindow(), pixels.data(), pixels.size(), &width, &height));
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    ExpectColourBars(pixels, width, height);
}

TEST_F(MjpgCamera, APhotoIsTheCapturedFrameWithItsTablesAdded)
{
    host_->Clear();
    ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(index_, seconds(20)));
    TakePhotoAsync();
    const MSG* ready = host_->WaitForNotice(WM_CAMERA_PHOTO_READY, seconds(20));
    ASSERT_NE(ready, nullptr);
    ASSERT_EQ(ready->lParam, 0);
    BYTE* jpeg = nullptr;
    INT32 size = 0;
    GetLastPhoto(&jpeg, &size);
    ASSERT_NE(jpeg, nullptr);
    std::vector<unsigned char> bytes(jpeg, jpeg + size);
    FreePhotoMemory();

    // Kept as the camera compressed it (4:2:2, as the writer encodes), with the tables it lacked.
    const unsigned char dht[] = {0xFF, 0xC4};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin(dht), std::end(dht)), bytes.end());
    std::unique_ptr<void, int (*)(tjhandle)> decoder(tjInitDecompress(), tjDestroy);
    ASSERT_TRUE(decoder);
    int w = 0, h = 0, subsampling = -1, colorspace = 0;
    ASSERT_EQ(tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &w, &h, &subsampling, &colorspace), 0);
    EXPECT_EQ(subsampling, TJSAMP_422);
    ASSERT_EQ(w, static_cast<int>(kWidth));
    ASSERT_EQ(h, static_cast<int>(kHeight));
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    ASSERT_EQ(tjDecompress2(decoder.get(), bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(pixels.data()),
                            w, 0, h, TJPF_BGRX, TJFLAG_STOPONWARNING),
              0)
        << tjGetErrorStr2(decoder.get());
    for (uint32_t& pixel : pixels) pixel &= 0x00FFFFFFu;
    ExpectColourBars(pixels, kWidth, kHeight);
}

TEST_F(MjpgCamera, FramesModeHandsTheHostTheDecodedBars)
{
    ASSERT_EQ(LumicapSetPreviewFrames(TRUE), S_OK);
    ASSERT_EQ(StartPreview(index_, nullptr), S_OK);
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    UINT32 width = 0, height = 0;
    UINT64 number = 0;
    EXPECT_TRUE(host_->PumpUntil(
        [&] {
            return LumicapGetPreviewFrame(&width, &height, pixels.data(), pixels.size(), &number) == S_OK &&
                   number > 1;
        },
        seconds(20)));
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    ExpectColourBars(pixels, width, height);
}

}  // namespace
}  // namespace lumicap::v4l2::testing
