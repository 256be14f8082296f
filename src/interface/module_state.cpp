#include "module_state.h"

#include "capture/capture_manager.h"
#include "discovery/camera_discovery.h"
#include "platform/no_destructor.h"

namespace lumicap {

ModuleState& Module()
{
    static NoDestructor<ModuleState> state;
    return state.Get();
}

void UnloadCleanup() { ReleaseCameraDevices(); }

}  // namespace lumicap
