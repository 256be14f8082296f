// Reset(): the virtual platform as a fresh process has it.
#include "camera_conditions.h"
#include "virtual_platform.h"
#include "platform/capture_engine/late_stop.h"

namespace lumicap::virt {

// Engines go first so nothing they do while winding down lands in the fresh operation log.
void Reset()
{
    ResetEngines();
    FinishLateStops();
    ResetCameraConditions();
    SetCameras(DefaultCameras());
    ResetOperations();
}

}  // namespace lumicap::virt
