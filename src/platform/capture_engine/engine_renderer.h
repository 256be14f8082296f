// The preview's render thread: takes frames from the engine's frame source at the preview format's
// size and rate and draws them into the render window. Separate from the engine's worker so events and
// photos never wait for frames.
#pragma once

#include "frame_presenter.h"
#include "frame_source.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumicap::virt {

struct RenderSettings {
    HANDLE window = nullptr;  // frames are still rendered and counted without one
    FrameFormat format;
    FrameSource* frames = nullptr;  // started with the renderer, stopped with it; outlives it
    // Read for every frame, so changes reach the running preview; may be empty (nothing set).
    std::function<PreviewPresentation()> presentation;
};

class EngineRenderer {
public:
    EngineRenderer() = default;
    EngineRenderer(const EngineRenderer&) = delete;
    EngineRenderer& operator=(const EngineRenderer&) = delete;
    ~EngineRenderer();

    // Starts rendering unless it already runs; E_ACCESSDENIED while another renderer draws into the
    // window. Start and Stop are called from one thread at a time.
    HRESULT Start(const RenderSettings& settings);
    void Stop();
    // Frames rendered by this renderer so far, which is also the number of the next frame.
    uint64_t FramesRendered() const { return frames_.load(std::memory_order_acquire); }
    // While blocked (a privacy shutter) every frame is black.
    void SetBlocked(bool blocked) { blocked_.store(blocked, std::memory_order_release); }
    bool Blocked() const { return blocked_.load(std::memory_order_acquire); }

private:
    void Run(RenderSettings settings);
    // Each true when the source gave the frame. Draw: into the window, as the host set it to be shown.
    bool Draw(const RenderSettings& settings, const PreviewPresentation& presentation, const RECT& startClient,
              uint64_t frame);
    // HandOver: as an RGB32 sample to the host's callback.
    bool HandOver(const RenderSettings& settings, uint64_t frame, IMFCaptureEngineOnSampleCallback* callback);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
    FrameSource* source_ = nullptr;  // the running preview's source
    HANDLE window_ = nullptr;        // the running preview's window, claimed while it runs
    std::vector<uint32_t> pixels_;  // the frame being drawn; traded with the window's previous one
    std::atomic<uint64_t> frames_{0};
    std::atomic<bool> blocked_{false};
};

}  // namespace lumicap::virt
