// The one header the library's logic includes to reach the capture platform.
//
// Logic talks to platform objects through the SDK's own COM interfaces and calls the system services
// (events, window messages, SAFEARRAY/BSTR, QISearch, StringFromCLSID, PropVariantClear, task memory)
// by their Win32 names. Only the calls that create platform objects (and hand an async result to its
// callback) differ between backends; they are declared here, with the SDK's signatures, and
// implemented once per backend.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <d3d11.h>
#include <mfapi.h>
#include <mfcaptureengine.h>
#include <mferror.h>
#include <mfidl.h>
#include <oleauto.h>
#include <shlwapi.h>
#include <uuids.h>
#include <wincodec.h>
// A capture device's picture and camera controls (IAMVideoProcAmp, IAMCameraControl).
#include <strmif.h>
#include <vfwmsgs.h>
#else
#include "portable/mf.h"
#include "portable/strmif.h"
#endif

#include <memory>

namespace lumicap::platform {

HRESULT MFCreateAttributes(IMFAttributes** attributes, UINT32 initialSize);
HRESULT MFCreateMediaType(IMFMediaType** mediaType);
HRESULT MFEnumDeviceSources(IMFAttributes* attributes, IMFActivate*** sourceActivate, UINT32* count);
HRESULT D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                          const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                          ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context);
HRESULT MFCreateDXGIDeviceManager(UINT* resetToken, IMFDXGIDeviceManager** deviceManager);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD classContext, REFIID iid, void** object);
HRESULT MFCreateAsyncResult(IUnknown* object, IMFAsyncCallback* callback, IUnknown* state, IMFAsyncResult** result);
HRESULT MFInvokeCallback(IMFAsyncResult* result);
// Whether the platform's media libraries are there at all (Windows N and KN come without them).
bool MediaFoundationPresent();

// ---- Video capture devices arriving and leaving ---------------------------------------------------
// Told that a video capture device arrived (true) or left (false): on any thread, once per device
// node or interface, so one camera may tell several times; nothing else is told.
class DeviceChangeListener {
public:
    virtual void OnVideoDeviceChange(bool arrived) noexcept = 0;

protected:
    ~DeviceChangeListener() = default;
};

// Watches from its creation until it is destroyed; the listener outlives it.
class DeviceWatcher {
public:
    virtual ~DeviceWatcher() = default;
};

// Starts watching for the listener, on the calling thread (the host's, which runs a message loop).
// Null when the platform cannot watch.
std::unique_ptr<DeviceWatcher> WatchVideoDevices(DeviceChangeListener* listener) noexcept;

HRESULT MFCreateSample(IMFSample** sample);
HRESULT MFCreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer);

}  // namespace lumicap::platform
