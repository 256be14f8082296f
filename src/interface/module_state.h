// The state the library keeps for as long as it is loaded. It is all zero or null at load, and it is
// changed only on the host's thread.
#pragma once

#include "discovery/camera_device_array.h"
#include "discovery/device_change_notices.h"
#include "platform/com_ptr.h"
#include "platform/platform.h"

#include <lumicap/lumicap.h>

#include <memory>

namespace lumicap {

class CaptureManager;

struct ModuleState {
    // Created once by CreateInstance; kept until the process ends.
    std::unique_ptr<CaptureManager> theManager;
    LogCallback logCallback = nullptr;
    // The video device and its manager, of the current engine set-up.
    ComPtr<ID3D11Device> d3dDevice;
    ComPtr<IMFDXGIDeviceManager> deviceManager;
    UINT resetToken = 0;
    // The cameras found by the last InitializeCamera, and the index of the chosen one.
    CameraDeviceArray cameraDevices;
    int32_t selectedCamera = 0;
    // The block handed out by the latest GetLastPhoto.
    BYTE* lastPhotoBuffer = nullptr;
    // From CreateInstance on: WM_CAMERA_DEVICES_CHANGED, and the platform's watcher that feeds it.
    std::unique_ptr<DeviceChangeNotices> deviceChangeNotices;
    std::unique_ptr<platform::DeviceWatcher> deviceWatcher;
};

// Never destroyed: the manager and its engine set-up live until the process ends, and nothing may be
// released at exit behind the platform's back.
ModuleState& Module();

// Releases what the library holds when it is unloaded: the enumerated cameras and the device watcher.
void UnloadCleanup();

}  // namespace lumicap
