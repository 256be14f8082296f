// The virtual platform's device watcher: the control calls that plug and unplug cameras tell every
// watcher, as a real device's arrival and removal would.
#include "virtual_platform.h"
#include "platform/no_destructor.h"

#include <algorithm>
#include <mutex>

namespace lumicap::virt {
namespace {

class Watchers {
public:
    void Add(platform::DeviceChangeListener* listener)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listeners_.push_back(listener);
    }

    void Remove(platform::DeviceChangeListener* listener)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
    }

    // Under the lock, so a watcher being destroyed on another thread is never told afterwards.
    void Tell(bool arrived)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (platform::DeviceChangeListener* listener : listeners_) listener->OnVideoDeviceChange(arrived);
    }

private:
    std::mutex mutex_;
    std::vector<platform::DeviceChangeListener*> listeners_;
};

Watchers& TheWatchers()
{
    static NoDestructor<Watchers> watchers;
    return watchers.Get();
}

class VirtualDeviceWatcher final : public platform::DeviceWatcher {
public:
    explicit VirtualDeviceWatcher(platform::DeviceChangeListener* listener) : listener_(listener)
    {
        TheWatchers().Add(listener_);
    }
    ~VirtualDeviceWatcher() override { TheWatchers().Remove(listener_); }

private:
    platform::DeviceChangeListener* const listener_;
};

}  // namespace

void TellDeviceChange(bool arrived) { TheWatchers().Tell(arrived); }

}  // namespace lumicap::virt

namespace lumicap::platform {

std::unique_ptr<DeviceWatcher> WatchVideoDevices(DeviceChangeListener* listener) noexcept
{
    try {
        return std::make_unique<virt::VirtualDeviceWatcher>(listener);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace lumicap::platform
