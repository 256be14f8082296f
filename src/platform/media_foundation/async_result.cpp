// MFCreateAsyncResult and MFInvokeCallback: the async result a stream hands to its caller's callback.
// The system queues the callback to a work queue thread; here it is invoked at once, on the calling
// thread, which every caller that waits for its callback also serves.
#include "virtual_com_object.h"
#include "platform/com_ptr.h"
#include "platform/control/faults.h"

#include <atomic>
#include <new>

namespace lumicap::virt {
namespace {

// {9C3E71B2-5A0F-4D86-B1E4-27F8C06D3A55}: answered only by the platform's own async results.
constexpr GUID IID_IVirtualAsyncResult = {0x9c3e71b2, 0x5a0f, 0x4d86, {0xb1, 0xe4, 0x27, 0xf8, 0xc0, 0x6d, 0x3a, 0x55}};

class AsyncResult final : public VirtualComObject<AsyncResult, IMFAsyncResult> {
public:
    AsyncResult(IUnknown* object, IMFAsyncCallback* callback, IUnknown* state)
        : object_(ComPtr<IUnknown>::Share(object)),
          callback_(ComPtr<IMFAsyncCallback>::Share(callback)),
          state_(ComPtr<IUnknown>::Share(state))
    {
    }

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            QITABENT(AsyncResult, IMFAsyncResult),
            {&IID_IVirtualAsyncResult, OFFSETOFCLASS(IMFAsyncResult, AsyncResult)},
            {nullptr, 0},
        };
        return table;
    }

    // As the system's: E_POINTER when there is no state or object to hand out.
    HRESULT STDMETHODCALLTYPE GetState(IUnknown** state) override { return HandOut(state_, state); }
    HRESULT STDMETHODCALLTYPE GetStatus() override { return status_.load(); }
    HRESULT STDMETHODCALLTYPE SetStatus(HRESULT status) override
    {
        status_ = status;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetObject(IUnknown** object) override { return HandOut(object_, object); }
    IUnknown* STDMETHODCALLTYPE GetStateNoAddRef() override { return state_.Get(); }

    IMFAsyncCallback* Callback() const { return callback_.Get(); }

private:
    ~AsyncResult() override = default;

    static HRESULT HandOut(const ComPtr<IUnknown>& held, IUnknown** out)
    {
        if (!out) return E_POINTER;
        *out = held.Get();
        if (!held) return E_POINTER;
        held->AddRef();
        return S_OK;
    }

    std::atomic<HRESULT> status_{S_OK};
    const ComPtr<IUnknown> object_;
    const ComPtr<IMFAsyncCallback> callback_;
    const ComPtr<IUnknown> state_;
};

}  // namespace
}  // namespace lumicap::virt

namespace lumicap::platform {

HRESULT MFCreateAsyncResult(IUnknown* object, IMFAsyncCallback* callback, IUnknown* state, IMFAsyncResult** result)
{
    if (result) *result = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kMFCreateAsyncResult);
    if (FAILED(hr)) return hr;
    if (!result) return E_POINTER;
    *result = new (std::nothrow) virt::AsyncResult(object, callback, state);
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT MFInvokeCallback(IMFAsyncResult* result)
{
    const HRESULT hr = virt::CheckFault(virt::operation::kMFInvokeCallback);
    if (FAILED(hr)) return hr;
    if (!result) return E_POINTER;
    ComPtr<virt::AsyncResult> ours;
    if (FAILED(result->QueryInterface(virt::IID_IVirtualAsyncResult, ours.PutVoid()))) return E_INVALIDARG;
    if (!ours->Callback()) return E_INVALIDARG;
    // The callback's own answer is its business, as on the system's work queue.
    ours->Callback()->Invoke(result);
    return S_OK;
}

}  // namespace lumicap::platform
