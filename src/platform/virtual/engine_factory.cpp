#include "engine.h"

#include <new>

namespace lumicap::virt {
namespace {

// IMFCaptureEngineClassFactory: the one way to make a capture engine.
class CaptureEngineFactory final : public IMFCaptureEngineClassFactory {
public:
    static CaptureEngineFactory* Create() { return new (std::nothrow) CaptureEngineFactory(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMFCaptureEngineClassFactory) return E_NOINTERFACE;
        *object = static_cast<IMFCaptureEngineClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG remaining = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) delete this;
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID clsid, REFIID iid, LPVOID* object) override
    {
        const HRESULT hr = CheckFault(operation::kCreateEngine);
        if (FAILED(hr)) return hr;
        if (!object) return E_POINTER;
        *object = nullptr;
        if (clsid != CLSID_MFCaptureEngineClassFactory) return E_INVALIDARG;
        if (iid != IID_IMFCaptureEngine && iid != IID_IUnknown) return E_NOINTERFACE;
        return CaptureEngine::Create(iid, object);
    }

private:
    CaptureEngineFactory() = default;
    ~CaptureEngineFactory() = default;

    LiveObject live_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

HRESULT CreateCaptureEngineFactory(REFIID iid, void** factory)
{
    if (!factory) return E_POINTER;
    *factory = nullptr;
    ComPtr<CaptureEngineFactory> created = ComPtr<CaptureEngineFactory>::Attach(CaptureEngineFactory::Create());
    if (!created) return E_OUTOFMEMORY;
    return created->QueryInterface(iid, factory);
}

}  // namespace lumicap::virt
