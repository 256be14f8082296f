#include "device_change_notices.h"

#include "interface/module_state.h"
#include "platform/com_object.h"

#include <lumicap/lumicap.h>

namespace lumicap {

bool DeviceChangeFolding::Admit(bool arrived, std::chrono::steady_clock::time_point now) noexcept
{
    std::atomic<int64_t>& last = lastAdmitted_[arrived ? 1 : 0];
    const int64_t moment = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    int64_t previous = last.load(std::memory_order_relaxed);
    const int64_t window = std::chrono::duration_cast<std::chrono::nanoseconds>(kWindow).count();
    // Two threads telling at once: only the one that moves the mark posts.
    while (previous == kNever || moment - previous >= window) {
        if (last.compare_exchange_weak(previous, moment, std::memory_order_relaxed)) return true;
    }
    return false;
}

void DeviceChangeNotices::OnVideoDeviceChange(bool arrived) noexcept
{
    if (!folding_.Admit(arrived, std::chrono::steady_clock::now())) return;
    PostMessageW(eventWindow_, WM_CAMERA_DEVICES_CHANGED, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0);
}

void StartWatchingDevices(HWND eventWindow)
{
    ModuleState& module = Module();
    StopWatchingDevices();
    module.deviceChangeNotices.reset(NewNoThrow<DeviceChangeNotices>(eventWindow));
    if (module.deviceChangeNotices) {
        module.deviceWatcher = platform::WatchVideoDevices(module.deviceChangeNotices.get());
    }
}

void StopWatchingDevices()
{
    ModuleState& module = Module();
    module.deviceWatcher.reset();
    module.deviceChangeNotices.reset();
}

}  // namespace lumicap
