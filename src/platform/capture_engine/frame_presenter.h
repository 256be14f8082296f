// Draws a rendered frame into the window the preview sink was given, and answers what a window has
// received so far (the frames themselves, not the screen).
#pragma once

#include "../com_ptr.h"
#include "../platform.h"

#include <cstdint>
#include <vector>

namespace lumicap::virt {

// What the host set on the preview sink for drawing: mirroring, the destination rectangle in the
// window's client area (by UpdateVideo; without one the client area at the preview's start) and
// the sample callback.
struct PreviewPresentation {
    bool mirrored = false;
    bool hasDestination = false;
    RECT destination{};
    // Set: each frame goes to it as an RGB32 sample instead of into the window.
    ComPtr<IMFCaptureEngineOnSampleCallback> sampleCallback;
};

// Shows width x height RGB32 pixels (top row first) in the window's destination rectangle, letterboxed
// with black bars; false when it cannot. The frame becomes the window's latest, even while it cannot be
// drawn, without a copy: pixels gets the buffer of the window's previous frame back (of any size).
bool PresentFrame(HANDLE window, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height, const RECT& destination);

// Frames presented to the window so far.
UINT64 PresentedFrameCount(HANDLE window);

// The latest frame presented to the window, as 0x00RRGGBB: false when there is none. Its size is always reported;
// its pixels are copied only when pixels holds at least width * height values (capacity).
bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height);

}  // namespace lumicap::virt
