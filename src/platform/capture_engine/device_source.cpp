#include "device_source.h"

#include <new>

namespace lumicap::virt {
HRESULT DeviceSource::Create(std::shared_ptr<DeviceControls> controls, IMFMediaSource** source)
{
    if (!source) return E_POINTER;
    *source = nullptr;
    if (!controls) return E_INVALIDARG;
    *source = new (std::nothrow) DeviceSource(std::move(controls));
    return *source ? S_OK : E_OUTOFMEMORY;
}

const QITAB* DeviceSource::Interfaces()
{
    static const QITAB table[] = {
        QITABENT(DeviceSource, IMFMediaSource),
        QITABENT(DeviceSource, IMFMediaEventGenerator),
        QITABENT(DeviceSource, IAMVideoProcAmp),
        QITABENT(DeviceSource, IAMCameraControl),
        {nullptr, 0},
    };
    return table;
}

HRESULT DeviceSource::GetEvent(DWORD, IMFMediaEvent**) { return E_NOTIMPL; }
HRESULT DeviceSource::BeginGetEvent(IMFAsyncCallback*, IUnknown*) { return E_NOTIMPL; }
HRESULT DeviceSource::EndGetEvent(IMFAsyncResult*, IMFMediaEvent**) { return E_NOTIMPL; }
HRESULT DeviceSource::QueueEvent(MediaEventType, REFGUID, HRESULT, const PROPVARIANT*) { return E_NOTIMPL; }
HRESULT DeviceSource::GetCharacteristics(DWORD*) { return E_NOTIMPL; }
HRESULT DeviceSource::CreatePresentationDescriptor(IMFPresentationDescriptor**) { return E_NOTIMPL; }
HRESULT DeviceSource::Start(IMFPresentationDescriptor*, const GUID*, const PROPVARIANT*) { return E_NOTIMPL; }
HRESULT DeviceSource::Stop() { return E_NOTIMPL; }
HRESULT DeviceSource::Pause() { return E_NOTIMPL; }
HRESULT DeviceSource::Shutdown() { return E_NOTIMPL; }

}  // namespace lumicap::virt
