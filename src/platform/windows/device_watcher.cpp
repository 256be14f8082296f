// The Windows device watcher: a message-only window of the library's own on the host's thread,
// registered for the arrival and removal of camera and video device interfaces. The host's message
// loop dispatches the system's WM_DEVICECHANGE to it like any other message.
#include "platform/platform.h"

#include <dbt.h>

#include <iterator>
#include <new>

namespace lumicap::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"LumicapDeviceWatcher";

// KSCATEGORY_VIDEO_CAMERA {E5323777-F976-4F5B-9B55-B94699C46E44} and KSCATEGORY_VIDEO
// {6994AD05-93EF-11D0-A3CC-00A0C9223196}: a webcam has interfaces of both.
constexpr GUID kVideoCategories[] = {
    {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}},
    {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}},
};

bool IsVideoInterface(LPARAM data)
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return false;
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    for (const GUID& category : kVideoCategories) {
        if (IsEqualGUID(device->dbcc_classguid, category)) return true;
    }
    return false;
}

LRESULT CALLBACK WatcherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    } else if (message == WM_DEVICECHANGE &&
               (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && IsVideoInterface(lParam)) {
        auto* listener = reinterpret_cast<DeviceChangeListener*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (listener) listener->OnVideoDeviceChange(wParam == DBT_DEVICEARRIVAL);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WatcherProcedure), &module);
    return module;
}

class WindowsDeviceWatcher final : public DeviceWatcher {
public:
    WindowsDeviceWatcher(HWND window, HINSTANCE instance) : window_(window), instance_(instance)
    {
        for (size_t i = 0; i < std::size(kVideoCategories); ++i) {
            DEV_BROADCAST_DEVICEINTERFACE_W filter{};
            filter.dbcc_size = sizeof(filter);
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = kVideoCategories[i];
            // Without a registration the window still hears what is sent to it; nothing else to do.
            notifications_[i] = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        }
    }

    // The window procedure is this library's code: window and class go before the library does.
    ~WindowsDeviceWatcher() override
    {
        for (HDEVNOTIFY notification : notifications_) {
            if (notification) UnregisterDeviceNotification(notification);
        }
        DestroyWindow(window_);
        UnregisterClassW(kWindowClass, instance_);
    }

private:
    const HWND window_;
    const HINSTANCE instance_;
    HDEVNOTIFY notifications_[std::size(kVideoCategories)] = {};
};

}  // namespace

std::unique_ptr<DeviceWatcher> WatchVideoDevices(DeviceChangeListener* listener) noexcept
{
    const HINSTANCE instance = ThisModule();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WatcherProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

    const HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, listener);
    if (!window) return nullptr;
    std::unique_ptr<DeviceWatcher> watcher(new (std::nothrow) WindowsDeviceWatcher(window, instance));
    if (!watcher) DestroyWindow(window);
    return watcher;
}

}  // namespace lumicap::platform
