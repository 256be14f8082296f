// Activation objects for the cameras device enumeration lists.
#pragma once

#include "virtual_internal.h"

#include <memory>

namespace lumicap::virt {

// A fresh activation object for the camera, sharing its record.
HRESULT CreateActivation(std::shared_ptr<CameraRecord> camera, IMFActivate** activate);

}  // namespace lumicap::virt
