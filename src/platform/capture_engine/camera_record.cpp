// A plugged-in camera shared by every activation object and engine built on it.
#include "camera_record.h"

namespace lumicap::virt {

int CameraRecord::AddUnplugListener(UnplugListener listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int id = nextId_++;
    listeners_.emplace_back(id, std::move(listener));
    return id;
}

void CameraRecord::RemoveUnplugListener(int id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto listener = listeners_.begin(); listener != listeners_.end(); ++listener) {
        if (listener->first == id) {
            listeners_.erase(listener);
            return;
        }
    }
}

// A camera is unplugged once; its listeners hear of it once, outside the lock so they may call back.
void CameraRecord::Unplug()
{
    std::vector<std::pair<int, UnplugListener>> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!plugged_) return;
        plugged_ = false;
        listeners.swap(listeners_);
    }
    for (auto& listener : listeners) listener.second();
}

bool CameraRecord::IsPlugged() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return plugged_;
}

}  // namespace lumicap::virt
