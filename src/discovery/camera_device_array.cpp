#include "camera_device_array.h"

namespace lumicap {

void CameraDeviceArray::Release()
{
    for (UINT32 i = 0; i < Count(); ++i) {
        if (devices_[i]) {
            devices_[i]->Release();
            devices_[i] = nullptr;
        }
    }
    CoTaskMemFree(devices_);
    devices_ = nullptr;
    count_ = 0;
}

}  // namespace lumicap
