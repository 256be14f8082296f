// The real Windows capture platform: each creation call of the seam goes straight to the system's
// own function, so the logic runs unchanged on Media Foundation and Direct3D.
#include "platform/platform.h"

namespace lumicap::platform {

HRESULT MFCreateAttributes(IMFAttributes** attributes, UINT32 initialSize)
{
    return ::MFCreateAttributes(attributes, initialSize);
}

HRESULT MFCreateMediaType(IMFMediaType** mediaType)
{
    return ::MFCreateMediaType(mediaType);
}

HRESULT MFEnumDeviceSources(IMFAttributes* attributes, IMFActivate*** sourceActivate, UINT32* count)
{
    return ::MFEnumDeviceSources(attributes, sourceActivate, count);
}

HRESULT D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                          const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                          ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context)
{
    return ::D3D11CreateDevice(adapter, driverType, software, flags, featureLevels, featureLevelCount, sdkVersion,
                               device, featureLevel, context);
}

HRESULT MFCreateDXGIDeviceManager(UINT* resetToken, IMFDXGIDeviceManager** deviceManager)
{
    return ::MFCreateDXGIDeviceManager(resetToken, deviceManager);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD classContext, REFIID iid, void** object)
{
    return ::CoCreateInstance(clsid, outer, classContext, iid, object);
}

HRESULT MFCreateAsyncResult(IUnknown* object, IMFAsyncCallback* callback, IUnknown* state, IMFAsyncResult** result)
{
    return ::MFCreateAsyncResult(object, callback, state, result);
}

HRESULT MFInvokeCallback(IMFAsyncResult* result)
{
    return ::MFInvokeCallback(result);
}

HRESULT MFCreateSample(IMFSample** sample)
{
    return ::MFCreateSample(sample);
}

HRESULT MFCreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer)
{
    return ::MFCreateMemoryBuffer(maxLength, buffer);
}

}  // namespace lumicap::platform
