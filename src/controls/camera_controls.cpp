#include "camera_controls.h"

#include "device_control.h"
#include "interface/log.h"

#include <lumicap/lumicap.h>

#include <cstdint>

namespace lumicap {
namespace {

void LogCall(LPCWSTR name, INT32 control) { EmitLog(WString(name) + TEXT(": ") + SignedDecimal(control)); }

// Whether the value lies in the range on its grid; a driver reporting no step allows every value.
bool IsOnGrid(const ControlRange& range, INT32 value)
{
    if (value < range.minimum || value > range.maximum) return false;
    const int64_t offset = static_cast<int64_t>(value) - range.minimum;
    return range.step <= 0 || offset % range.step == 0;
}

// AUTO where the camera can choose, MANUAL where it takes values, a value on the grid.
HRESULT CheckRequest(const ControlRange& range, INT32 value, INT32 flags)
{
    if (flags == LUMICAP_CONTROL_AUTO) return (range.capsFlags & LUMICAP_CONTROL_AUTO) != 0 ? S_OK : E_INVALIDARG;
    if ((range.capsFlags & LUMICAP_CONTROL_MANUAL) == 0) return E_INVALIDARG;
    return IsOnGrid(range, value) ? S_OK : E_INVALIDARG;
}

}  // namespace

HRESULT GetControlRange(INT32 control, INT32* minimum, INT32* maximum, INT32* step, INT32* defaultValue,
                        INT32* capsFlags)
{
    LogCall(TEXT("LumicapGetControlRange"), control);
    if (!minimum || !maximum || !step || !defaultValue || !capsFlags) return E_POINTER;
    *minimum = *maximum = *step = *defaultValue = *capsFlags = 0;
    DeviceControl device;
    HRESULT hr = DeviceControl::Open(control, &device);
    if (FAILED(hr)) return hr;
    ControlRange range;
    hr = device.GetRange(&range);
    if (FAILED(hr)) return hr;
    *minimum = range.minimum;
    *maximum = range.maximum;
    *step = range.step;
    *defaultValue = range.defaultValue;
    *capsFlags = range.capsFlags;
    return hr;
}

HRESULT GetControl(INT32 control, INT32* value, INT32* flags)
{
    LogCall(TEXT("LumicapGetControl"), control);
    if (!value || !flags) return E_POINTER;
    *value = *flags = 0;
    DeviceControl device;
    HRESULT hr = DeviceControl::Open(control, &device);
    if (FAILED(hr)) return hr;
    LONG current = 0;
    LONG mode = 0;
    hr = device.Get(&current, &mode);
    if (FAILED(hr)) return hr;
    *value = current;
    // A driver may report other bits beside its mode; the host hears only which of the two it is.
    *flags = (mode & LUMICAP_CONTROL_AUTO) != 0 ? LUMICAP_CONTROL_AUTO : LUMICAP_CONTROL_MANUAL;
    return hr;
}

HRESULT SetControl(INT32 control, INT32 value, INT32 flags)
{
    LogCall(TEXT("LumicapSetControl"), control);
    if (flags != LUMICAP_CONTROL_AUTO && flags != LUMICAP_CONTROL_MANUAL) return E_INVALIDARG;
    DeviceControl device;
    HRESULT hr = DeviceControl::Open(control, &device);
    if (FAILED(hr)) return hr;
    ControlRange range;
    hr = device.GetRange(&range);
    if (FAILED(hr)) return hr;
    hr = CheckRequest(range, value, flags);
    if (FAILED(hr)) return hr;
    // The value is ignored with AUTO; some drivers still check it, and the default always passes.
    return device.Set(flags == LUMICAP_CONTROL_AUTO ? range.defaultValue : value, flags);
}

}  // namespace lumicap
