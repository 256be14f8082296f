// The capture engine's events.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

// An engine event with MEExtendedType, the given extended type and status.
HRESULT CreateEngineEvent(REFGUID extendedType, HRESULT status, IMFMediaEvent** event);

}  // namespace lumicap::virt
