// Window procedures and client areas of message windows: enough for a library to subclass a host's
// window and follow its size, as it does on Windows.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

using lumicap::portable::detail::FindWindow;
using lumicap::portable::detail::LiveWindow;
using lumicap::portable::detail::MessageWindow;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;

namespace {

// The window's procedure, read under the lock and called outside it; null when the window is gone.
WNDPROC ProcedureOf(HWND hWnd, bool* found)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MessageWindow* window = FindWindow(state, hWnd);
    *found = window != nullptr;
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window && window->procedure ? window->procedure : DefWindowProcW;
}

// Resizes the client picture, keeping what overlaps and showing the background elsewhere.
bool ResizeClient(MessageWindow& window, UINT32 width, UINT32 height)
{
    std::vector<uint32_t> resized;
    if (FAILED(lumicap::ResizeNoThrow(resized, static_cast<size_t>(width) * height))) return false;
    std::fill(resized.begin(), resized.end(), LUMICAP_WINDOW_BACKGROUND);
    for (UINT32 y = 0; y < std::min(height, window.clientHeight); ++y) {
        const uint32_t* from = window.client.data() + static_cast<size_t>(y) * window.clientWidth;
        std::copy(from, from + std::min(width, window.clientWidth), resized.data() + static_cast<size_t>(y) * width);
    }
    window.client.swap(resized);
    window.clientWidth = width;
    window.clientHeight = height;
    return true;
}

}  // namespace

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    bool found = false;
    const WNDPROC procedure = ProcedureOf(hWnd, &found);
    return found ? procedure(hWnd, Msg, wParam, lParam) : 0;
}

LRESULT DispatchMessageW(const MSG* lpMsg)
{
    if (!lpMsg) return 0;
    return SendMessageW(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    if (nIndex != GWLP_WNDPROC) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool found = false;
    const WNDPROC procedure = ProcedureOf(hWnd, &found);
    return found ? reinterpret_cast<LONG_PTR>(procedure) : 0;
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    if (nIndex != GWLP_WNDPROC || dwNewLong == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MessageWindow* window = FindWindow(state, hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const WNDPROC previous = window->procedure ? window->procedure : DefWindowProcW;
    window->procedure = reinterpret_cast<WNDPROC>(dwNewLong);
    return reinterpret_cast<LONG_PTR>(previous);
}

BOOL GetClientRect(HWND hWnd, RECT* lpRect)
{
    const std::shared_ptr<MessageWindow> window = LiveWindow(hWnd);
    if (!window || !lpRect) return FALSE;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    *lpRect = RECT{0, 0, static_cast<LONG>(window->clientWidth), static_cast<LONG>(window->clientHeight)};
    return TRUE;
}

BOOL SetWindowPos(HWND hWnd, HWND, int, int, int cx, int cy, UINT uFlags)
{
    const std::shared_ptr<MessageWindow> window = LiveWindow(hWnd);
    if (!window) return FALSE;
    if (uFlags & SWP_NOSIZE) return TRUE;
    const UINT32 width = static_cast<UINT32>(std::max(cx, 0));
    const UINT32 height = static_cast<UINT32>(std::max(cy, 0));
    {
        std::lock_guard<std::mutex> lock(window->frameMutex);
        if (width == window->clientWidth && height == window->clientHeight) return TRUE;
        if (!ResizeClient(*window, width, height)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }
    SendMessageW(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    return TRUE;
}
