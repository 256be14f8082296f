#include "engine_renderer.h"

#include "frame_presenter.h"
#include "virtual_platform.h"

#include <chrono>
#include <cmath>
#include <new>
#include <system_error>

namespace lumicap::virt {

EngineRenderer::~EngineRenderer() { Stop(); }

HRESULT EngineRenderer::Start(const RenderSettings& settings)
{
    if (thread_.joinable()) return S_OK;
    if (settings.width == 0 || settings.height == 0 || settings.rateNumerator == 0 ||
        settings.rateDenominator == 0) {
        return E_INVALIDARG;
    }
    try {
        pixels_.resize(static_cast<size_t>(settings.width) * settings.height);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = false;
        }
        thread_ = std::thread(&EngineRenderer::Run, this, settings);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error&) {
        return E_FAIL;
    }
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
}

void EngineRenderer::Run(RenderSettings settings)
{
    // Deadlines are counted from the start, so the delivered rate does not drift with the time each
    // frame takes.
    const double periodNs = 1e9 * settings.rateDenominator / settings.rateNumerator;
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    for (uint64_t n = 1; !stopping_; ++n) {
        lock.unlock();
        const uint64_t frame = frames_.load(std::memory_order_relaxed);
        RenderTestPattern(pixels_.data(), settings.width, settings.height, frame);
        if (settings.window) PresentFrame(settings.window, pixels_.data(), settings.width, settings.height);
        frames_.store(frame + 1, std::memory_order_release);
        lock.lock();
        const auto deadline =
            start + std::chrono::nanoseconds(static_cast<long long>(std::llround(periodNs * static_cast<double>(n))));
        wake_.wait_until(lock, deadline, [this] { return stopping_; });
    }
}

}  // namespace lumicap::virt
