#include "photo_write_stream.h"

#include "platform/media_foundation/virtual_com_object.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

namespace lumicap::virt {
namespace {

// A JPEG's start and JFIF header: what an encoder would fill in last.
constexpr size_t kPlaceholderBytes = 20;
constexpr auto kCompletionTimeout = std::chrono::seconds(10);

// Waits for the async result of one BeginWrite, from whatever thread the stream completes on.
class WriteCompletion final : public VirtualComObject<WriteCompletion, IMFAsyncCallback> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(WriteCompletion, IMFAsyncCallback), {nullptr, 0}};
        return table;
    }

    HRESULT STDMETHODCALLTYPE GetParameters(DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult* result) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = ComPtr<IMFAsyncResult>::Share(result);
        done_.notify_all();
        return S_OK;
    }

    // The result of the call begun last, or null when none came in time.
    ComPtr<IMFAsyncResult> Wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait_for(lock, kCompletionTimeout, [&] { return static_cast<bool>(result_); });
        return std::move(result_);
    }

private:
    ~WriteCompletion() override = default;

    std::mutex mutex_;
    std::condition_variable done_;
    ComPtr<IMFAsyncResult> result_;
};

class PhotoWriteStream final : public VirtualComObject<PhotoWriteStream, IMFByteStream> {
public:
    PhotoWriteStream(IMFByteStream* output, PhotoWriteMode mode)
        : output_(ComPtr<IMFByteStream>::Share(output)), mode_(mode)
    {
    }

    static const GUID kIid;

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            QITABENT(PhotoWriteStream, IMFByteStream),
            {&kIid, OFFSETOFCLASS(IMFByteStream, PhotoWriteStream)},
            {nullptr, 0},
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override
    {
        return output_->GetCapabilities(capabilities);
    }
    HRESULT STDMETHODCALLTYPE GetLength(QWORD* length) override { return output_->GetLength(length); }
    HRESULT STDMETHODCALLTYPE SetLength(QWORD length) override { return output_->SetLength(length); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(QWORD* position) override
    {
        return output_->GetCurrentPosition(position);
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(QWORD position) override
    {
        return output_->SetCurrentPosition(position);
    }
    HRESULT STDMETHODCALLTYPE IsEndOfStream(BOOL* end) override { return output_->IsEndOfStream(end); }
    HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, ULONG count, ULONG* read) override
    {
        return output_->Read(buffer, count, read);
    }
    HRESULT STDMETHODCALLTYPE BeginRead(BYTE* buffer, ULONG count, IMFAsyncCallback* callback,
                                        IUnknown* state) override
    {
        return output_->BeginRead(buffer, count, callback, state);
    }
    HRESULT STDMETHODCALLTYPE EndRead(IMFAsyncResult* result, ULONG* read) override
    {
        return output_->EndRead(result, read);
    }
    HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE* data, ULONG count, IMFAsyncCallback* callback,
                                         IUnknown* state) override
    {
        return output_->BeginWrite(data, count, callback, state);
    }
    HRESULT STDMETHODCALLTYPE EndWrite(IMFAsyncResult* result, ULONG* written) override
    {
        return output_->EndWrite(result, written);
    }
    HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN origin, LONGLONG offset, DWORD flags,
                                   QWORD* position) override
    {
        return output_->Seek(origin, offset, flags, position);
    }
    HRESULT STDMETHODCALLTYPE Flush() override { return output_->Flush(); }
    HRESULT STDMETHODCALLTYPE Close() override { return output_->Close(); }

    HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count, ULONG* written) override
    {
        switch (mode_) {
        case PhotoWriteMode::kAsync:
            return WriteAsync(data, count, written);
        case PhotoWriteMode::kPatched:
            return WriteHoldingBackTheStart(data, count, written);
        case PhotoWriteMode::kSequential:
            break;
        }
        return output_->Write(data, count, written);
    }

    // Patches the held-back start in place, then goes back to the end.
    HRESULT Finish()
    {
        if (mode_ != PhotoWriteMode::kPatched || held_.empty()) return S_OK;
        QWORD end = 0;
        HRESULT hr = output_->GetCurrentPosition(&end);
        QWORD start = 0;
        if (SUCCEEDED(hr)) hr = output_->Seek(msoBegin, 0, 0, &start);
        ULONG written = 0;
        if (SUCCEEDED(hr)) hr = output_->Write(held_.data(), static_cast<ULONG>(held_.size()), &written);
        if (SUCCEEDED(hr) && written != held_.size()) hr = E_FAIL;
        if (SUCCEEDED(hr)) hr = output_->SetCurrentPosition(end);
        return hr;
    }

