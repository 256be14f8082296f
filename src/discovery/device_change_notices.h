// WM_CAMERA_DEVICES_CHANGED: what the platform's device watcher tells, folded and posted to the host.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace lumicap {

// One camera brings several device nodes or interfaces, told one by one: the first change of a
// direction passes, and the same direction's changes within the next 250 ms are folded into it.
// Safe on any thread.
class DeviceChangeFolding {
public:
    static constexpr std::chrono::milliseconds kWindow{250};

    // Whether a change of this direction at this moment makes a message of its own.
    bool Admit(bool arrived, std::chrono::steady_clock::time_point now) noexcept;

private:
    static constexpr int64_t kNever = INT64_MIN;
    std::atomic<int64_t> lastAdmitted_[2] = {kNever, kNever};
};

// Listens to the platform's watcher and posts WM_CAMERA_DEVICES_CHANGED to the event window.
class DeviceChangeNotices final : public platform::DeviceChangeListener {
public:
    explicit DeviceChangeNotices(HWND eventWindow) : eventWindow_(eventWindow) {}
    void OnVideoDeviceChange(bool arrived) noexcept override;

private:
    const HWND eventWindow_;
    DeviceChangeFolding folding_;
};

// From CreateInstance on: watch the devices for the event window. Without a watcher the host is
// simply not told (nothing else changes).
void StartWatchingDevices(HWND eventWindow);

// At unload (and for a fresh module in tests): the watcher stops before its listener goes.
void StopWatchingDevices();

}  // namespace lumicap
