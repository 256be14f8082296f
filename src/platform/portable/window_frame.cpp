// What a message window shows: the latest frame presented to it and how many it received.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <algorithm>

using lumicap::portable::detail::LiveWindow;
using lumicap::portable::detail::MessageWindow;

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Keeps the frame as the window's latest; the frame mutex must be held.
BOOL Keep(MessageWindow& window, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    const size_t count = static_cast<size_t>(width) * height;
    if (count > window.pixels.max_size()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (FAILED(lumicap::AssignNoThrow(window.pixels, pixels, pixels + count))) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    window.width = width;
    window.height = height;
    ++window.frameCount;
    return TRUE;
}

// The part of r inside the client area.
RECT Clip(const RECT& r, const MessageWindow& window)
{
    return RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
                std::min<LONG>(r.right, static_cast<LONG>(window.clientWidth)),
                std::min<LONG>(r.bottom, static_cast<LONG>(window.clientHeight))};
}

// Paints the destination black and the frame, scaled to the nearest pixel, into the picture; the
// frame mutex must be held.
void Compose(MessageWindow& window, const uint32_t* pixels, UINT32 width, UINT32 height, const RECT& destination,
             const RECT& picture)
{
    const RECT area = Clip(destination, window);
    const LONG pictureWidth = picture.right - picture.left;
    const LONG pictureHeight = picture.bottom - picture.top;
    for (LONG y = area.top; y < area.bottom; ++y) {
        uint32_t* row = window.client.data() + static_cast<size_t>(y) * window.clientWidth;
        const bool inRows = y >= picture.top && y < picture.bottom;
        const uint32_t* from =
            inRows ? pixels + static_cast<size_t>((y - picture.top) * static_cast<int64_t>(height) / pictureHeight) * width
                   : nullptr;
        for (LONG x = area.left; x < area.right; ++x) {
            const bool inside = from && x >= picture.left && x < picture.right;
            row[x] = inside ? from[(x - picture.left) * static_cast<int64_t>(width) / pictureWidth] : 0;
        }
    }
}

}  // namespace

BOOL LumicapPresentFrame(HWND hWnd, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    if (!pixels || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    return Keep(*window, pixels, width, height);
}

BOOL LumicapDrawFrame(HWND hWnd, const uint32_t* pixels, UINT32 width, UINT32 height, const RECT* destination,
                      const RECT* picture)
{
    if (!pixels || width == 0 || height == 0 || !destination || !picture) return Fail(ERROR_INVALID_PARAMETER);
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    if (!Keep(*window, pixels, width, height)) return FALSE;
    if (picture->right > picture->left && picture->bottom > picture->top) {
        Compose(*window, pixels, width, height, *destination, *picture);
    }
    return TRUE;
}

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
    if (pixels && capacity >= window->pixels.size()) {
        std::copy(window->pixels.begin(), window->pixels.end(), pixels);
    }
    return TRUE;
}
