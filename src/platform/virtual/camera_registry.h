// The cameras plugged in now, as device enumeration lists them.
#pragma once

#include "virtual_internal.h"

#include <memory>
#include <vector>

namespace lumicap::virt {

std::vector<std::shared_ptr<CameraRecord>> PluggedCameras();

}  // namespace lumicap::virt
