#include "support/jpeg_decode.h"
#include "support/test_host.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace lumicap::testing {
namespace {

const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

struct Range {
    INT32 minimum, maximum, step, defaultValue, caps;
    bool operator==(const Range& other) const
    {
        return minimum == other.minimum && maximum == other.maximum && step == other.step &&
               defaultValue == other.defaultValue && caps == other.caps;
    }
};

HRESULT RangeOf(INT32 control, Range* range)
{
    return LumicapGetControlRange(control, &range->minimum, &range->maximum, &range->step, &range->defaultValue,
                                  &range->caps);
}

struct Value {
    INT32 value = -1;
    INT32 flags = -1;
};

Value ValueOf(INT32 control)
{
    Value current;
    EXPECT_EQ(LumicapGetControl(control, &current.value, &current.flags), S_OK) << control;
    return current;
}

uint32_t Luma(uint32_t pixel) { return (77 * ((pixel >> 16) & 0xFF) + 150 * ((pixel >> 8) & 0xFF) + 29 * (pixel & 0xFF)) >> 8; }

double MeanLuma(const std::vector<uint32_t>& pixels)
{
    double sum = 0;
    for (uint32_t pixel : pixels) sum += Luma(pixel);
    return pixels.empty() ? 0 : sum / pixels.size();
}

class ControlsTest : public HostTest {
protected:
    // The next preview frame drawn after this call.
    std::vector<uint32_t> NextFrame(UINT32* width = nullptr)
    {
        const UINT64 shown = LumicapVirtualGetFrameCount(window_);
        EXPECT_TRUE(PumpUntil([&] { return LumicapVirtualGetFrameCount(window_) >= shown + 2; }));
        UINT32 w = 0, h = 0;
        EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &w, &h, nullptr, 0), S_OK);
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
        EXPECT_EQ(LumicapVirtualGetLatestFrame(window_, &w, &h, pixels.data(), pixels.size()), S_OK);
        if (width) *width = w;
        return pixels;
    }

    double PhotoMeanLuma()
    {
        ClearMessages();
        ::TakePhotoAsync();
        EXPECT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN));
        BYTE* data = nullptr;
        INT32 size = 0;
        ::GetLastPhoto(&data, &size);
        const DecodedImage image = DecodeJpeg(data, static_cast<size_t>(size));
        ::FreePhotoMemory();
        EXPECT_TRUE(image.ok);
        std::vector<uint32_t> pixels;
        for (unsigned y = 0; y < image.height; ++y) {
            for (unsigned x = 0; x < image.width; ++x) pixels.push_back(image.Pixel(x, y));
        }
        return MeanLuma(pixels);
    }
};

TEST_F(ControlsTest, WithoutACameraSetUpNothingIsReachedAndEachCallLogsItsControl)
{
    ::SetLogCallback(RecordLog);
    Range range{};
    Value value;
    for (int created = 0; created < 2; ++created) {
        EXPECT_EQ(RangeOf(LUMICAP_CONTROL_BRIGHTNESS, &range), MF_E_NOT_INITIALIZED);
        EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_EXPOSURE, &value.value, &value.flags), MF_E_NOT_INITIALIZED);
        EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_ZOOM, 100, LUMICAP_CONTROL_MANUAL), MF_E_NOT_INITIALIZED);
        ::CreateInstance(window_);
    }
    // A failed InitializeCamera leaves no set-up either.
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), S_OK);
    LumicapVirtualSetCameras(nullptr, 0);
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_ZOOM, 100, LUMICAP_CONTROL_MANUAL), MF_E_NOT_INITIALIZED);
    const std::vector<Text> lines = LogLines();
    EXPECT_EQ(lines[0], T("LumicapGetControlRange: 0"));
    EXPECT_EQ(lines[1], T("LumicapGetControl: 104"));
    EXPECT_EQ(lines[2], T("LumicapSetControl: 103"));
}

