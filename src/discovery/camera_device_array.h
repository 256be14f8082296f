// An array of camera activation objects as device enumeration hands it out: allocated by the
// platform, one reference per entry.
#pragma once

#include "platform/platform.h"

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

private:
    IMFActivate** devices_ = nullptr;
    UINT32 count_ = 0;
};

}  // namespace lumicap
