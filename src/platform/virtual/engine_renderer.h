// The preview's render thread: draws test-pattern frames at the preview format's size and rate into
// the render window. Separate from the engine's worker so events and photos never wait for frames.
#pragma once

#include "../platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumicap::virt {

struct RenderSettings {
    HANDLE window = nullptr;  // frames are still rendered and counted without one
    UINT32 width = 0;
    UINT32 height = 0;
    UINT32 rateNumerator = 30;
    UINT32 rateDenominator = 1;
};

class EngineRenderer {
public:
    EngineRenderer() = default;
    EngineRenderer(const EngineRenderer&) = delete;
    EngineRenderer& operator=(const EngineRenderer&) = delete;
    ~EngineRenderer();

    // Starts rendering unless it already runs. Start and Stop are called from one thread at a time.
    HRESULT Start(const RenderSettings& settings);
    void Stop();
    // Frames rendered by this renderer so far, which is also the index of the next frame.
    uint64_t FramesRendered() const { return frames_.load(std::memory_order_acquire); }

private:
    void Run(RenderSettings settings);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
    std::vector<uint32_t> pixels_;  // reused by every frame, and across starts
    std::atomic<uint64_t> frames_{0};
};

}  // namespace lumicap::virt
