// Media samples: MFCreateSample. A sample is an attribute store with a time, a duration, flags and
// an ordered list of buffers.
#include "attribute_store.h"

#include "platform/no_throw.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace lumicap::virt {
namespace {

class Sample final : public AttributeStore<Sample, IMFSample> {
public:
    HRESULT STDMETHODCALLTYPE GetSampleFlags(DWORD* flags) override
    {
        return Checked("GetSampleFlags", [&] { return Read(flags, flags_); });
    }
    HRESULT STDMETHODCALLTYPE SetSampleFlags(DWORD flags) override
    {
        return Checked("SetSampleFlags", [&] { return Write(flags_, flags); });
    }
    HRESULT STDMETHODCALLTYPE GetSampleTime(LONGLONG* time) override
    {
        return Checked("GetSampleTime", [&] { return hasTime_ ? Read(time, time_) : MF_E_NO_SAMPLE_TIMESTAMP; });
    }
    HRESULT STDMETHODCALLTYPE SetSampleTime(LONGLONG time) override
    {
        return Checked("SetSampleTime", [&] {
            hasTime_ = true;
            return Write(time_, time);
        });
    }
    HRESULT STDMETHODCALLTYPE GetSampleDuration(LONGLONG* duration) override
    {
        return Checked("GetSampleDuration",
                       [&] { return hasDuration_ ? Read(duration, duration_) : MF_E_NO_SAMPLE_DURATION; });
    }
    HRESULT STDMETHODCALLTYPE SetSampleDuration(LONGLONG duration) override
    {
        return Checked("SetSampleDuration", [&] {
            hasDuration_ = true;
            return Write(duration_, duration);
        });
    }
    HRESULT STDMETHODCALLTYPE GetBufferCount(DWORD* count) override
    {
        return Checked("GetBufferCount", [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return Read(count, static_cast<DWORD>(buffers_.size()));
        });
    }
    HRESULT STDMETHODCALLTYPE GetBufferByIndex(DWORD index, IMFMediaBuffer** buffer) override
    {
        return Checked("GetBufferByIndex", [&] {
            if (!buffer) return E_POINTER;
            std::lock_guard<std::mutex> lock(mutex_);
            if (index >= buffers_.size()) return E_INVALIDARG;
            *buffer = ComPtr<IMFMediaBuffer>(buffers_[index]).Detach();
            return S_OK;
        });
    }
    // One buffer is handed out as it is; several are copied into a new one, which replaces them.
    HRESULT STDMETHODCALLTYPE ConvertToContiguousBuffer(IMFMediaBuffer** buffer) override
    {
        return Checked("ConvertToContiguousBuffer", [&] { return Contiguous(buffer); });
    }
    HRESULT STDMETHODCALLTYPE AddBuffer(IMFMediaBuffer* buffer) override
    {
        return Checked("AddBuffer", [&] {
            if (!buffer) return E_POINTER;
            std::lock_guard<std::mutex> lock(mutex_);
            return NoThrow([&] { buffers_.push_back(ComPtr<IMFMediaBuffer>::Share(buffer)); });
        });
    }
    HRESULT STDMETHODCALLTYPE RemoveBufferByIndex(DWORD index) override
    {
        return Checked("RemoveBufferByIndex", [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            if (index >= buffers_.size()) return E_INVALIDARG;
            buffers_.erase(buffers_.begin() + index);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE RemoveAllBuffers() override
    {
        return Checked("RemoveAllBuffers", [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            buffers_.clear();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetTotalLength(DWORD* total) override
    {
        return Checked("GetTotalLength", [&] {
            if (!total) return E_POINTER;
            std::lock_guard<std::mutex> lock(mutex_);
            return TotalLength(total);
        });
    }
    HRESULT STDMETHODCALLTYPE CopyToBuffer(IMFMediaBuffer* buffer) override
    {
        return Checked("CopyToBuffer", [&] {
            if (!buffer) return E_POINTER;
            std::lock_guard<std::mutex> lock(mutex_);
            return CopyInto(buffer);
        });
    }

private:
    template <typename T>
    static HRESULT Read(T* out, T value)
    {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    template <typename T>
    static HRESULT Write(T& field, T value)
    {
        field = value;
        return S_OK;
    }

    // Under mutex_.
    HRESULT TotalLength(DWORD* total) const
    {
        DWORD sum = 0;
        for (const ComPtr<IMFMediaBuffer>& buffer : buffers_) {
            DWORD length = 0;
            const HRESULT hr = buffer->GetCurrentLength(&length);
            if (FAILED(hr)) return hr;
            sum += length;
        }
        *total = sum;
        return S_OK;
    }

    // Under mutex_: every buffer's bytes, in order, into the destination.
    HRESULT CopyInto(IMFMediaBuffer* destination) const
    {
        DWORD total = 0;
        HRESULT hr = TotalLength(&total);
        BYTE* to = nullptr;
        DWORD room = 0;
        if (SUCCEEDED(hr)) hr = destination->Lock(&to, &room, nullptr);
        if (FAILED(hr)) return hr;
        if (room < total) hr = MF_E_BUFFERTOOSMALL;
        DWORD offset = 0;
        for (size_t i = 0; SUCCEEDED(hr) && i < buffers_.size(); ++i) {
            BYTE* from = nullptr;
            DWORD length = 0;
            hr = buffers_[i]->Lock(&from, nullptr, &length);
            if (FAILED(hr)) break;
            std::memcpy(to + offset, from, length);
            offset += length;
            buffers_[i]->Unlock();
        }
        destination->Unlock();
        return SUCCEEDED(hr) ? destination->SetCurrentLength(total) : hr;
    }

    HRESULT Contiguous(IMFMediaBuffer** buffer)
    {
        if (!buffer) return E_POINTER;
        *buffer = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (buffers_.empty()) return E_UNEXPECTED;
        if (buffers_.size() == 1) {
            *buffer = ComPtr<IMFMediaBuffer>(buffers_[0]).Detach();
            return S_OK;
        }
        DWORD total = 0;
        HRESULT hr = TotalLength(&total);
        ComPtr<IMFMediaBuffer> joined;
        if (SUCCEEDED(hr)) hr = platform::MFCreateMemoryBuffer(total, joined.Put());
        if (SUCCEEDED(hr)) hr = CopyInto(joined.Get());
        if (SUCCEEDED(hr)) hr = NoThrow([&] { buffers_.assign(1, joined); });
        if (SUCCEEDED(hr)) *buffer = joined.Detach();
        return hr;
    }

    std::mutex mutex_;
    std::vector<ComPtr<IMFMediaBuffer>> buffers_;
    DWORD flags_ = 0;
    bool hasTime_ = false;
    LONGLONG time_ = 0;
    bool hasDuration_ = false;
    LONGLONG duration_ = 0;
};

}  // namespace
}  // namespace lumicap::virt

namespace lumicap::platform {

HRESULT MFCreateSample(IMFSample** sample)
{
    if (sample) *sample = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kMFCreateSample);
    if (FAILED(hr)) return hr;
    if (!sample) return E_POINTER;
    *sample = new (std::nothrow) virt::Sample();
    return *sample ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lumicap::platform
