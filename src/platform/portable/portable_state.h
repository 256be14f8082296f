// What the portable event objects, wait functions and message windows share (non-Windows only).
//
// One mutex guards every event, window and message queue, so a wait can watch events and a thread's
// messages together without lock ordering; each thread sleeps on a condition variable of its own.
// Handles and window handles are ids looked up in registries, never pointers, so a closed or made-up
// handle fails cleanly.
#pragma once

#include <lumicap/portable/win32.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace lumicap::portable::detail {

// A thread's posted messages and the condition it sleeps on in any wait.
struct ThreadQueue {
    DWORD threadId = 0;
    std::deque<MSG> messages;
    bool quitPosted = false;
    int quitCode = 0;
    // Set while the thread sleeps and wants to wake for a new message.
    bool waitingForMessages = false;
    std::condition_variable wake;

    bool HasInput() const { return quitPosted || !messages.empty(); }
};

struct EventObject {
    bool manualReset = false;
    bool signalled = false;
    // Threads asleep in a wait that includes this event.
    std::vector<ThreadQueue*> waiters;
};

// A message window; its frame has a lock of its own so copying pixels never holds up messages.
struct MessageWindow {
    std::shared_ptr<ThreadQueue> owner;
    WNDPROC procedure = nullptr;  // under the state mutex; null is DefWindowProcW
    std::mutex frameMutex;
    std::vector<uint32_t> pixels;
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 frameCount = 0;
    // The client area and what it shows, under frameMutex.
    UINT32 clientWidth = 0;
    UINT32 clientHeight = 0;
    std::vector<uint32_t> client;
};

struct SharedState {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<EventObject>> events;
    std::unordered_map<uintptr_t, std::shared_ptr<MessageWindow>> windows;
    // Ids are never reused, so a stale handle can never name a newer object.
    uintptr_t lastEventId = 0x100;
    uintptr_t lastWindowId = 0x10000;
};

// Never destroyed: threads may still wait or post while static objects are torn down at exit.
SharedState& State();

// The calling thread's queue, made on first use; empty when memory ran out. Call it without holding
// the state mutex. When the thread ends, its windows are destroyed, as on Windows.
const std::shared_ptr<ThreadQueue>& CurrentThreadQueue();

// Destroys every window the queue's thread owns (its thread is ending).
void DestroyThreadWindows(const ThreadQueue* owner);

// Registry look-ups; the state mutex must be held. Null when the handle names nothing live.
EventObject* FindEvent(SharedState& state, HANDLE handle);
MessageWindow* FindWindow(SharedState& state, HWND hWnd);
// The live window, kept alive past a concurrent DestroyWindow while it is used; null (last error
// set) when the handle names none. Takes the state mutex itself.
std::shared_ptr<MessageWindow> LiveWindow(HWND hWnd);
// Keeps the frame as the window's latest; the window's frame mutex must be held.
BOOL KeepFrame(MessageWindow& window, const uint32_t* pixels, UINT32 width, UINT32 height);

}  // namespace lumicap::portable::detail
