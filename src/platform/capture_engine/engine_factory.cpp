#include "engine.h"
#include "platform/media_foundation/virtual_com_object.h"

#include <new>

namespace lumicap::virt {
namespace {

// IMFCaptureEngineClassFactory: the one way to make a capture engine.
class CaptureEngineFactory final : public VirtualComObject<CaptureEngineFactory, IMFCaptureEngineClassFactory> {
public:
    static CaptureEngineFactory* Create() { return new (std::nothrow) CaptureEngineFactory(); }

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(CaptureEngineFactory, IMFCaptureEngineClassFactory), {nullptr, 0}};
        return table;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID clsid, REFIID iid, LPVOID* object) override
    {
        const HRESULT hr = CheckFault(operation::kCreateEngine);
        if (FAILED(hr)) return hr;
        if (!object) return E_POINTER;
        *object = nullptr;
        if (clsid != CLSID_MFCaptureEngine) return CLASS_E_CLASSNOTAVAILABLE;
        if (iid != IID_IMFCaptureEngine && iid != IID_IUnknown) return E_NOINTERFACE;
        return CaptureEngine::Create(iid, object);
    }

private:
    CaptureEngineFactory() = default;
    ~CaptureEngineFactory() override = default;
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
