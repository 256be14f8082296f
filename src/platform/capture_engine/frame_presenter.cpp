#include "frame_presenter.h"

#include "platform/letterboxed_picture.h"

#ifndef _WIN32
#include "platform/portable/window_frame.h"
#endif

#ifdef _WIN32
#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>
#endif

namespace lumicap::virt {

#ifdef _WIN32
namespace {

// What a window was shown, kept here because a real window keeps only the screen. The copy is made on
// the render thread, never on the host's.
struct PresentedFrame {
    std::mutex mutex;
    UINT64 count = 0;
    UINT32 width = 0;
    UINT32 height = 0;
    std::vector<uint32_t> pixels;
};

class PresentedFrames {
public:
    // The record of a window, made on its first frame; records of windows destroyed since are dropped
    // then, so they do not pile up over a long run.
    std::shared_ptr<PresentedFrame> ForPresenting(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = frames_.find(window);
        if (found != frames_.end()) return found->second;
        for (auto it = frames_.begin(); it != frames_.end();) {
            it = IsWindow(it->first) ? std::next(it) : frames_.erase(it);
        }
        auto frame = std::make_shared<PresentedFrame>();
        frames_.emplace(window, frame);
        return frame;
    }

    std::shared_ptr<PresentedFrame> Find(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = frames_.find(window);
        return found == frames_.end() ? nullptr : found->second;
    }

private:
    std::mutex mutex_;
    std::map<HWND, std::shared_ptr<PresentedFrame>> frames_;
};

PresentedFrames& Frames()
{
    static NoDestructor<PresentedFrames> frames;
    return frames.Get();
}

// Keeps the frame as the window's latest, taking its buffer and giving the previous one back.
void Record(HWND hwnd, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height)
{
    const std::shared_ptr<PresentedFrame> frame = Frames().ForPresenting(hwnd);
    std::lock_guard<std::mutex> lock(frame->mutex);
    frame->pixels.swap(pixels);
    frame->width = width;
    frame->height = height;
    ++frame->count;
}

}  // namespace

bool PresentFrame(HANDLE window, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height, const RECT& destination)
{
    HWND hwnd = static_cast<HWND>(window);
    if (width == 0 || height == 0 || pixels.size() != static_cast<size_t>(width) * height) return false;
    // A window that is gone receives nothing; one that exists receives the frame even while it cannot
    // be drawn (minimised, no client area), as a real window is sent it.
    if (!IsWindow(hwnd)) return false;
    const bool drawn = DrawLetterboxed(hwnd, pixels.data(), width, height, destination, false);
    return SUCCEEDED(NoThrow([&] { Record(hwnd, pixels, width, height); })) && drawn;
}

UINT64 PresentedFrameCount(HANDLE window)
{
    const std::shared_ptr<PresentedFrame> frame = Frames().Find(static_cast<HWND>(window));
    if (!frame) return 0;
    std::lock_guard<std::mutex> lock(frame->mutex);
    return frame->count;
}

bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    const std::shared_ptr<PresentedFrame> frame = Frames().Find(static_cast<HWND>(window));
    if (!frame) return false;
    std::lock_guard<std::mutex> lock(frame->mutex);
    if (frame->count == 0) return false;
    if (width) *width = frame->width;
    if (height) *height = frame->height;
    if (pixels && capacity >= frame->pixels.size()) {
        std::transform(frame->pixels.begin(), frame->pixels.end(), pixels,
                       [](uint32_t pixel) { return pixel & 0x00FFFFFFu; });
    }
    return true;
}

#else

// Off Windows a window is the portable subset's message window, which keeps the latest frame drawn
// into it itself, or is handed it when there is no room to draw.
bool PresentFrame(HANDLE window, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height, const RECT& destination)
{
    HWND hwnd = static_cast<HWND>(window);
    if (width == 0 || height == 0 || pixels.size() != static_cast<size_t>(width) * height) return false;
    return DrawLetterboxed(hwnd, pixels.data(), width, height, destination, false) ||
           portable::PresentFrameBuffer(hwnd, pixels, width, height) != FALSE;
}

UINT64 PresentedFrameCount(HANDLE window) { return LumicapGetFrameCount(static_cast<HWND>(window)); }

bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    return LumicapGetLatestFrame(static_cast<HWND>(window), pixels, capacity, width, height) != FALSE;
}

#endif

}  // namespace lumicap::virt
