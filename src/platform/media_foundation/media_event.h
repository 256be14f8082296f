// The capture engine's events.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

// An engine event with MEExtendedType, the given extended type and status.
HRESULT CreateEngineEvent(REFGUID extendedType, HRESULT status, IMFMediaEvent** event);
// The extended type of such an event, read without counting as one of the platform's operations.
HRESULT GetExtendedTypeQuietly(IMFMediaEvent* event, GUID* extendedType);

}  // namespace lumicap::virt
