// The few calls of the portable subset that the unit tests use as a host's stand-ins, provided on
// Windows (force-included into every unit test source): a message window for the thread, and what
// the preview presented to a window.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>

// A message-only window owned by the calling thread; messages are read with PeekMessageW/GetMessageW.
HWND LumicapCreateMessageWindow(void);
UINT64 LumicapGetFrameCount(HWND hWnd);
BOOL LumicapGetLatestFrame(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height);
#endif
