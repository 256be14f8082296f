#include "virtual_controls.h"

#include <algorithm>

namespace lumicap::virt {
namespace {

constexpr LONG kBrightness = VideoProcAmp_Brightness;
constexpr LONG kContrast = VideoProcAmp_Contrast;
constexpr LONG kHue = VideoProcAmp_Hue;
constexpr LONG kSaturation = VideoProcAmp_Saturation;
constexpr LONG kGain = VideoProcAmp_Gain;
constexpr LONG kZoom = kCameraControlBase + CameraControl_Zoom;
constexpr LONG kExposure = kCameraControlBase + CameraControl_Exposure;
constexpr LONG kFocus = kCameraControlBase + CameraControl_Focus;

constexpr LONG kManual = VideoProcAmp_Flags_Manual;
constexpr LONG kEither = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;

// number, {minimum, maximum, step, default, caps}; the automatic ones start automatic.
struct DefaultControl {
    LONG number;
    DeviceControlRange range;
};

constexpr DefaultControl kDefaultSet[] = {
    {kBrightness, {-64, 64, 1, 0, kManual}},
    {kContrast, {0, 200, 1, 100, kManual}},
    {kHue, {-180, 180, 1, 0, kManual}},
    {kSaturation, {0, 200, 1, 100, kManual}},
    {kGain, {0, 100, 1, 0, kEither}},
    {kZoom, {100, 400, 10, 100, kManual}},
    {kExposure, {-13, -1, 1, -5, kEither}},
    {kFocus, {0, 250, 5, 0, kEither}},
};

// The control of that number in the list, or null; for the list as it is, const or not.
template <typename Controls>
auto FindControl(Controls& controls, LONG number) -> decltype(&controls.front())
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [number](const auto& entry) { return entry.number == number; });
    return found == controls.end() ? nullptr : &*found;
}

bool IsOnGrid(const DeviceControlRange& range, LONG value)
{
    return value >= range.minimum && value <= range.maximum && (value - range.minimum) % range.step == 0;
}

}  // namespace

bool PictureAdjustment::ChangesColours() const
{
    return brightness != 0 || contrast != 100 || hue != 0 || saturation != 100;
}

VirtualControls::VirtualControls(bool withControls)
{
    if (!withControls) return;
    for (const DefaultControl& control : kDefaultSet) {
        const bool automatic = (control.range.capsFlags & VideoProcAmp_Flags_Auto) != 0;
        controls_.push_back({control.number, control.range, control.range.defaultValue, automatic});
    }
}

VirtualControls::Control* VirtualControls::Find(LONG control) { return FindControl(controls_, control); }

HRESULT VirtualControls::GetRange(LONG control, DeviceControlRange* range)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Control* found = Find(control);
    if (!found) return E_PROP_ID_UNSUPPORTED;
    *range = found->range;
    return S_OK;
}

HRESULT VirtualControls::Get(LONG control, LONG* value, LONG* flags)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Control* found = Find(control);
    if (!found) return E_PROP_ID_UNSUPPORTED;
    *value = found->value;
    *flags = found->automatic ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
    return S_OK;
}

// As a driver does: AUTO keeps the value (the camera would choose one), MANUAL takes one on the grid.
HRESULT VirtualControls::Set(LONG control, LONG value, LONG flags)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Control* found = Find(control);
    if (!found) return E_PROP_ID_UNSUPPORTED;
    if (flags != VideoProcAmp_Flags_Auto && flags != VideoProcAmp_Flags_Manual) return E_INVALIDARG;
    if ((found->range.capsFlags & flags) == 0) return E_INVALIDARG;
    if (flags == VideoProcAmp_Flags_Manual) {
        if (!IsOnGrid(found->range, value)) return E_INVALIDARG;
        found->value = value;
    }
    found->automatic = flags == VideoProcAmp_Flags_Auto;
    return S_OK;
}

LONG VirtualControls::ValueOf(LONG control) const
{
    const Control* found = FindControl(controls_, control);
    return found ? found->value : 0;
}

PictureAdjustment VirtualControls::Adjustment() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    PictureAdjustment adjustment;
    if (controls_.empty()) return adjustment;
    adjustment.brightness = ValueOf(kBrightness);
    adjustment.contrast = ValueOf(kContrast);
    adjustment.hue = ValueOf(kHue);
    adjustment.saturation = ValueOf(kSaturation);
    adjustment.zoom = ValueOf(kZoom);
    return adjustment;
}

}  // namespace lumicap::virt
