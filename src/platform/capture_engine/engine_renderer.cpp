#include "engine_renderer.h"

#include "frame_presenter.h"
#include "window_claims.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <chrono>
#include <cmath>

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
    std::unique_lock<std::mutex> lock(mutex_);
    for (uint64_t n = 1; !stopping_; ++n) {
        lock.unlock();
        const uint64_t frame = frames_.load(std::memory_order_relaxed);
        // A frame the source could not give is neither drawn nor counted.
        if (SUCCEEDED(settings.frames->Deliver({pixels_.data(), format.width, format.height, frame, true}))) {
            if (Blocked()) std::fill(pixels_.begin(), pixels_.end(), 0u);
            if (settings.window) PresentFrame(settings.window, pixels_.data(), format.width, format.height);
            frames_.store(frame + 1, std::memory_order_release);
        }
        lock.lock();
        const auto deadline =
            start + std::chrono::nanoseconds(static_cast<long long>(std::llround(periodNs * static_cast<double>(n))));
        wake_.wait_until(lock, deadline, [this] { return stopping_; });
    }
}

}  // namespace lumicap::virt
