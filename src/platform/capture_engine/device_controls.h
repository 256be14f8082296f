// What a camera backend gives the device source for its camera's controls. Controls are numbered as
// DirectShow's VideoProcAmpProperty (0-9) and 100 + CameraControlProperty (100-106), valued as
// DirectShow means them, with its Auto (1) and Manual (2) flags; a backend whose units differ converts.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

// The first camera control's number: camera control property p is control kCameraControlBase + p.
inline constexpr LONG kCameraControlBase = 100;

struct DeviceControlRange {
    LONG minimum = 0;
    LONG maximum = 0;
    LONG step = 1;
    LONG defaultValue = 0;
    LONG capsFlags = 0;
};

class DeviceControls {
public:
    DeviceControls() = default;
    DeviceControls(const DeviceControls&) = delete;
    DeviceControls& operator=(const DeviceControls&) = delete;
    virtual ~DeviceControls() = default;

    // E_PROP_ID_UNSUPPORTED for a control the camera does not have; E_INVALIDARG for a value or flags
    // it refuses. Called from the host's thread while engine threads draw frames.
    virtual HRESULT GetRange(LONG control, DeviceControlRange* range) = 0;
    virtual HRESULT Get(LONG control, LONG* value, LONG* flags) = 0;
    virtual HRESULT Set(LONG control, LONG value, LONG flags) = 0;
};

}  // namespace lumicap::virt