TEST_F(ControlsTest, TheVirtualCameraHasItsDocumentedRanges)
{
    OpenCamera();
    const Range manual{0, 0, 0, 0, LUMICAP_CONTROL_MANUAL};
    const INT32 both = LUMICAP_CONTROL_AUTO | LUMICAP_CONTROL_MANUAL;
    const struct {
        INT32 control;
        HRESULT result;
        Range range;
    } cases[] = {
        {LUMICAP_CONTROL_BRIGHTNESS, S_OK, {-64, 64, 1, 0, manual.caps}},
        {LUMICAP_CONTROL_CONTRAST, S_OK, {0, 200, 1, 100, manual.caps}},
        {LUMICAP_CONTROL_HUE, S_OK, {-180, 180, 1, 0, manual.caps}},
        {LUMICAP_CONTROL_SATURATION, S_OK, {0, 200, 1, 100, manual.caps}},
        {LUMICAP_CONTROL_SHARPNESS, kNotFound, {}},
        {LUMICAP_CONTROL_GAMMA, kNotFound, {}},
        {LUMICAP_CONTROL_COLOR_ENABLE, kNotFound, {}},
        {LUMICAP_CONTROL_WHITE_BALANCE, kNotFound, {}},
        {LUMICAP_CONTROL_BACKLIGHT_COMPENSATION, kNotFound, {}},
        {LUMICAP_CONTROL_GAIN, S_OK, {0, 100, 1, 0, both}},
        {LUMICAP_CONTROL_PAN, kNotFound, {}},
        {LUMICAP_CONTROL_TILT, kNotFound, {}},
        {LUMICAP_CONTROL_ROLL, kNotFound, {}},
        {LUMICAP_CONTROL_ZOOM, S_OK, {100, 400, 10, 100, manual.caps}},
        {LUMICAP_CONTROL_EXPOSURE, S_OK, {-13, -1, 1, -5, both}},
        {LUMICAP_CONTROL_IRIS, kNotFound, {}},
        {LUMICAP_CONTROL_FOCUS, S_OK, {0, 250, 5, 0, both}},
    };
    for (const auto& c : cases) {
        Range range{7, 7, 7, 7, 7};
        EXPECT_EQ(RangeOf(c.control, &range), c.result) << c.control;
        EXPECT_EQ(range, c.range) << c.control;
        // The automatic ones start automatic, every one at its default.
        if (c.result != S_OK) continue;
        const Value value = ValueOf(c.control);
        EXPECT_EQ(value.value, c.range.defaultValue) << c.control;
        EXPECT_EQ(value.flags, c.range.caps == both ? LUMICAP_CONTROL_AUTO : LUMICAP_CONTROL_MANUAL) << c.control;
    }
}

TEST_F(ControlsTest, ManualTakesTheValueAndAutoHandsTheChoiceBack)
{
    OpenCamera();
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_EXPOSURE, -8, LUMICAP_CONTROL_MANUAL), S_OK);
    Value value = ValueOf(LUMICAP_CONTROL_EXPOSURE);
    EXPECT_EQ(value.value, -8);
    EXPECT_EQ(value.flags, LUMICAP_CONTROL_MANUAL);
    // With AUTO the value is ignored, however far off the range it lies.
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_EXPOSURE, 123456, LUMICAP_CONTROL_AUTO), S_OK);
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_EXPOSURE).flags, LUMICAP_CONTROL_AUTO);
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_FOCUS, 250, LUMICAP_CONTROL_MANUAL), S_OK);
    value = ValueOf(LUMICAP_CONTROL_FOCUS);
    EXPECT_EQ(value.value, 250);
    EXPECT_EQ(value.flags, LUMICAP_CONTROL_MANUAL);
}

