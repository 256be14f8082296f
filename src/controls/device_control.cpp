#include "device_control.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"

#include <lumicap/lumicap.h>

namespace lumicap {
namespace {

constexpr INT32 kCameraControlBase = LUMICAP_CONTROL_PAN;

bool IsPictureControl(INT32 control)
{
    return control >= LUMICAP_CONTROL_BRIGHTNESS && control <= LUMICAP_CONTROL_GAIN;
}

bool IsCameraControl(INT32 control) { return control >= LUMICAP_CONTROL_PAN && control <= LUMICAP_CONTROL_FOCUS; }

// A device that lacks the interface or the property set has no such control, as DirectShow
// reports a missing property.
HRESULT AsNotFound(HRESULT hr)
{
    return hr == E_NOINTERFACE || hr == E_PROP_SET_UNSUPPORTED ? E_PROP_ID_UNSUPPORTED : hr;
}

HRESULT DeviceSourceOfSetUp(ComPtr<IMFMediaSource>* device)
{
    CaptureManager* manager = Module().theManager.get();
    if (!manager || !manager->engine) return MF_E_NOT_INITIALIZED;
    ComPtr<IMFCaptureSource> source;
    HRESULT hr = manager->engine->GetSource(source.Put());
    if (FAILED(hr)) return hr;
    return source->GetCaptureDeviceSource(MF_CAPTURE_ENGINE_DEVICE_TYPE_VIDEO, device->Put());
}

}  // namespace

bool DeviceControl::IsKnown(INT32 control) { return IsPictureControl(control) || IsCameraControl(control); }

HRESULT DeviceControl::Open(INT32 control, DeviceControl* opened)
{
    if (!IsKnown(control)) return E_INVALIDARG;
    ComPtr<IMFMediaSource> device;
    HRESULT hr = DeviceSourceOfSetUp(&device);
    if (FAILED(hr)) return hr;
    // Asked afresh each time: some drivers answer only once the preview runs.
    if (IsPictureControl(control)) {
        opened->property_ = control;
        hr = device->QueryInterface(IID_IAMVideoProcAmp, opened->picture_.PutVoid());
    } else {
        opened->property_ = control - kCameraControlBase;
        hr = device->QueryInterface(IID_IAMCameraControl, opened->camera_.PutVoid());
    }
    return AsNotFound(hr);
}

HRESULT DeviceControl::GetRange(ControlRange* range) const
{
    const HRESULT hr = picture_ ? picture_->GetRange(property_, &range->minimum, &range->maximum, &range->step,
                                                     &range->defaultValue, &range->capsFlags)
                                : camera_->GetRange(property_, &range->minimum, &range->maximum, &range->step,
                                                    &range->defaultValue, &range->capsFlags);
    return AsNotFound(hr);
}

HRESULT DeviceControl::Get(LONG* value, LONG* flags) const
{
    return AsNotFound(picture_ ? picture_->Get(property_, value, flags) : camera_->Get(property_, value, flags));
}

HRESULT DeviceControl::Set(LONG value, LONG flags) const
{
    return AsNotFound(picture_ ? picture_->Set(property_, value, flags) : camera_->Set(property_, value, flags));
}

}  // namespace lumicap
