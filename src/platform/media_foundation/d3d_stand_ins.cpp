// Stand-ins for the Direct3D 11 device and the DXGI device manager the capture engine is given.
//
// On Windows the SDK's ID3D11Device has some forty methods beyond IUnknown; the stand-in device
// implements only IUnknown and is handed out as ID3D11Device* at the seam. The library's logic only
// calls QueryInterface and Release on it, and the virtual engine never touches it.
#include "platform/com_ptr.h"
#include "platform/control/faults.h"
#include "platform/media_foundation/virtual_com_object.h"

#ifdef _WIN32
#include <d3d10.h>
#endif

#include <mutex>
#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

namespace lumicap::virt {
namespace {

// {2F8B5C7E-91D4-4A36-8E2B-D7C05A1F3B69}: answered only by the stand-in device.
constexpr GUID IID_IVirtualD3DDevice = {0x2f8b5c7e, 0x91d4, 0x4a36, {0x8e, 0x2b, 0xd7, 0xc0, 0x5a, 0x1f, 0x3b, 0x69}};

constexpr D3D_FEATURE_LEVEL kDefaultFeatureLevel = D3D_FEATURE_LEVEL_11_0;

class D3DDevice final : public VirtualComObject<D3DDevice, IUnknown> {
public:
    D3DDevice() : multithread_(*this) {}

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            {&IID_ID3D11Device, OFFSETOFCLASS(IUnknown, D3DDevice)},
            {&IID_IVirtualD3DDevice, OFFSETOFCLASS(IUnknown, D3DDevice)},
            {nullptr, 0},
        };
        return table;
    }

    // ID3D10Multithread is a member sharing the device's count, so it is answered here, as an
    // operation a fault can be injected into.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object || iid != IID_ID3D10Multithread) return VirtualComObject::QueryInterface(iid, object);
        *object = nullptr;
        const HRESULT hr = CheckFault(operation::kQueryMultithread);
        if (FAILED(hr)) return hr;
        *object = static_cast<ID3D10Multithread*>(&multithread_);
        AddRef();
        return S_OK;
    }

private:
    // The device's ID3D10Multithread face: its references are the device's.
    class Multithread final : public ID3D10Multithread {
    public:
        explicit Multithread(D3DDevice& device) : device_(device) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
        {
            return device_.QueryInterface(iid, object);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return device_.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return device_.Release(); }

        void STDMETHODCALLTYPE Enter() override { mutex_.lock(); }
        void STDMETHODCALLTYPE Leave() override { mutex_.unlock(); }
        BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL protect) override
        {
            return protected_.exchange(protect != FALSE) ? TRUE : FALSE;
        }
        BOOL STDMETHODCALLTYPE GetMultithreadProtected() override { return protected_.load() ? TRUE : FALSE; }

    private:
        D3DDevice& device_;
        std::recursive_mutex mutex_;
        std::atomic<bool> protected_{false};
    };

    Multithread multithread_;
};

class D3DDeviceContext final : public VirtualComObject<D3DDeviceContext, IUnknown> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {{&IID_ID3D11DeviceContext, OFFSETOFCLASS(IUnknown, D3DDeviceContext)}, {nullptr, 0}};
        return table;
    }
};

bool IsVirtualDevice(IUnknown* device)
{
    IUnknown* ours = nullptr;
    if (FAILED(device->QueryInterface(IID_IVirtualD3DDevice, reinterpret_cast<void**>(&ours)))) return false;
    ours->Release();
    return true;
}

// Nonzero and different per manager, so a caller cannot get away with a made-up token.
UINT MakeResetToken(const void* manager)
{
    static std::atomic<UINT> serial{0};
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(manager));
    const UINT mixed = static_cast<UINT>((++serial * 2654435761u) ^ (address >> 4) ^ 0x5bd1e995u);
    return mixed != 0 ? mixed : 1;
}

