// One control of the current set-up's camera: the DirectShow interface that serves it
// (IAMVideoProcAmp for the picture, IAMCameraControl for the camera) and its property there.
#pragma once

#include "platform/com_ptr.h"
#include "platform/platform.h"

namespace lumicap {

struct ControlRange {
    LONG minimum = 0;
    LONG maximum = 0;
    LONG step = 0;
    LONG defaultValue = 0;
    LONG capsFlags = 0;
};

class DeviceControl {
public:
    // E_INVALIDARG for a number that names no control; MF_E_NOT_INITIALIZED without a camera set-up;
    // HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when the camera has no such interface.
    static HRESULT Open(INT32 control, DeviceControl* opened);
    static bool IsKnown(INT32 control);

    HRESULT GetRange(ControlRange* range) const;
    HRESULT Get(LONG* value, LONG* flags) const;
    HRESULT Set(LONG value, LONG flags) const;

private:
    ComPtr<IAMVideoProcAmp> picture_;
    ComPtr<IAMCameraControl> camera_;
    LONG property_ = 0;
};

}  // namespace lumicap
