// The real Windows capture platform: each creation call of the seam goes straight to the system's
// own function, so the logic runs unchanged on Media Foundation and Direct3D.
//
// Media Foundation and Direct3D 11 are loaded on first use, from System32 only, rather than imported:
// Windows N and KN (without the Media Feature Pack) and servers without the Media Foundation feature
// have no mf.dll or mfplat.dll, and a DLL that imports them would not load at all there.
#include "platform/platform.h"

namespace lumicap::platform {
namespace {

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

template <typename Function>
Function* Find(HMODULE library, const char* name)
{
    return library ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

struct SystemFunctions {
    decltype(::MFCreateAttributes)* createAttributes = nullptr;
    decltype(::MFCreateMediaType)* createMediaType = nullptr;
    decltype(::MFCreateDXGIDeviceManager)* createDeviceManager = nullptr;
    decltype(::MFCreateAsyncResult)* createAsyncResult = nullptr;
    decltype(::MFInvokeCallback)* invokeCallback = nullptr;
    decltype(::MFCreateSample)* createSample = nullptr;
    decltype(::MFCreateMemoryBuffer)* createMemoryBuffer = nullptr;
    decltype(::MFEnumDeviceSources)* enumDeviceSources = nullptr;
    decltype(::D3D11CreateDevice)* createDevice = nullptr;
};

SystemFunctions LoadSystemFunctions()
{
    // Loaded for the process's lifetime: engine threads call into them until it ends.
    const HMODULE mfplat = LoadSystemLibrary(L"mfplat.dll");
    const HMODULE mf = LoadSystemLibrary(L"mf.dll");
    const HMODULE d3d11 = LoadSystemLibrary(L"d3d11.dll");
    SystemFunctions functions;
    functions.createAttributes = Find<decltype(::MFCreateAttributes)>(mfplat, "MFCreateAttributes");
    functions.createMediaType = Find<decltype(::MFCreateMediaType)>(mfplat, "MFCreateMediaType");
    functions.createDeviceManager = Find<decltype(::MFCreateDXGIDeviceManager)>(mfplat, "MFCreateDXGIDeviceManager");
    functions.createAsyncResult = Find<decltype(::MFCreateAsyncResult)>(mfplat, "MFCreateAsyncResult");
    functions.invokeCallback = Find<decltype(::MFInvokeCallback)>(mfplat, "MFInvokeCallback");
    functions.createSample = Find<decltype(::MFCreateSample)>(mfplat, "MFCreateSample");
    functions.createMemoryBuffer = Find<decltype(::MFCreateMemoryBuffer)>(mfplat, "MFCreateMemoryBuffer");
    functions.enumDeviceSources = Find<decltype(::MFEnumDeviceSources)>(mf, "MFEnumDeviceSources");
    functions.createDevice = Find<decltype(::D3D11CreateDevice)>(d3d11, "D3D11CreateDevice");
    return functions;
}

const SystemFunctions& System()
{
    static const SystemFunctions functions = LoadSystemFunctions();
    return functions;
}

const HRESULT kMissing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

}  // namespace

bool MediaFoundationPresent()
{
    return System().createAttributes && System().enumDeviceSources;
}

HRESULT MFCreateAttributes(IMFAttributes** attributes, UINT32 initialSize)
{
    const auto create = System().createAttributes;
    return create ? create(attributes, initialSize) : kMissing;
}

HRESULT MFCreateMediaType(IMFMediaType** mediaType)
{
    const auto create = System().createMediaType;
    return create ? create(mediaType) : kMissing;
}

HRESULT MFEnumDeviceSources(IMFAttributes* attributes, IMFActivate*** sourceActivate, UINT32* count)
{
    const auto enumerate = System().enumDeviceSources;
    return enumerate ? enumerate(attributes, sourceActivate, count) : kMissing;
}

HRESULT D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                          const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                          ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context)
{
    const auto create = System().createDevice;
    return create ? create(adapter, driverType, software, flags, featureLevels, featureLevelCount, sdkVersion, device,
                           featureLevel, context)
                  : kMissing;
}

HRESULT MFCreateDXGIDeviceManager(UINT* resetToken, IMFDXGIDeviceManager** deviceManager)
{
    const auto create = System().createDeviceManager;
    return create ? create(resetToken, deviceManager) : kMissing;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD classContext, REFIID iid, void** object)
{
    return ::CoCreateInstance(clsid, outer, classContext, iid, object);
}

HRESULT MFCreateAsyncResult(IUnknown* object, IMFAsyncCallback* callback, IUnknown* state, IMFAsyncResult** result)
{
    const auto create = System().createAsyncResult;
    return create ? create(object, callback, state, result) : kMissing;
}

HRESULT MFInvokeCallback(IMFAsyncResult* result)
{
    const auto invoke = System().invokeCallback;
    return invoke ? invoke(result) : kMissing;
}

HRESULT MFCreateSample(IMFSample** sample)
{
    const auto create = System().createSample;
    return create ? create(sample) : kMissing;
}

HRESULT MFCreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer)
{
    const auto create = System().createMemoryBuffer;
    return create ? create(maxLength, buffer) : kMissing;
}

}  // namespace lumicap::platform
