// An array of camera activation objects as device enumeration hands it out: allocated by the
// platform, one reference per entry.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace lumicap {

class CameraDeviceArray {
public:
    CameraDeviceArray() = default;
    CameraDeviceArray(const CameraDeviceArray&) = delete;
    CameraDeviceArray& operator=(const CameraDeviceArray&) = delete;
    ~CameraDeviceArray() { Release(); }

    // Releases each entry that is set, frees the array and leaves it empty.
    void Release();

    IMFActivate*** ArraySlot() { return &devices_; }
    UINT32* CountSlot() { return &count_; }

    UINT32 Count() const { return devices_ ? count_ : 0; }
    IMFActivate* At(UINT32 index) const { return devices_[index]; }

    void Swap(CameraDeviceArray& other) noexcept
    {
        std::swap(devices_, other.devices_);
        std::swap(count_, other.count_);
    }

private:
    IMFActivate** devices_ = nullptr;
    UINT32 count_ = 0;
};

}  // namespace lumicap
