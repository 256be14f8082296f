// WaitForSingleObject and MsgWaitForMultipleObjects: sleeping until an event is signalled, a message
// arrives for the calling thread, or the time runs out.
#include "platform/portable/portable_state.h"

#include "platform/no_throw.h"

#include <array>
#include <chrono>

using lumicap::portable::detail::CurrentThreadQueue;
using lumicap::portable::detail::EventObject;
using lumicap::portable::detail::SharedState;
using lumicap::portable::detail::State;
using lumicap::portable::detail::ThreadQueue;

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kPending = WAIT_FAILED - 1;
constexpr DWORD kPostedMessageInput = QS_POSTMESSAGE | 0x0100;  // QS_ALLPOSTMESSAGE

// The events of one wait, kept alive even if another thread closes their handles meanwhile. While
// armed, the waiting thread is listed on each event so that SetEvent wakes it.
class WaitSet {
public:
    WaitSet(SharedState& state, ThreadQueue& waiter) : state_(state), waiter_(waiter) {}
    WaitSet(const WaitSet&) = delete;
    WaitSet& operator=(const WaitSet&) = delete;
    // The state mutex is held for the whole wait, so leaving the list needs no locking here.
    ~WaitSet() { Disarm(); }

    bool Resolve(const HANDLE* handles, DWORD count)
    {
        for (DWORD i = 0; i < count; ++i) {
            auto found = state_.events.find(reinterpret_cast<uintptr_t>(handles[i]));
            if (found == state_.events.end()) return false;
            events_[i] = found->second;
        }
        count_ = count;
        return true;
    }

    // Index of the first signalled event, consuming an auto-reset signal; count when none is.
    DWORD TakeSignalled()
    {
        for (DWORD i = 0; i < count_; ++i) {
            if (!events_[i]->signalled) continue;
            if (!events_[i]->manualReset) events_[i]->signalled = false;
            return i;
        }
        return count_;
    }

    void Arm()
    {
        for (DWORD i = armed_; i < count_; ++i, ++armed_) events_[i]->waiters.push_back(&waiter_);
    }

private:
    void Disarm()
    {
        for (DWORD i = 0; i < armed_; ++i) {
            auto& waiters = events_[i]->waiters;
            for (auto it = waiters.begin(); it != waiters.end(); ++it) {
                if (*it != &waiter_) continue;
                waiters.erase(it);
                break;
            }
        }
    }

    SharedState& state_;
    ThreadQueue& waiter_;
    std::array<std::shared_ptr<EventObject>, MAXIMUM_WAIT_OBJECTS> events_;
    DWORD count_ = 0;
    DWORD armed_ = 0;
};

DWORD Fail(DWORD error)
{
    SetLastError(error);
    return WAIT_FAILED;
}

DWORD CheckReady(WaitSet& set, DWORD count, bool wakeOnInput, const ThreadQueue& queue)
{
    const DWORD signalled = set.TakeSignalled();
    if (signalled < count) return WAIT_OBJECT_0 + signalled;
    if (wakeOnInput && queue.HasInput()) return WAIT_OBJECT_0 + count;
    return kPending;
}

// The wait behind both calls; the events come first, then the calling thread's messages.
DWORD WaitForAny(const HANDLE* handles, DWORD count, bool wakeOnInput, DWORD milliseconds)
{
    const auto& queue = CurrentThreadQueue();
    if (!queue) return WAIT_FAILED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    SharedState& state = State();
    std::unique_lock<std::mutex> lock(state.mutex);
    WaitSet set(state, *queue);
    if (!set.Resolve(handles, count)) return Fail(ERROR_INVALID_HANDLE);
    for (;;) {
        const DWORD ready = CheckReady(set, count, wakeOnInput, *queue);
        if (ready != kPending) return ready;
        if (milliseconds != INFINITE && Clock::now() >= deadline) return WAIT_TIMEOUT;
        if (FAILED(lumicap::NoThrow([&] { set.Arm(); }))) return Fail(ERROR_NOT_ENOUGH_MEMORY);
        queue->waitingForMessages = wakeOnInput;
        if (milliseconds == INFINITE) {
            queue->wake.wait(lock);
        } else {
            queue->wake.wait_until(lock, deadline);
        }
        queue->waitingForMessages = false;
    }
}

}  // namespace

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForAny(&hHandle, 1, false, dwMilliseconds);
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                DWORD dwWakeMask)
{
    // One slot of Windows' wait list is taken by the message queue.
    if (fWaitAll || nCount >= MAXIMUM_WAIT_OBJECTS || (nCount != 0 && !pHandles)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    return WaitForAny(pHandles, nCount, (dwWakeMask & kPostedMessageInput) != 0, dwMilliseconds);
}
