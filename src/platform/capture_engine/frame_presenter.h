// Draws a rendered frame into the window the preview sink was given, and answers what a window has
// received so far (the frames themselves, not the screen).
#pragma once

#include "../platform.h"

#include <cstdint>

namespace lumicap::virt {

// Shows width x height pixels of 0x00RRGGBB (top row first) in the window; false when it cannot.
bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height);

// Frames presented to the window so far.
UINT64 PresentedFrameCount(HANDLE window);

// The latest frame presented to the window: false when there is none. Its size is always reported;
// its pixels are copied only when pixels holds at least width * height values (capacity).
bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height);

}  // namespace lumicap::virt
