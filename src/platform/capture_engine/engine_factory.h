// The capture engine's class factory.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

// The capture engine class factory (IMFCaptureEngineClassFactory); CoCreateInstance hands it out.
HRESULT CreateCaptureEngineFactory(REFIID iid, void** factory);

}  // namespace lumicap::virt
