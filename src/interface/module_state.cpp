#include "module_state.h"

#include "capture/capture_manager.h"
#include "discovery/camera_discovery.h"
#include "discovery/device_change_notices.h"
#include "platform/no_destructor.h"

namespace lumicap {

ModuleState& Module()
{
    static NoDestructor<ModuleState> state;
    return state.Get();
}

void UnloadCleanup()
{
    // The watcher's window procedure and thread are code of this library: they stop before it goes.
    StopWatchingDevices();
    ReleaseCameraDevices();
}

}  // namespace lumicap
