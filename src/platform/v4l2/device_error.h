// Turns a failed V4L2 call's errno into the HRESULT that Windows' capture engine reports for the
// same situation, so that callers above the backend see one set of codes on every platform.
#pragma once

#include "platform/platform.h"

namespace lumicap::v4l2 {

// What the device layer was doing when the call failed: the same errno means different things
// while opening, while negotiating and once frames flow.
enum class DeviceStep { open, query, format, buffers, streamOn, streaming };

// Never a success code, whatever err is (0 included).
HRESULT DeviceError(int err, DeviceStep step);

}  // namespace lumicap::v4l2
