#include "preview_frames.h"

#include "rgb32_copy.h"
#include "interface/log.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/letterboxed_picture.h"
#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <atomic>
#include <mutex>

namespace lumicap {
namespace {

// The newest frame of the configured preview. Its lock is held only to copy pixels, never while the
// camera is waited on or a picture drawn.
class FrameStore {
public:
    void Open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Forget();
        setUp_ = true;
    }

    void Close()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Forget();
        setUp_ = false;
    }

    // A new configuration, in frames mode or not: samples of an earlier one are dropped from now on.
    uint64_t Configure(bool active, HWND window, UINT32 width, UINT32 height)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Forget();
        active_ = active;
        window_ = window;
        width_ = width;
        height_ = height;
        return configuration_;
    }

    bool Active()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return active_;
    }

    // Keeps the buffer (top row first, 4 bytes a pixel) as the newest frame, without a copy; false when
    // the sample is not one of this configuration or not a whole frame.
    bool Keep(uint64_t configuration, IMFSample* sample, IMFMediaBuffer* buffer, DWORD length, HWND* window,
              bool* mirrored)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (configuration != configuration_ || !active_ || length / 4 < Count()) return false;
        sample_ = ComPtr<IMFSample>::Share(sample);
        frame_ = ComPtr<IMFMediaBuffer>::Share(buffer);
        ++number_;
        *window = window_;
        *mirrored = mirrored_;
        return true;
    }

    HRESULT Copy(UINT32* width, UINT32* height, UINT32* pixels, UINT64 capacity, UINT64* number)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!setUp_) return MF_E_NOT_INITIALIZED;
        const bool has = number_ > 0;
        *width = has ? width_ : 0;
        *height = has ? height_ : 0;
        *number = number_;
        if (!has) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        if (!pixels || capacity < Count()) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        BYTE* bytes = nullptr;
        const HRESULT hr = frame_->Lock(&bytes, nullptr, nullptr);
        if (FAILED(hr)) return hr;
        // The sink's samples leave RGB32's unused byte as they like; the host gets 0x00RRGGBB.
        CopyRgb32Pixels(pixels, reinterpret_cast<const uint32_t*>(bytes), Count());
        frame_->Unlock();
        return S_OK;
    }

    void SetMirrored(bool mirrored)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mirrored_ = mirrored;
    }

    std::atomic<bool> wanted{false};

private:
    // Under mutex_.
    void Forget()
    {
        ++configuration_;
        active_ = false;
        window_ = nullptr;
        number_ = 0;
        mirrored_ = false;
        frame_.Reset();
        sample_.Reset();
    }

    size_t Count() const { return static_cast<size_t>(width_) * height_; }

    std::mutex mutex_;
    bool setUp_ = false;
    bool active_ = false;
    uint64_t configuration_ = 0;
    HWND window_ = nullptr;
    UINT32 width_ = 0;
    UINT32 height_ = 0;
    bool mirrored_ = false;
    uint64_t number_ = 0;
    // The newest sample's buffer, kept as the sink handed it over, and the sample itself, so a sink
    // that draws its samples from a pool does not fill this one again while it is kept.
    ComPtr<IMFSample> sample_;
    ComPtr<IMFMediaBuffer> frame_;
};

FrameStore& Store()
{
    static NoDestructor<FrameStore> store;
    return store.Get();
}

// Receives the sink's samples on the engine's thread.
class FrameCallback final : public IMFCaptureEngineOnSampleCallback {
public:
    FrameCallback(uint64_t configuration, UINT32 width, UINT32 height)
        : configuration_(configuration), width_(width), height_(height)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        static const QITAB table[] = {QITABENT(FrameCallback, IMFCaptureEngineOnSampleCallback), {nullptr, 0}};
        return QISearch(this, table, riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG remaining = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) delete this;
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE OnSample(IMFSample* sample) override
    {
        if (!sample) return E_POINTER;
        return NoThrow([&] { Take(sample); });
    }

private:
    ~FrameCallback() = default;

    void Take(IMFSample* sample)
    {
        ComPtr<IMFMediaBuffer> buffer;
        if (FAILED(sample->ConvertToContiguousBuffer(buffer.Put()))) return;
        BYTE* bytes = nullptr;
        DWORD length = 0;
        if (FAILED(buffer->Lock(&bytes, nullptr, &length))) return;
        HWND window = nullptr;
        bool mirrored = false;
        if (Store().Keep(configuration_, sample, buffer.Get(), length, &window, &mirrored) && window) {
            // Drawn from the sample itself, following the window's size as it is now.
            RECT client{};
            if (GetClientRect(window, &client)) {
                DrawLetterboxed(window, reinterpret_cast<const uint32_t*>(bytes), width_, height_, client, mirrored);
            }
        }
        buffer->Unlock();
    }

    std::atomic<ULONG> refs_{1};
    const uint64_t configuration_;
    const UINT32 width_;
    const UINT32 height_;
};

}  // namespace

HRESULT SetPreviewFrames(BOOL enabled)
{
    EmitLog(TEXT("LumicapSetPreviewFrames: ") + SignedDecimal(enabled ? 1 : 0));
    Store().wanted.store(enabled != FALSE);
    return S_OK;
}

bool PreviewFramesWanted() { return Store().wanted.load(); }

HRESULT GetPreviewFrame(UINT32* width, UINT32* height, UINT32* pixels, UINT64 capacity, UINT64* frameNumber)
{
    EmitLog(TEXT("LumicapGetPreviewFrame"));
    if (!width || !height || !frameNumber) return E_POINTER;
    return Store().Copy(width, height, pixels, capacity, frameNumber);
}

void OpenPreviewFrames() { Store().Open(); }
void ClosePreviewFrames() { Store().Close(); }
bool PreviewFramesActive() { return Store().Active(); }
void SetPreviewFramesMirrored(bool mirrored) { Store().SetMirrored(mirrored); }

HRESULT ConfigurePreviewFrames(IMFCapturePreviewSink* sink, HWND window)
{
    if (!PreviewFramesWanted()) {
        Store().Configure(false, nullptr, 0, 0);
        return S_OK;
    }
    // The preview's one stream is the sink's stream 0; its frames come at its type's size.
    ComPtr<IMFMediaType> type;
    UINT64 size = 0;
    HRESULT hr = sink->GetOutputMediaType(0, type.Put());
    if (SUCCEEDED(hr)) hr = type->GetUINT64(MF_MT_FRAME_SIZE, &size);
    if (FAILED(hr)) return hr;
    const UINT32 width = static_cast<UINT32>(size >> 32);
    const UINT32 height = static_cast<UINT32>(size);
    const uint64_t configuration = Store().Configure(true, window, width, height);
    ComPtr<FrameCallback> callback =
        ComPtr<FrameCallback>::Attach(NewNoThrow<FrameCallback>(configuration, width, height));
    if (!callback) return E_OUTOFMEMORY;
    return sink->SetSampleCallback(0, callback.Get());
}

}  // namespace lumicap
