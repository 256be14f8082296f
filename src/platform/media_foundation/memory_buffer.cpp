// Media buffers in system memory: MFCreateMemoryBuffer.
#include "platform/com_ptr.h"
#include "platform/control/faults.h"
#include "virtual_com_object.h"

#include <memory>
#include <new>
#include <mutex>

namespace lumicap::virt {
namespace {

class MemoryBuffer final : public VirtualComObject<MemoryBuffer, IMFMediaBuffer> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(MemoryBuffer, IMFMediaBuffer), {nullptr, 0}};
        return table;
    }

    explicit MemoryBuffer(DWORD maxLength) : maxLength_(maxLength) {}

    // Left uninitialised, as the system's: a frame buffer is written whole before it is read.
    HRESULT Allocate()
    {
        bytes_.reset(new (std::nothrow) BYTE[maxLength_ ? maxLength_ : 1]);
        return bytes_ ? S_OK : E_OUTOFMEMORY;
    }

    // As the system's: Lock may be nested; the bytes stay where they are either way.
    HRESULT STDMETHODCALLTYPE Lock(BYTE** buffer, DWORD* maxLength, DWORD* currentLength) override
    {
        if (!buffer) return E_POINTER;
        std::lock_guard<std::mutex> lock(mutex_);
        ++locks_;
        *buffer = bytes_.get();
        if (maxLength) *maxLength = maxLength_;
        if (currentLength) *currentLength = currentLength_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Unlock() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (locks_ == 0) return MF_E_INVALIDREQUEST;
        --locks_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetCurrentLength(DWORD* currentLength) override
    {
        if (!currentLength) return E_POINTER;
        std::lock_guard<std::mutex> lock(mutex_);
        *currentLength = currentLength_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCurrentLength(DWORD currentLength) override
    {
        if (currentLength > maxLength_) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        currentLength_ = currentLength;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* maxLength) override
    {
        if (!maxLength) return E_POINTER;
        *maxLength = maxLength_;
        return S_OK;
    }

private:
    ~MemoryBuffer() override = default;

    const DWORD maxLength_;
    std::unique_ptr<BYTE[]> bytes_;
    std::mutex mutex_;
    DWORD currentLength_ = 0;
    unsigned locks_ = 0;
};

}  // namespace
}  // namespace lumicap::virt

namespace lumicap::platform {

using lumicap::ComPtr;

HRESULT MFCreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer)
{
    if (buffer) *buffer = nullptr;
    HRESULT hr = virt::CheckFault(virt::operation::kMFCreateMemoryBuffer);
    if (FAILED(hr)) return hr;
    if (!buffer) return E_POINTER;
    auto created = ComPtr<virt::MemoryBuffer>::Attach(new (std::nothrow) virt::MemoryBuffer(maxLength));
    if (!created) return E_OUTOFMEMORY;
    hr = created->Allocate();
    if (SUCCEEDED(hr)) *buffer = created.Detach();
    return hr;
}

}  // namespace lumicap::platform
