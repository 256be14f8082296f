// CoCreateInstance: the only class registered on the virtual platform is the capture engine's factory.
#include "platform/capture_engine/engine_factory.h"
#include "platform/control/faults.h"

namespace lumicap::platform {

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD classContext, REFIID iid, void** object)
{
    if (object) *object = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kCoCreateInstance);
    if (FAILED(hr)) return hr;
    if (!object) return E_POINTER;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (clsid != CLSID_MFCaptureEngineClassFactory || (classContext & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    return virt::CreateCaptureEngineFactory(iid, object);
}

}  // namespace lumicap::platform
