// The control exports on vivid, run in scripts/v4l2-vm.sh: ranges as v4l2-ctl lists them, brightness
// in the preview, gain's automatic switch, and the controls vivid does not have.
#include "exports_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

namespace lumicap::v4l2::testing {
namespace {

using std::chrono::seconds;

constexpr const char* kOpened = "/dev/video4";  // the last camera named "vivid"
constexpr INT32 kBoth = LUMICAP_CONTROL_AUTO | LUMICAP_CONTROL_MANUAL;

struct Range {
    INT32 minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
};

HRESULT RangeOf(INT32 control, Range* range)
{
    return LumicapGetControlRange(control, &range->minimum, &range->maximum, &range->step, &range->defaultValue,
                                  &range->caps);
}

// v4l2-ctl's line for the control: "name 0x... (int) : min=0 max=255 step=1 default=128 value=128".
Range ListedRange(const std::string& name)
{
    std::istringstream lines(Output(std::string("v4l2-ctl -d ") + kOpened + " --list-ctrls"));
    std::string line;
    Range range;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != name) continue;
        const size_t colon = line.find(" : ");
        EXPECT_EQ(sscanf(line.c_str() + colon, " : min=%d max=%d step=%d default=%d", &range.minimum, &range.maximum,
                         &range.step, &range.defaultValue),
                  4)
            << line;
    }
    return range;
}

// A control's value as v4l2-ctl reads it.
int ListedValue(const std::string& name)
{
    const std::string text = Output(std::string("v4l2-ctl -d ") + kOpened + " -C " + name);
    const size_t colon = text.find(':');
    return colon == std::string::npos ? -1 : std::stoi(text.substr(colon + 1));
}

double MeanLuma(const std::vector<uint32_t>& pixels)
{
    double sum = 0;
    for (uint32_t p : pixels) sum += (77 * ((p >> 16) & 0xFF) + 150 * ((p >> 8) & 0xFF) + 29 * (p & 0xFF)) >> 8;
    return pixels.empty() ? 0 : sum / pixels.size();
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(kOpened, F_OK) != 0) GTEST_SKIP() << "no vivid here; run the test in scripts/v4l2-vm.sh";
        host_ = &ExportsHost::Get();
        ASSERT_EQ(host_->Initialize("vivid"), S_OK);
    }
    void TearDown() override
    {
        if (!host_) return;
        StopPreview();
        host_->PumpFor(std::chrono::milliseconds(300));
    }

    // The mean luma of a preview frame shown after the call.
    double NextFrameLuma()
    {
        EXPECT_TRUE(host_->WaitForNewFrame(seconds(10)));
        EXPECT_TRUE(host_->WaitForNewFrame(seconds(10)));
        std::vector<uint32_t> pixels(320 * 180);
        UINT32 width = 0, height = 0;
        EXPECT_TRUE(LumicapGetLatestFrame(host_->PreviewWindow(), pixels.data(), pixels.size(), &width, &height));
        pixels.resize(static_cast<size_t>(width) * height);
        return MeanLuma(pixels);
    }

    ExportsHost* host_ = nullptr;
};

TEST_F(Controls, PictureRangesAreThoseV4l2CtlLists)
{
    const struct {
        INT32 control;
        const char* name;
    } cases[] = {
        {LUMICAP_CONTROL_BRIGHTNESS, "brightness"},
        {LUMICAP_CONTROL_CONTRAST, "contrast"},
        {LUMICAP_CONTROL_SATURATION, "saturation"},
        {LUMICAP_CONTROL_HUE, "hue"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Range listed = ListedRange(c.name);
        Range range;
        ASSERT_EQ(RangeOf(c.control, &range), S_OK);
        EXPECT_EQ(range.minimum, listed.minimum);
        EXPECT_EQ(range.maximum, listed.maximum);
        EXPECT_EQ(range.step, listed.step);
        EXPECT_EQ(range.defaultValue, listed.defaultValue);
        EXPECT_EQ(range.caps, LUMICAP_CONTROL_MANUAL);
        EXPECT_LT(range.minimum, range.maximum);
    }
}

TEST_F(Controls, BrightnessDarkensAndBrightensThePreview)
{
    const std::vector<std::string> types = MediaTypeList();
    INT32 small = -1;
    for (size_t i = 0; i < types.size(); ++i) {
        if (types[i].rfind("320 X 180 YUY2 FPS ", 0) == 0) small = static_cast<INT32>(i);
    }
    ASSERT_GE(small, 0) << "vivid lists no 320 X 180 YUY2";
    host_->Clear();
    ASSERT_TRUE(host_->StartPreviewAndWaitForFrame(small, seconds(20)));
    const double middle = NextFrameLuma();
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 0, LUMICAP_CONTROL_MANUAL), S_OK);
    const double dark = NextFrameLuma();
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 255, LUMICAP_CONTROL_MANUAL), S_OK);
    const double bright = NextFrameLuma();
    EXPECT_LT(dark, middle - 30);
    EXPECT_GT(bright, middle + 30);
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 128, LUMICAP_CONTROL_MANUAL), S_OK);
}

TEST_F(Controls, GainGoesAutomaticThenManual)
{
    Range range;
    ASSERT_EQ(RangeOf(LUMICAP_CONTROL_GAIN, &range), S_OK);
    EXPECT_EQ(range.caps, kBoth);
    INT32 value = 0, flags = 0;
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_GAIN, range.maximum + 1, LUMICAP_CONTROL_AUTO), S_OK);
    ASSERT_EQ(LumicapGetControl(LUMICAP_CONTROL_GAIN, &value, &flags), S_OK);
    EXPECT_EQ(flags, LUMICAP_CONTROL_AUTO);
    EXPECT_EQ(ListedValue("gain_automatic"), 1);

    const INT32 manual = range.minimum + range.step * 5;
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_GAIN, manual, LUMICAP_CONTROL_MANUAL), S_OK);
    ASSERT_EQ(LumicapGetControl(LUMICAP_CONTROL_GAIN, &value, &flags), S_OK);
    EXPECT_EQ(flags, LUMICAP_CONTROL_MANUAL);
    EXPECT_EQ(value, manual);
    EXPECT_EQ(ListedValue("gain_automatic"), 0);
    EXPECT_EQ(ListedValue("gain"), manual);
}

TEST_F(Controls, FocusAndZoomAreNotFound)
{
    Range range;
    INT32 value = 0, flags = 0;
    EXPECT_EQ(RangeOf(LUMICAP_CONTROL_FOCUS, &range), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_ZOOM, &value, &flags), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_FOCUS, 0, LUMICAP_CONTROL_MANUAL), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

}  // namespace
}  // namespace lumicap::v4l2::testing
