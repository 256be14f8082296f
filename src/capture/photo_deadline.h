// The bound on a photo request: an engine that never completes one must not keep the photo pending for
// good. When the bound passes first, the host is told (WM_CAMERA_ERROR, kind photo, ERROR_TIMEOUT) and
// may ask again.
#pragma once

#include "platform/platform.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace lumicap {

class PhotoDeadline {
public:
    static constexpr unsigned kMilliseconds = 10000;

    PhotoDeadline() = default;
    PhotoDeadline(const PhotoDeadline&) = delete;
    PhotoDeadline& operator=(const PhotoDeadline&) = delete;
    ~PhotoDeadline();

    // Starts the bound of a new request, ending any earlier one's; the notice goes to window. Without
    // a watching thread (none could be started) the request has no bound.
    HRESULT Arm(HWND window);
    // The request completed, or its set-up ended.
    void Disarm();
    // The armed request's bound passed before it completed.
    bool Expired() const;

private:
    // One thread watches every request of the manager's lifetime.
    void Watch();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread watcher_;
    bool armed_ = false;
    bool expired_ = false;
    bool ending_ = false;
    HWND window_ = nullptr;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace lumicap