private:
    ~PhotoWriteStream() override = default;

    HRESULT WriteAsync(const BYTE* data, ULONG count, ULONG* written)
    {
        if (!completion_) {
            completion_ = ComPtr<WriteCompletion>::Attach(new (std::nothrow) WriteCompletion());
            if (!completion_) return E_OUTOFMEMORY;
        }
        HRESULT hr = output_->BeginWrite(data, count, completion_.Get(), nullptr);
        if (FAILED(hr)) return hr;
        const ComPtr<IMFAsyncResult> result = completion_->Wait();
        if (!result) return MF_E_INVALIDREQUEST;
        ULONG done = 0;
        hr = output_->EndWrite(result.Get(), &done);
        if (written) *written = done;
        return hr;
    }

    // The first bytes go out as zeros and are kept for Finish.
    HRESULT WriteHoldingBackTheStart(const BYTE* data, ULONG count, ULONG* written)
    {
        const size_t held = std::min<size_t>(kPlaceholderBytes - std::min(held_.size(), kPlaceholderBytes), count);
        if (held == 0 || !data) return output_->Write(data, count, written);
        std::vector<BYTE> piece;
        const HRESULT kept = NoThrow([&] {
            held_.insert(held_.end(), data, data + held);
            piece.assign(data, data + count);
        });
        if (FAILED(kept)) return kept;
        std::fill(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(held), BYTE{0});
        return output_->Write(piece.data(), count, written);
    }

    const ComPtr<IMFByteStream> output_;
    const PhotoWriteMode mode_;
    // The encoder writes from one thread, one call at a time.
    ComPtr<WriteCompletion> completion_;
    std::vector<BYTE> held_;
};

// {4D7A2E19-B6C3-4F08-8E51-C2A9F03B6D74}
const GUID PhotoWriteStream::kIid = {0x4d7a2e19, 0xb6c3, 0x4f08, {0x8e, 0x51, 0xc2, 0xa9, 0xf0, 0x3b, 0x6d, 0x74}};

}  // namespace

HRESULT CreatePhotoWriteStream(IMFByteStream* output, PhotoWriteMode mode, IMFByteStream** stream)
{
    if (!output || !stream) return E_POINTER;
    *stream = new (std::nothrow) PhotoWriteStream(output, mode);
    return *stream ? S_OK : E_OUTOFMEMORY;
}

HRESULT FinishPhotoWriteStream(IMFByteStream* stream)
{
    ComPtr<PhotoWriteStream> ours;
    if (!stream || FAILED(stream->QueryInterface(PhotoWriteStream::kIid, ours.PutVoid()))) return E_INVALIDARG;
    return ours->Finish();
}

HRESULT WriteAll(IMFByteStream* output, const BYTE* data, size_t size)
{
    constexpr size_t kMaxChunk = 64 * 1024;
    while (size > 0) {
        ULONG written = 0;
        const HRESULT hr = output->Write(data, static_cast<ULONG>(std::min(size, kMaxChunk)), &written);
        if (FAILED(hr)) return hr;
        // A stream that accepts nothing would loop for ever.
        if (written == 0 || written > size) return E_FAIL;
        data += written;
        size -= written;
    }
    return S_OK;
}

}  // namespace lumicap::virt
