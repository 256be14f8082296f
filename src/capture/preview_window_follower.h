// Keeps the preview sink's picture on its window's client area: the window is subclassed on the
// host's thread, which owns it, and the sink hears of each size change and paint.
#pragma once

#include "platform/platform.h"

namespace lumicap {

// Subclasses the window for this sink, ending any earlier following. Nothing happens for a window
// that is gone or belongs to another thread (its messages would reach the sink on that thread).
void FollowPreviewWindow(HWND window, IMFCapturePreviewSink* sink);
// Removes the subclass; when another one was put on top since, ours stays and only passes messages on.
void StopFollowingPreviewWindow();

}  // namespace lumicap
