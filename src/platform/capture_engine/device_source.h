// The capture device's media source as IMFCaptureSource::GetCaptureDeviceSource gives it: here only
// for its controls, which it answers as IAMVideoProcAmp and IAMCameraControl over the camera
// backend's DeviceControls. The engine streams frames itself, so the media source calls are refused.
#pragma once

#include "device_controls.h"
#include "platform/media_foundation/virtual_com_object.h"

#include <memory>

namespace lumicap::virt {

// IAMVideoProcAmp and IAMCameraControl have the same methods; each facet turns its property into a
// control number (first + property), so one object can answer both.
template <typename Interface, LONG first>
class ControlFacet : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* minimum, LONG* maximum, LONG* step, LONG* defaultValue,
                                       LONG* capsFlags) override
    {
        if (!IsProperty(property)) return E_PROP_ID_UNSUPPORTED;
        if (!minimum || !maximum || !step || !defaultValue || !capsFlags) return E_POINTER;
        DeviceControlRange range;
        const HRESULT hr = Controls().GetRange(first + property, &range);
        if (FAILED(hr)) return hr;
        *minimum = range.minimum;
        *maximum = range.maximum;
        *step = range.step;
        *defaultValue = range.defaultValue;
        *capsFlags = range.capsFlags;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override
    {
        if (!IsProperty(property)) return E_PROP_ID_UNSUPPORTED;
        return Controls().Set(first + property, value, flags);
    }

    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* value, LONG* flags) override
    {
        if (!IsProperty(property)) return E_PROP_ID_UNSUPPORTED;
        if (!value || !flags) return E_POINTER;
        return Controls().Get(first + property, value, flags);
    }

protected:
    virtual DeviceControls& Controls() = 0;
    virtual ~ControlFacet() = default;

private:
    static bool IsProperty(LONG property) { return property >= 0 && property < kCameraControlBase; }
};

using PictureControlFacet = ControlFacet<IAMVideoProcAmp, 0>;
using CameraControlFacet = ControlFacet<IAMCameraControl, kCameraControlBase>;

class DeviceSource final
    : public VirtualComObject<DeviceSource, IMFMediaSource, PictureControlFacet, CameraControlFacet> {
public:
    static HRESULT Create(std::shared_ptr<DeviceControls> controls, IMFMediaSource** source);
    static const QITAB* Interfaces();

    HRESULT STDMETHODCALLTYPE GetEvent(DWORD flags, IMFMediaEvent** event) override;
    HRESULT STDMETHODCALLTYPE BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
    HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
    HRESULT STDMETHODCALLTYPE QueueEvent(MediaEventType type, REFGUID extendedType, HRESULT status,
                                         const PROPVARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetCharacteristics(DWORD* characteristics) override;
    HRESULT STDMETHODCALLTYPE CreatePresentationDescriptor(IMFPresentationDescriptor** descriptor) override;
    HRESULT STDMETHODCALLTYPE Start(IMFPresentationDescriptor* descriptor, const GUID* timeFormat,
                                    const PROPVARIANT* startPosition) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Shutdown() override;

private:
    explicit DeviceSource(std::shared_ptr<DeviceControls> controls) : controls_(std::move(controls)) {}
    ~DeviceSource() override = default;
    DeviceControls& Controls() override { return *controls_; }

    const std::shared_ptr<DeviceControls> controls_;
};

}  // namespace lumicap::virt
