#include "platform/v4l2/node_controls.h"

#include "platform/v4l2/control_units.h"
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/device_ioctl.h"
#include "platform/v4l2/device_nodes.h"
#include "platform/v4l2/unique_fd.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

namespace lumicap::v4l2 {
namespace {

struct Mapping {
    LONG control;
    uint32_t id;
    uint32_t automatic;  // the switch that lets the camera choose, or 0
    ControlUnit unit;
};

constexpr LONG kCamera = virt::kCameraControlBase;

constexpr Mapping kMappings[] = {
    {VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, 0, ControlUnit::same},
    {VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0, ControlUnit::same},
    {VideoProcAmp_Hue, V4L2_CID_HUE, V4L2_CID_HUE_AUTO, ControlUnit::same},
    {VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0, ControlUnit::same},
    {VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0, ControlUnit::same},
    {VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0, ControlUnit::same},
    {VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE, ControlUnit::same},
    {VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0, ControlUnit::same},
    {VideoProcAmp_Gain, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, ControlUnit::same},
    {kCamera + CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0, ControlUnit::arcSeconds},
    {kCamera + CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0, ControlUnit::arcSeconds},
    {kCamera + CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0, ControlUnit::same},
    {kCamera + CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, ControlUnit::hundredMicroseconds},
    {kCamera + CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, 0, ControlUnit::same},
    {kCamera + CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, ControlUnit::same},
};

// The exposure menu's automatic modes, the camera choosing most first.
constexpr int64_t kAutomaticExposureModes[] = {V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY,
                                               V4L2_EXPOSURE_SHUTTER_PRIORITY};

const Mapping* MappingOf(LONG control)
{
    const auto found = std::find_if(std::begin(kMappings), std::end(kMappings),
                                    [control](const Mapping& mapping) { return mapping.control == control; });
    return found == std::end(kMappings) ? nullptr : found;
}

HRESULT ControlError(int err)
{
    // EINVAL/ERANGE: a value the driver refuses; EACCES: a control it does not let us write now.
    if (err == ERANGE || err == EINVAL) return E_INVALIDARG;
    if (err == EACCES) return E_ACCESSDENIED;
    return DeviceError(err, DeviceStep::query);
}

// A control the driver does not know or has disabled is one the camera does not have.
HRESULT Query(int fd, uint32_t id, v4l2_query_ext_ctrl* query)
{
    *query = {};
    query->id = id;
    if (!Ioctl(fd, VIDIOC_QUERY_EXT_CTRL, query)) return errno == EINVAL ? E_PROP_ID_UNSUPPORTED : ControlError(errno);
    return (query->flags & V4L2_CTRL_FLAG_DISABLED) != 0 ? E_PROP_ID_UNSUPPORTED : S_OK;
}

HRESULT Read(int fd, uint32_t id, int64_t* value)
{
    v4l2_ext_control control{};
    control.id = id;
    v4l2_ext_controls controls{};
    controls.which = V4L2_CTRL_WHICH_CUR_VAL;
    controls.count = 1;
    controls.controls = &control;
    if (!Ioctl(fd, VIDIOC_G_EXT_CTRLS, &controls)) return ControlError(errno);
    *value = control.value;
    return S_OK;
}

HRESULT Write(int fd, uint32_t id, int64_t value)
{
    v4l2_ext_control control{};
    control.id = id;
    control.value = static_cast<int32_t>(value);
    v4l2_ext_controls controls{};
    controls.which = V4L2_CTRL_WHICH_CUR_VAL;
    controls.count = 1;
    controls.controls = &control;
    return Ioctl(fd, VIDIOC_S_EXT_CTRLS, &controls) ? S_OK : ControlError(errno);
}

bool HasMenuItem(int fd, uint32_t id, int64_t index)
{
    v4l2_querymenu item{};
    item.id = id;
    item.index = static_cast<uint32_t>(index);
    return Ioctl(fd, VIDIOC_QUERYMENU, &item);
}

// The automatic switch's value that lets the camera choose, or that takes the choice back; false when
// the camera has no switch for this control.
bool SwitchValue(int fd, const Mapping& mapping, bool automatic, int64_t* value)
{
    v4l2_query_ext_ctrl query;
    if (mapping.automatic == 0 || FAILED(Query(fd, mapping.automatic, &query))) return false;
    if (query.type != V4L2_CTRL_TYPE_MENU) {
        *value = automatic ? 1 : 0;
        return true;
    }
    if (!automatic) {
        *value = V4L2_EXPOSURE_MANUAL;
        return true;
    }
    for (int64_t mode : kAutomaticExposureModes) {
        if (HasMenuItem(fd, mapping.automatic, mode)) {
            *value = mode;
            return true;
        }
    }
    return false;
}

bool IsAutomatic(const Mapping& mapping, int64_t switchValue)
{
    return mapping.automatic == V4L2_CID_EXPOSURE_AUTO ? switchValue != V4L2_EXPOSURE_MANUAL : switchValue != 0;
}

DriverRange DriverRangeOf(const v4l2_query_ext_ctrl& query)
{
    return {query.minimum, query.maximum, query.step, query.default_value};
}

// The node, the control's mapping and the driver's description of it.
struct OpenControl {
    UniqueFd fd;
    const Mapping* mapping = nullptr;
    v4l2_query_ext_ctrl query{};
};

HRESULT Open(const std::string& path, LONG control, OpenControl* opened)
{
    opened->mapping = MappingOf(control);
    if (!opened->mapping) return E_PROP_ID_UNSUPPORTED;
    const HRESULT hr = OpenNode(path, &opened->fd);
    if (FAILED(hr)) return hr;
    return Query(opened->fd.Get(), opened->mapping->id, &opened->query);
}

}  // namespace

HRESULT NodeControls::GetRange(LONG control, virt::DeviceControlRange* range)
{
    OpenControl opened;
    const HRESULT hr = Open(path_, control, &opened);
    if (FAILED(hr)) return hr;
    *range = RangeIn(opened.mapping->unit, DriverRangeOf(opened.query));
    int64_t automatic = 0;
    // A control the driver only reports takes no values from us.
    range->capsFlags = (opened.query.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0 ? 0 : VideoProcAmp_Flags_Manual;
    if (SwitchValue(opened.fd.Get(), *opened.mapping, true, &automatic)) range->capsFlags |= VideoProcAmp_Flags_Auto;
    return S_OK;
}

HRESULT NodeControls::Get(LONG control, LONG* value, LONG* flags)
{
    OpenControl opened;
    HRESULT hr = Open(path_, control, &opened);
    if (FAILED(hr)) return hr;
    int64_t current = 0;
    hr = Read(opened.fd.Get(), opened.mapping->id, &current);
    if (FAILED(hr)) return hr;
    *value = ToDirectShow(opened.mapping->unit, current);
    *flags = VideoProcAmp_Flags_Manual;
    int64_t switchValue = 0;
    if (opened.mapping->automatic != 0 && SUCCEEDED(Read(opened.fd.Get(), opened.mapping->automatic, &switchValue)) &&
        IsAutomatic(*opened.mapping, switchValue)) {
        *flags = VideoProcAmp_Flags_Auto;
    }
    return S_OK;
}

// As DirectShow does: MANUAL switches the camera's own choice off first, then sets the value; AUTO
// switches it on.
HRESULT NodeControls::Set(LONG control, LONG value, LONG flags)
{
    if (flags != VideoProcAmp_Flags_Auto && flags != VideoProcAmp_Flags_Manual) return E_INVALIDARG;
    OpenControl opened;
    HRESULT hr = Open(path_, control, &opened);
    if (FAILED(hr)) return hr;
    const bool automatic = flags == VideoProcAmp_Flags_Auto;
    int64_t switchValue = 0;
    const bool hasSwitch = SwitchValue(opened.fd.Get(), *opened.mapping, automatic, &switchValue);
    if (automatic && !hasSwitch) return E_INVALIDARG;
    if (hasSwitch) {
        hr = Write(opened.fd.Get(), opened.mapping->automatic, switchValue);
        if (FAILED(hr) || automatic) return hr;
    }
    return Write(opened.fd.Get(), opened.mapping->id, FromDirectShow(opened.mapping->unit, value, DriverRangeOf(opened.query)));
}

}  // namespace lumicap::v4l2
