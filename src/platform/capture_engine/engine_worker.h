// The capture engine's worker thread: it runs the engine's jobs in order and delivers the events they
// produce, honouring held events and the event delay.
#pragma once

#include "../platform.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace lumicap::virt {

// What an engine reports: an extended event type and its status.
struct EngineEventData {
    GUID type;
    HRESULT status;
};

class EngineWorker {
public:
    // A piece of engine work; it returns the event that reports it.
    using Job = std::function<EngineEventData()>;
    using Deliver = std::function<void(const EngineEventData&)>;

    EngineWorker() = default;
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;
    ~EngineWorker();

    // Starts the thread once; later calls do nothing.
    HRESULT Start(Deliver deliver);
    // Queues a job behind the earlier ones.
    HRESULT Post(Job job);
    // Re-reads the event control (after events were released).
    void Wake();
    // Nothing queued, running or being delivered.
    bool Idle() const;
    // Drops what is still queued and ends the thread. Joins it, unless called from the worker itself
    // (a callback releasing the last engine reference), where the thread finishes on its own.
    void Stop();

private:
    struct State;
    static void Run(const std::shared_ptr<State>& state);

    // Shared with the thread so that a thread left to finish on its own never touches freed memory.
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace lumicap::virt