TEST_F(ControlsTest, RefusedRequestsChangeNothing)
{
    OpenCamera();
    const struct {
        INT32 control;
        INT32 value;
        INT32 flags;
        HRESULT result;
    } cases[] = {
        {LUMICAP_CONTROL_FOCUS, 3, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},       // off the step grid
        {LUMICAP_CONTROL_ZOOM, 105, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},      // off the step grid
        {LUMICAP_CONTROL_BRIGHTNESS, 65, LUMICAP_CONTROL_MANUAL, E_INVALIDARG}, // above the range
        {LUMICAP_CONTROL_EXPOSURE, -14, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},  // below the range
        {LUMICAP_CONTROL_BRIGHTNESS, 0, LUMICAP_CONTROL_AUTO, E_INVALIDARG},    // the camera cannot choose
        {LUMICAP_CONTROL_GAIN, 10, 0, E_INVALIDARG},
        {LUMICAP_CONTROL_GAIN, 10, LUMICAP_CONTROL_AUTO | LUMICAP_CONTROL_MANUAL, E_INVALIDARG},
        {10, 0, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},  // no such control number
        {99, 0, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},
        {107, 0, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},
        {-1, 0, LUMICAP_CONTROL_MANUAL, E_INVALIDARG},
        {LUMICAP_CONTROL_SHARPNESS, 0, LUMICAP_CONTROL_MANUAL, kNotFound},  // not on this camera
        {LUMICAP_CONTROL_PAN, 0, LUMICAP_CONTROL_MANUAL, kNotFound},
    };
    for (const auto& c : cases) EXPECT_EQ(LumicapSetControl(c.control, c.value, c.flags), c.result) << c.control;
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_FOCUS).value, 0);
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_BRIGHTNESS).value, 0);
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_GAIN).flags, LUMICAP_CONTROL_AUTO);

    Range range{};
    INT32 value = 0;
    EXPECT_EQ(LumicapGetControlRange(LUMICAP_CONTROL_ZOOM, &range.minimum, &range.maximum, nullptr,
                                     &range.defaultValue, &range.caps), E_POINTER);
    EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_ZOOM, &value, nullptr), E_POINTER);
    EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_ZOOM, nullptr, &value), E_POINTER);
    EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_IRIS, &value, &value), kNotFound);
    EXPECT_EQ(RangeOf(200, &range), E_INVALIDARG);
}

TEST_F(ControlsTest, BrightnessShowsInTheNextPreviewFramesAndThePhoto)
{
    StartPreviewOn(0);
    const double frameBefore = MeanLuma(NextFrame());
    const double photoBefore = PhotoMeanLuma();
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, -64, LUMICAP_CONTROL_MANUAL), S_OK);
    EXPECT_LT(MeanLuma(NextFrame()), frameBefore - 40);
    EXPECT_LT(PhotoMeanLuma(), photoBefore - 40);
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 64, LUMICAP_CONTROL_MANUAL), S_OK);
    EXPECT_GT(MeanLuma(NextFrame()), frameBefore + 40);
}

TEST_F(ControlsTest, ContrastSaturationHueAndZoomChangeThePicture)
{
    StartPreviewOn(0);
    UINT32 width = 0;
    const std::vector<uint32_t> plain = NextFrame(&width);
    const size_t middle = plain.size() / 2 / width * width;  // the first pixel of the middle row
    // How far the colour just left of the centre reaches to the left along the middle row.
    auto runLeftOfCentre = [&](const std::vector<uint32_t>& frame) {
        const auto centre = std::make_reverse_iterator(frame.begin() + middle + width / 2);
        const uint32_t colour = *centre;
        return std::find_if(centre, centre + width / 2, [colour](uint32_t pixel) { return pixel != colour; }) - centre;
    };

    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_SATURATION, 0, LUMICAP_CONTROL_MANUAL), S_OK);
    const std::vector<uint32_t> grey = NextFrame();
    EXPECT_TRUE(std::all_of(grey.begin(), grey.end(), [](uint32_t p) {
        return std::abs(int((p >> 16) & 0xFF) - int(p & 0xFF)) <= 2 && std::abs(int((p >> 8) & 0xFF) - int(p & 0xFF)) <= 2;
    }));
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_SATURATION, 100, LUMICAP_CONTROL_MANUAL), S_OK);

    // Turned half way round, the red bar (the sixth of eight) is cyan.
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_HUE, 180, LUMICAP_CONTROL_MANUAL), S_OK);
    const uint32_t turned = NextFrame()[middle + width * 11 / 16];
    EXPECT_LT((turned >> 16) & 0xFF, 0x40u);
    EXPECT_GT(turned & 0xFF, 0x80u);
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_HUE, 0, LUMICAP_CONTROL_MANUAL), S_OK);

    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_CONTRAST, 0, LUMICAP_CONTROL_MANUAL), S_OK);
    const std::vector<uint32_t> flat = NextFrame();
    EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](uint32_t p) { return p == 0x808080; }));
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_CONTRAST, 100, LUMICAP_CONTROL_MANUAL), S_OK);

    // Twice the magnification: the green bar that ends at the centre is twice as wide.
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_ZOOM, 200, LUMICAP_CONTROL_MANUAL), S_OK);
    EXPECT_EQ(runLeftOfCentre(plain), static_cast<long>(width / 8));
    EXPECT_NEAR(runLeftOfCentre(NextFrame()), static_cast<long>(width / 4), 2);
}

