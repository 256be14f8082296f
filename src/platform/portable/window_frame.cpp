// What a message window shows: the latest frame presented to it and how many it received.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <algorithm>

using lumicap::portable::detail::MessageWindow;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;

namespace {

// The live window, kept alive past a concurrent DestroyWindow while its frame is used.
std::shared_ptr<MessageWindow> LiveWindow(HWND hWnd)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto found = state.windows.find(reinterpret_cast<uintptr_t>(hWnd));
    if (found != state.windows.end()) return found->second;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL LumicapPresentFrame(HWND hWnd, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    if (!pixels || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
    auto window = LiveWindow(hWnd);
    if (!window) return FALSE;
    const size_t count = static_cast<size_t>(width) * height;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    if (count > window->pixels.max_size()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (FAILED(lumicap::AssignNoThrow(window->pixels, pixels, pixels + count))) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    window->width = width;
    window->height = height;
    ++window->frameCount;
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
