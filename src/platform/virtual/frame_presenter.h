// Draws a rendered frame into the window the preview sink was given.
#pragma once

#include "../platform.h"

#include <cstdint>

namespace lumicap::virt {

// Shows width x height pixels of 0x00RRGGBB (top row first) in the window; false when it cannot.
bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height);

}  // namespace lumicap::virt