TEST_F(ControlsTest, APlatformFailureComesBackAsItsCodeNeverAsSuccess)
{
    OpenCamera();
    ASSERT_EQ(LumicapVirtualFailOperation("IMFCaptureEngine::GetSource", E_FAIL, 1), S_OK);
    EXPECT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 10, LUMICAP_CONTROL_MANUAL), E_FAIL);
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_BRIGHTNESS).value, 0);
    ASSERT_EQ(LumicapVirtualFailOperation("IMFCaptureEngine::GetSource", E_OUTOFMEMORY, 1), S_OK);
    Value value;
    EXPECT_EQ(LumicapGetControl(LUMICAP_CONTROL_BRIGHTNESS, &value.value, &value.flags), E_OUTOFMEMORY);
    EXPECT_EQ(value.value, 0);
    EXPECT_EQ(value.flags, 0);
}

TEST_F(ControlsTest, NothingIsKeptAcrossSetUps)
{
    OpenCamera();
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_BRIGHTNESS, 20, LUMICAP_CONTROL_MANUAL), S_OK);
    ASSERT_EQ(LumicapSetControl(LUMICAP_CONTROL_GAIN, 30, LUMICAP_CONTROL_MANUAL), S_OK);
    OpenCamera();
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_BRIGHTNESS).value, 0);
    EXPECT_EQ(ValueOf(LUMICAP_CONTROL_GAIN).flags, LUMICAP_CONTROL_AUTO);
}

TEST_F(ControlsTest, AMadeCameraHasControlsOnlyOnceGivenThem)
{
    const LumicapVirtualFormat format{640, 480, MFVideoFormat_YUY2, 30, 1};
    const Text name = T("Made Camera");
    LumicapVirtualCamera camera{};
    camera.friendlyName = name.c_str();
    camera.symbolicLink = name.c_str();
    camera.category = CLSID_VideoInputDeviceCategory;
    camera.formats = &format;
    camera.formatCount = 1;
    ASSERT_EQ(LumicapVirtualSetCameras(&camera, 1), S_OK);
    OpenCamera("Made Camera");
    Range range{};
    EXPECT_EQ(RangeOf(LUMICAP_CONTROL_BRIGHTNESS, &range), kNotFound);

    EXPECT_EQ(LumicapVirtualSetCameraControls(name.c_str(), TRUE), S_OK);
    EXPECT_EQ(LumicapVirtualSetCameraControls(T("No Such Camera").c_str(), TRUE), kNotFound);
    EXPECT_EQ(LumicapVirtualSetCameraControls(nullptr, TRUE), E_POINTER);
    // The set-up already open keeps what it opened with; the next one has the controls.
    EXPECT_EQ(RangeOf(LUMICAP_CONTROL_BRIGHTNESS, &range), kNotFound);
    OpenCamera("Made Camera");
    EXPECT_EQ(RangeOf(LUMICAP_CONTROL_BRIGHTNESS, &range), S_OK);
    EXPECT_EQ(LumicapVirtualSetCameraControls(name.c_str(), FALSE), S_OK);
    OpenCamera("Made Camera");
    EXPECT_EQ(RangeOf(LUMICAP_CONTROL_FOCUS, &range), kNotFound);
}

}  // namespace
}  // namespace lumicap::testing
