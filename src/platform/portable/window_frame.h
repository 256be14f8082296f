// A frame handed to a message window without a copy (non-Windows only).
#pragma once

#include <lumicap/portable/win32.h>

#include <vector>

namespace lumicap::portable {

// As LumicapPresentFrame, but the window takes the buffer itself: pixels gets the window's previous
// frame's buffer back (of any size, possibly empty) for the caller to fill next. pixels must hold
// width x height values. FALSE, with pixels left alone, for a window that is gone.
BOOL PresentFrameBuffer(HWND hWnd, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height);

}  // namespace lumicap::portable
