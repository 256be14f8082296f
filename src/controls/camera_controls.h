// The camera-control operations behind the Lumicap*Control exports. Each runs on the host's thread
// and reaches the camera of the current set-up through its capture source's device source.
#pragma once

#include "platform/platform.h"

namespace lumicap {

HRESULT GetControlRange(INT32 control, INT32* minimum, INT32* maximum, INT32* step, INT32* defaultValue,
                        INT32* capsFlags);
HRESULT GetControl(INT32 control, INT32* value, INT32* flags);
HRESULT SetControl(INT32 control, INT32 value, INT32 flags);

}  // namespace lumicap
