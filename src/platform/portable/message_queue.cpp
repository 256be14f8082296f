// Posted messages: any thread posts, the owning thread peeks or gets, first in first out.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <chrono>

using lumicap::portable::detail::CurrentThreadQueue;
using lumicap::portable::detail::FindWindow;
using lumicap::portable::detail::MessageWindow;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;
using lumicap::portable::detail::ThreadQueue;

namespace {

// As on Windows, this hWnd filter selects only the messages posted to the thread itself.
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

DWORD TickCount()
{
    const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool InRange(UINT message, UINT filterMin, UINT filterMax)
{
    if (filterMin == 0 && filterMax == 0) return true;
    return filterMin <= message && message <= filterMax;
}

bool ForWindow(const MSG& message, HWND filter)
{
    if (filter == kThreadMessagesOnly) return message.hwnd == nullptr;
    return filter == nullptr || message.hwnd == filter;
}

// Whether the calling thread may read the messages of filter; the state mutex must be held.
bool IsOwnFilter(SharedState& state, HWND filter, const ThreadQueue& queue)
{
    if (filter == nullptr || filter == kThreadMessagesOnly) return true;
    MessageWindow* window = FindWindow(state, filter);
    return window && window->owner.get() == &queue;
}

// The first matching message, else WM_QUIT once nothing else matches (it ignores the range filter,
// as on Windows, but belongs to no window).
bool TakeMessage(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax, bool remove, MSG* out)
{
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
        if (!ForWindow(*it, filter) || !InRange(it->message, filterMin, filterMax)) continue;
        *out = *it;
        if (remove) queue.messages.erase(it);
        return true;
    }
    if (!queue.quitPosted || (filter != nullptr && filter != kThreadMessagesOnly)) return false;
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, TickCount(), {0, 0}};
    if (remove) queue.quitPosted = false;
    return true;
}

// The queue a post goes to: the window's owner, or the calling thread's for a null hWnd; null when
// the window is not live. The state mutex must be held.
const std::shared_ptr<ThreadQueue>* TargetQueue(SharedState& state, HWND hWnd, const std::shared_ptr<ThreadQueue>& own)
{
    if (!hWnd) return own ? &own : nullptr;
    MessageWindow* window = FindWindow(state, hWnd);
    return window ? &window->owner : nullptr;
}

// Queues the message; false when its window is not live. *sleeper is set to the owner when it sleeps
// waiting for a message.
bool Enqueue(const MSG& message, const std::shared_ptr<ThreadQueue>& own, std::shared_ptr<ThreadQueue>* sleeper)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const std::shared_ptr<ThreadQueue>* target = TargetQueue(state, message.hwnd, own);
    if (!target) return false;
    (*target)->messages.push_back(message);
    if ((*target)->waitingForMessages) *sleeper = *target;
    return true;
}

}  // namespace

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const MSG message{hWnd, Msg, wParam, lParam, TickCount(), {0, 0}};
    const std::shared_ptr<ThreadQueue> none;
    std::shared_ptr<ThreadQueue> sleeper;
    bool queued = false;
    if (FAILED(lumicap::NoThrow([&] { queued = Enqueue(message, hWnd ? none : CurrentThreadQueue(), &sleeper); }))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!queued) {
        SetLastError(hWnd ? ERROR_INVALID_WINDOW_HANDLE : ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // Woken after the mutex is released, so the owner does not wake only to block on it.
    if (sleeper) sleeper->wake.notify_one();
    return TRUE;
}

BOOL PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& queue = CurrentThreadQueue();
    if (!queue) return FALSE;
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!IsOwnFilter(state, hWnd, *queue)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    return TakeMessage(*queue, hWnd, wMsgFilterMin, wMsgFilterMax, remove, lpMsg) ? TRUE : FALSE;
}

BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const auto& queue = CurrentThreadQueue();
    if (!queue) return -1;
    SharedState& state = State();
    std::unique_lock<std::mutex> lock(state.mutex);
    // The window is checked again after every wake-up: another thread may destroy it meanwhile.
    while (IsOwnFilter(state, hWnd, *queue)) {
        if (TakeMessage(*queue, hWnd, wMsgFilterMin, wMsgFilterMax, true, lpMsg)) {
            return lpMsg->message == WM_QUIT ? 0 : 1;
        }
        queue->waitingForMessages = true;
        queue->wake.wait(lock);
        queue->waitingForMessages = false;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
}

void PostQuitMessage(int nExitCode)
{
    const auto& queue = CurrentThreadQueue();
    if (!queue) return;
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    queue->quitPosted = true;
    queue->quitCode = nExitCode;
}
