#include "photo_deadline.h"

#include "platform/no_throw.h"

#include <lumicap/lumicap.h>

namespace lumicap {

PhotoDeadline::~PhotoDeadline()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable()) watcher_.join();
}

HRESULT PhotoDeadline::Arm(HWND window)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = true;
        expired_ = false;
        window_ = window;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMilliseconds);
    }
    changed_.notify_all();
    if (watcher_.joinable()) return S_OK;
    return NoThrowStartingThread([&] { watcher_ = std::thread(&PhotoDeadline::Watch, this); });
}

void PhotoDeadline::Disarm()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
        expired_ = false;
    }
    changed_.notify_all();
}

bool PhotoDeadline::Expired() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
}

void PhotoDeadline::Watch()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ending_) {
        if (!armed_) {
            changed_.wait(lock);
            continue;
        }
        // Woken early by a new request or a completion, it looks again at whatever is armed now.
        if (changed_.wait_until(lock, deadline_) == std::cv_status::no_timeout) continue;
        if (!armed_ || ending_ || std::chrono::steady_clock::now() < deadline_) continue;
        armed_ = false;
        expired_ = true;
        PostMessageW(window_, WM_CAMERA_ERROR, LUMICAP_ERROR_PHOTO,
                     static_cast<LPARAM>(HRESULT_FROM_WIN32(ERROR_TIMEOUT)));
    }
}

}  // namespace lumicap
