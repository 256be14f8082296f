// The shared registries and each thread's message queue.
#include "platform/portable/portable_state.h"

#include "platform/no_destructor.h"
#include "platform/no_throw.h"

namespace lumicap::portable::detail {

namespace {

// Ends the thread's windows when the thread ends.
struct ThreadSlot {
    std::shared_ptr<ThreadQueue> queue;
    ~ThreadSlot()
    {
        if (queue) DestroyThreadWindows(queue.get());
    }
};

thread_local ThreadSlot t_slot;

}  // namespace

SharedState& State()
{
    static NoDestructor<SharedState> state;
    return state.Get();
}

const std::shared_ptr<ThreadQueue>& CurrentThreadQueue()
{
    if (!t_slot.queue) {
        const HRESULT hr = lumicap::NoThrow([] {
            auto queue = std::make_shared<ThreadQueue>();
            queue->threadId = GetCurrentThreadId();
            t_slot.queue = std::move(queue);
        });
        if (FAILED(hr)) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return t_slot.queue;
}

EventObject* FindEvent(SharedState& state, HANDLE handle)
{
    auto found = state.events.find(reinterpret_cast<uintptr_t>(handle));
    return found != state.events.end() ? found->second.get() : nullptr;
}

MessageWindow* FindWindow(SharedState& state, HWND hWnd)
{
    auto found = state.windows.find(reinterpret_cast<uintptr_t>(hWnd));
    return found != state.windows.end() ? found->second.get() : nullptr;
}

std::shared_ptr<MessageWindow> LiveWindow(HWND hWnd)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto found = state.windows.find(reinterpret_cast<uintptr_t>(hWnd));
    if (found != state.windows.end()) return found->second;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

}  // namespace lumicap::portable::detail
