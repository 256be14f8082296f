// What a message window shows: the latest frame presented to it, how many it received, and its
// client area.
#include "platform/portable/window_frame.h"

#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <algorithm>

using lumicap::portable::detail::KeepFrame;
using lumicap::portable::detail::LiveWindow;
using lumicap::portable::detail::MessageWindow;

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

namespace lumicap::portable::detail {

BOOL KeepFrame(MessageWindow& window, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    const size_t count = static_cast<size_t>(width) * height;
    if (count > window.pixels.max_size()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (FAILED(lumicap::AssignNoThrow(window.pixels, pixels, pixels + count))) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    window.width = width;
    window.height = height;
    ++window.frameCount;
    return TRUE;
}

}  // namespace lumicap::portable::detail

BOOL LumicapPresentFrame(HWND hWnd, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    if (!pixels || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    return KeepFrame(*window, pixels, width, height);
}

namespace lumicap::portable {

BOOL PresentFrameBuffer(HWND hWnd, std::vector<uint32_t>& pixels, UINT32 width, UINT32 height)
{
    if (width == 0 || height == 0 || pixels.size() != static_cast<size_t>(width) * height) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    window->pixels.swap(pixels);
    window->width = width;
    window->height = height;
    ++window->frameCount;
    return TRUE;
}

}  // namespace lumicap::portable

BOOL LumicapGetClientPicture(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    if (width) *width = window->clientWidth;
    if (height) *height = window->clientHeight;
    if (pixels && capacity >= window->client.size()) std::copy(window->client.begin(), window->client.end(), pixels);
    return TRUE;
}

UINT64 LumicapGetFrameCount(HWND hWnd)
{
    auto window = LiveWindow(hWnd);
    if (!window) return 0;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    return window->frameCount;
}

BOOL LumicapGetLatestFrame(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    if (window->frameCount == 0) return FALSE;
    if (width) *width = window->width;
    if (height) *height = window->height;
    // A buffer too small receives nothing, but the size is still reported so the caller can grow it.
    // As a screen shows it: RGB32's unused top byte is not part of the picture.
    if (pixels && capacity >= window->pixels.size()) {
        std::transform(window->pixels.begin(), window->pixels.end(), pixels,
                       [](uint32_t pixel) { return pixel & 0x00FFFFFFu; });
    }
    return TRUE;
}
