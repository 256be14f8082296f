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
#else
#include "portable/mf.h"
#endif

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
HRESULT MFCreateSample(IMFSample** sample);
HRESULT MFCreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer);

}  // namespace lumicap::platform
