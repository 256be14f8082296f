#include "engine_renderer.h"

#include "frame_presenter.h"
#include "window_claims.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace lumicap::virt {

EngineRenderer::~EngineRenderer() { Stop(); }

HRESULT EngineRenderer::Start(const RenderSettings& settings)
{
    if (thread_.joinable()) return S_OK;
    const FrameFormat& format = settings.format;
    if (!settings.frames || format.width == 0 || format.height == 0 || format.rateNumerator == 0 ||
        format.rateDenominator == 0) {
        return E_INVALIDARG;
    }
    HRESULT hr = ResizeNoThrow(pixels_, static_cast<size_t>(format.width) * format.height);
    if (FAILED(hr)) return hr;
    if (!ClaimWindow(settings.window, this)) return E_ACCESSDENIED;
    hr = settings.frames->Start(format);
    if (FAILED(hr)) {
        ReleaseWindow(settings.window, this);
        return hr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }
    hr = NoThrowStartingThread([&] { thread_ = std::thread(&EngineRenderer::Run, this, settings); });
    if (FAILED(hr)) {
        settings.frames->Stop();
        ReleaseWindow(settings.window, this);
        return hr;
    }
    source_ = settings.frames;
    window_ = settings.window;
    return S_OK;
}

void EngineRenderer::Stop()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    source_->Stop();
    source_ = nullptr;
    ReleaseWindow(window_, this);
    window_ = nullptr;
}

void EngineRenderer::Run(RenderSettings settings)
{
    // Deadlines are counted from the start, so the delivered rate does not drift with the time each
    // frame takes.
    const FrameFormat& format = settings.format;
    const double periodNs = 1e9 * format.rateDenominator / format.rateNumerator;
    const auto start = std::chrono::steady_clock::now();
    // As the system's sink, the picture stays where the client area was at the start until the host
    // gives another destination.
    RECT startClient{};
    if (settings.window) GetClientRect(static_cast<HWND>(settings.window), &startClient);
    std::unique_lock<std::mutex> lock(mutex_);
    for (uint64_t n = 1; !stopping_; ++n) {
        lock.unlock();
        const uint64_t frame = frames_.load(std::memory_order_relaxed);
        const PreviewPresentation presentation =
            settings.presentation ? settings.presentation() : PreviewPresentation{};
        // A frame the source could not give is neither drawn nor counted.
        const bool rendered = presentation.sampleCallback
                                  ? HandOver(settings, frame, presentation.sampleCallback.Get())
                                  : Draw(settings, presentation, startClient, frame);
        if (rendered) frames_.store(frame + 1, std::memory_order_release);
        lock.lock();
        const auto deadline =
            start + std::chrono::nanoseconds(static_cast<long long>(std::llround(periodNs * static_cast<double>(n))));
        wake_.wait_until(lock, deadline, [this] { return stopping_; });
    }
}

bool EngineRenderer::Draw(const RenderSettings& settings, const PreviewPresentation& presentation,
                          const RECT& startClient, uint64_t frame)
{
    const UINT32 width = settings.format.width;
    const UINT32 height = settings.format.height;
    // The window may have handed back a buffer of another size with its previous frame.
    if (FAILED(ResizeNoThrow(pixels_, static_cast<size_t>(width) * height))) return false;
    if (FAILED(settings.frames->Deliver({pixels_.data(), width, height, frame, true}))) return false;
    if (Blocked()) std::fill(pixels_.begin(), pixels_.end(), 0u);
    if (presentation.mirrored) {
        for (auto row = pixels_.begin(); row != pixels_.end(); row += width) std::reverse(row, row + width);
    }
    if (settings.window) {
        PresentFrame(settings.window, pixels_, width, height,
                     presentation.hasDestination ? presentation.destination : startClient);
    }
    return true;
}

// The host's own frames are as the camera sees them, never mirrored. The source converts straight into
// the sample's buffer, which the host may keep; a frame that cannot be wrapped is dropped.
bool EngineRenderer::HandOver(const RenderSettings& settings, uint64_t frame,
                              IMFCaptureEngineOnSampleCallback* callback)
{
    const FrameFormat& format = settings.format;
    const DWORD length = format.width * format.height * static_cast<DWORD>(sizeof(uint32_t));
    ComPtr<IMFMediaBuffer> buffer;
    HRESULT hr = platform::MFCreateMemoryBuffer(length, buffer.Put());
    BYTE* bytes = nullptr;
    if (SUCCEEDED(hr)) hr = buffer->Lock(&bytes, nullptr, nullptr);
    if (FAILED(hr)) return false;
    // RGB32 is the frame's own layout (bytes B, G, R, unused), top row first.
    hr = settings.frames->Deliver({reinterpret_cast<uint32_t*>(bytes), format.width, format.height, frame, true});
    if (SUCCEEDED(hr) && Blocked()) std::memset(bytes, 0, length);
    buffer->Unlock();
    if (FAILED(hr)) return false;
    ComPtr<IMFSample> sample;
    hr = buffer->SetCurrentLength(length);
    if (SUCCEEDED(hr)) hr = platform::MFCreateSample(sample.Put());
    if (SUCCEEDED(hr)) hr = sample->AddBuffer(buffer.Get());
    // Times in 100 ns units from the preview's first frame.
    const double period = 1e7 * format.rateDenominator / format.rateNumerator;
    if (SUCCEEDED(hr)) hr = sample->SetSampleTime(std::llround(period * static_cast<double>(frame)));
    if (SUCCEEDED(hr)) hr = sample->SetSampleDuration(std::llround(period));
    if (SUCCEEDED(hr)) callback->OnSample(sample.Get());
    return true;
}

}  // namespace lumicap::virt
