// The system's device broadcast, for the real lumicap.dll running on the stand-in: when the virtual
// cameras change, the library's watcher windows hear WM_DEVICECHANGE with a camera interface, as
// they would from Windows when a webcam is plugged in or out.
#include "platform/virtual/virtual_platform.h"

#include <dbt.h>

namespace {

class DeviceBroadcast final : public lumicap::platform::DeviceChangeListener {
public:
    void OnVideoDeviceChange(bool arrived) noexcept override
    {
        DEV_BROADCAST_DEVICEINTERFACE_W broadcast{};
        broadcast.dbcc_size = sizeof(broadcast);
        broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        broadcast.dbcc_classguid = lumicap::virt::kCategoryVideoCamera;
        const WPARAM change = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
        // Sent, as the system sends it: the window's thread must be pumping, so a host that is not
        // gives up after a while rather than holding the control call for good.
        for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, L"LumicapDeviceWatcher", nullptr));) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(window, WM_DEVICECHANGE, change, reinterpret_cast<LPARAM>(&broadcast), SMTO_NORMAL,
                                5000, &answer);
        }
    }
};

DeviceBroadcast broadcast;
// For as long as the stand-in is loaded.
const std::unique_ptr<lumicap::platform::DeviceWatcher> watcher = lumicap::platform::WatchVideoDevices(&broadcast);

}  // namespace
