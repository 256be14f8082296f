// The conditions set on the virtual cameras, by friendly name (virtual_platform.h's control calls).
#pragma once

namespace lumicap::virt {

// Every camera back to normal (called by Reset()).
void ResetCameraConditions();

}  // namespace lumicap::virt
