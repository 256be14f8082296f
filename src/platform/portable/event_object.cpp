// Event objects: unnamed, manual- or auto-reset.
#include "platform/portable/portable_hooks.h"
#include "platform/no_throw.h"
#include "platform/portable/portable_state.h"

#include <atomic>

using lumicap::portable::detail::EventObject;
using lumicap::portable::detail::FindEvent;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;

namespace {

std::atomic<lumicap::portable::CreateEventFaultHook> g_createEventFault{nullptr};

bool FaultInjected()
{
    auto hook = g_createEventFault.load(std::memory_order_acquire);
    DWORD lastError = ERROR_OUTOFMEMORY;
    if (!hook || !hook(&lastError)) return false;
    SetLastError(lastError);
    return true;
}

HANDLE Register(std::shared_ptr<EventObject> event)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const uintptr_t id = state.lastEventId + 4;
    state.events.emplace(id, std::move(event));
    state.lastEventId = id;
    return reinterpret_cast<HANDLE>(id);
}

// Runs change on the live event named by handle; FALSE with ERROR_INVALID_HANDLE when there is none.
template <typename Change>
BOOL WithEvent(HANDLE handle, Change change)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    EventObject* event = FindEvent(state, handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    change(*event);
    return TRUE;
}

}  // namespace

namespace lumicap::portable {

CreateEventFaultHook SetCreateEventFaultHook(CreateEventFaultHook hook)
{
    return g_createEventFault.exchange(hook, std::memory_order_acq_rel);
}

}  // namespace lumicap::portable

HANDLE CreateEventW(void* /*lpEventAttributes*/, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName)
{
    if (lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (FaultInjected()) return nullptr;
    HANDLE handle = nullptr;
    const HRESULT hr = lumicap::NoThrow([&] {
        auto event = std::make_shared<EventObject>();
        event->manualReset = bManualReset != FALSE;
        event->signalled = bInitialState != FALSE;
        handle = Register(std::move(event));
    });
    SetLastError(SUCCEEDED(hr) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY);
    return handle;
}

BOOL SetEvent(HANDLE hEvent)
{
    return WithEvent(hEvent, [](EventObject& event) {
        if (event.signalled) return;
        event.signalled = true;
        for (auto* waiter : event.waiters) waiter->wake.notify_one();
    });
}

BOOL ResetEvent(HANDLE hEvent)
{
    return WithEvent(hEvent, [](EventObject& event) { event.signalled = false; });
}

BOOL CloseHandle(HANDLE hObject)
{
    SharedState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    // A thread already waiting keeps its own reference, as a wait on Windows keeps the object alive.
    if (state.events.erase(reinterpret_cast<uintptr_t>(hObject)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