class DxgiDeviceManager final : public VirtualComObject<DxgiDeviceManager, IMFDXGIDeviceManager> {
public:
    DxgiDeviceManager() : token_(MakeResetToken(this)) {}

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(DxgiDeviceManager, IMFDXGIDeviceManager), {nullptr, 0}};
        return table;
    }

    UINT Token() const { return token_; }

    HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* device, UINT resetToken) override
    {
        const HRESULT hr = CheckFault(operation::kResetDevice);
        if (FAILED(hr)) return hr;
        if (!device) return E_POINTER;
        if (resetToken != token_ || !IsVirtualDevice(device)) return E_INVALIDARG;
        auto replacement = ComPtr<IUnknown>::Share(device);
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(device_, replacement);
        return S_OK;
    }

    // Handles and locking are the engine's business on a real system; nothing here uses them.
    HRESULT STDMETHODCALLTYPE CloseDeviceHandle(HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVideoService(HANDLE, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockDevice(HANDLE, REFIID, void**, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenDeviceHandle(HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TestDevice(HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockDevice(HANDLE, BOOL) override { return E_NOTIMPL; }

private:
    const UINT token_;
    std::mutex mutex_;
    ComPtr<IUnknown> device_;
};

bool IsFeatureLevel(D3D_FEATURE_LEVEL level)
{
    switch (level) {
    case D3D_FEATURE_LEVEL_9_1:
    case D3D_FEATURE_LEVEL_9_2:
    case D3D_FEATURE_LEVEL_9_3:
    case D3D_FEATURE_LEVEL_10_0:
    case D3D_FEATURE_LEVEL_10_1:
    case D3D_FEATURE_LEVEL_11_0:
    case D3D_FEATURE_LEVEL_11_1:
        return true;
    default:
        return false;
    }
}

// A list is absent (the default levels) or names known levels only.
HRESULT ChooseFeatureLevel(const D3D_FEATURE_LEVEL* levels, UINT count, D3D_FEATURE_LEVEL* chosen)
{
    if (count == 0) {
        if (levels) return E_INVALIDARG;
        *chosen = kDefaultFeatureLevel;
        return S_OK;
    }
    if (!levels) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
        if (!IsFeatureLevel(levels[i])) return E_INVALIDARG;
    }
    *chosen = levels[0];
    return S_OK;
}

// The capture engine needs a hardware device that does video: nothing else is created.
HRESULT CheckDeviceArguments(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, UINT flags, UINT sdkVersion,
                             ID3D11Device** device)
{
    if (!device || adapter || driverType != D3D_DRIVER_TYPE_HARDWARE) return E_INVALIDARG;
    if ((flags & D3D11_CREATE_DEVICE_VIDEO_SUPPORT) == 0) return E_INVALIDARG;
    return sdkVersion == D3D11_SDK_VERSION ? S_OK : E_INVALIDARG;
}

}  // namespace
}  // namespace lumicap::virt

namespace lumicap::platform {

HRESULT D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE /*software*/, UINT flags,
                          const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                          ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context)
{
    if (device) *device = nullptr;
    if (context) *context = nullptr;
    HRESULT hr = virt::CheckFault(virt::operation::kD3D11CreateDevice);
    if (SUCCEEDED(hr)) hr = virt::CheckDeviceArguments(adapter, driverType, flags, sdkVersion, device);
    D3D_FEATURE_LEVEL chosen = virt::kDefaultFeatureLevel;
    if (SUCCEEDED(hr)) hr = virt::ChooseFeatureLevel(featureLevels, featureLevelCount, &chosen);
    if (FAILED(hr)) return hr;
    auto created = ComPtr<virt::D3DDevice>::Attach(new (std::nothrow) virt::D3DDevice());
    ComPtr<virt::D3DDeviceContext> immediate;
    if (context) immediate = ComPtr<virt::D3DDeviceContext>::Attach(new (std::nothrow) virt::D3DDeviceContext());
    if (!created || (context && !immediate)) return E_OUTOFMEMORY;
    // Only IUnknown is implemented; see the note at the top of this file.
    *device = reinterpret_cast<ID3D11Device*>(static_cast<IUnknown*>(created.Detach()));
    if (context) *context = reinterpret_cast<ID3D11DeviceContext*>(static_cast<IUnknown*>(immediate.Detach()));
    if (featureLevel) *featureLevel = chosen;
    return S_OK;
}

HRESULT MFCreateDXGIDeviceManager(UINT* resetToken, IMFDXGIDeviceManager** deviceManager)
{
    if (deviceManager) *deviceManager = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kMFCreateDXGIDeviceManager);
    if (FAILED(hr)) return hr;
    if (!resetToken || !deviceManager) return E_POINTER;
    auto* manager = new (std::nothrow) virt::DxgiDeviceManager();
    if (!manager) return E_OUTOFMEMORY;
    *resetToken = manager->Token();
    *deviceManager = manager;
    return S_OK;
}

}  // namespace lumicap::platform
