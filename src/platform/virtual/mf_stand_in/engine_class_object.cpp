// The COM server side of the stand-in: the class object of CLSID_MFCaptureEngineClassFactory, which
// the system's CoCreateInstance asks for once the class is registered with this DLL as its server.
#include "platform/guarded_call.h"

namespace {

// Lives as long as the DLL, so its reference count has nothing to free.
class EngineClassObject final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // Hands out what the virtual platform's CoCreateInstance does, with its faults and checks.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        return lumicap::Guarded([&] {
            return lumicap::platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, outer,
                                                       CLSCTX_INPROC_SERVER, iid, object);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

EngineClassObject engineClassObject;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_MFCaptureEngineClassFactory) return CLASS_E_CLASSNOTAVAILABLE;
    return engineClassObject.QueryInterface(iid, object);
}

// Never: lumicap.dll imports this DLL, and the cameras, faults and engines set up through the control
// functions live in it.
STDAPI DllCanUnloadNow() { return S_FALSE; }
