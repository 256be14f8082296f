// Message windows: ids in a registry, each owned by the thread that made it.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <algorithm>
#include <unistd.h>

using lumicap::portable::detail::CurrentThreadQueue;
using lumicap::portable::detail::FindWindow;
using lumicap::portable::detail::MessageWindow;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;
using lumicap::portable::detail::ThreadQueue;

namespace {

// Removes the window and whatever it still had queued; the state mutex must be held.
void Unregister(SharedState& state, uintptr_t id)
{
    auto found = state.windows.find(id);
    ThreadQueue& owner = *found->second->owner;
    const HWND hWnd = reinterpret_cast<HWND>(id);
    auto& messages = owner.messages;
    messages.erase(std::remove_if(messages.begin(), messages.end(), [hWnd](const MSG& m) { return m.hwnd == hWnd; }),
                   messages.end());
    state.windows.erase(found);
    // A GetMessageW waiting on this very window must learn that it is gone.
    if (owner.waitingForMessages) owner.wake.notify_one();
}

}  // namespace

namespace lumicap::portable::detail {

void DestroyThreadWindows(const ThreadQueue* owner)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto it = state.windows.begin(); it != state.windows.end();) {
        const uintptr_t id = it->first;
        const bool owned = it->second->owner.get() == owner;
        ++it;
        if (owned) Unregister(state, id);
    }
}

}  // namespace lumicap::portable::detail

HWND LumicapCreateMessageWindow(void)
{
    const auto& owner = CurrentThreadQueue();
    if (!owner) return nullptr;
    HWND created = nullptr;
    const HRESULT hr = lumicap::NoThrow([&] {
        auto window = std::make_shared<MessageWindow>();
        window->owner = owner;
        SharedState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        const uintptr_t id = state.lastWindowId + 2;
        state.windows.emplace(id, std::move(window));
        state.lastWindowId = id;
        created = reinterpret_cast<HWND>(id);
    });
    if (FAILED(hr)) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return created;
}

BOOL DestroyWindow(HWND hWnd)
{
    // As on Windows, the window's procedure hears of the end last, while the window still exists.
    if (GetWindowThreadProcessId(hWnd, nullptr) == GetCurrentThreadId()) SendMessageW(hWnd, WM_NCDESTROY, 0, 0);
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!FindWindow(state, hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Unregister(state, reinterpret_cast<uintptr_t>(hWnd));
    return TRUE;
}

BOOL IsWindow(HWND hWnd)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return FindWindow(state, hWnd) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MessageWindow* window = FindWindow(state, hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) *lpdwProcessId = static_cast<DWORD>(getpid());
    return window->owner->threadId;
}
