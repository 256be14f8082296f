// Activation objects for the cameras device enumeration lists.
#pragma once
#include "platform/capture_engine/camera_record.h"


#include <memory>

namespace lumicap::virt {

// A fresh activation object for the camera, sharing its record.
HRESULT CreateActivation(std::shared_ptr<CameraRecord> camera, IMFActivate** activate);

// The camera behind an activation object made by MFEnumDeviceSources, or null for anything else.
std::shared_ptr<CameraRecord> CameraFromActivate(IUnknown* activate);

}  // namespace lumicap::virt
