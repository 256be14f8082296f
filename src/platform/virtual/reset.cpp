// Reset(): the virtual platform as a fresh process has it.
#include "camera_registry.h"
#include "faults.h"

namespace lumicap::virt {

// Engines go first so nothing they do while winding down lands in the fresh operation log.
void Reset()
{
    ResetEngines();
    SetCameras(DefaultCameras());
    ResetOperations();
}

}  // namespace lumicap::virt
