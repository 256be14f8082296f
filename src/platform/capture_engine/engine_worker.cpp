#include "engine_worker.h"

#include "platform/control/engine_control.h"
#include "platform/no_throw.h"

#include <chrono>

namespace lumicap::virt {

struct EngineWorker::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::deque<EngineEventData> events;
    bool stopping = false;
    bool busy = false;  // running a job or delivering an event
    Deliver deliver;

    bool CanDeliver() const { return !events.empty() && !CurrentEventControl().hold; }
};

EngineWorker::~EngineWorker() { Stop(); }

HRESULT EngineWorker::Start(Deliver deliver)
{
    if (state_) return S_OK;
    return NoThrowStartingThread([&] {
        auto state = std::make_shared<State>();
        state->deliver = std::move(deliver);
        thread_ = std::thread(&EngineWorker::Run, state);
        state_ = std::move(state);
    });
}

HRESULT EngineWorker::Post(Job job)
{
    if (!state_) return MF_E_NOT_INITIALIZED;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->stopping) return MF_E_SHUTDOWN;
        const HRESULT hr = PushBackNoThrow(state_->jobs, std::move(job));
        if (FAILED(hr)) return hr;
    }
    state_->wake.notify_one();
    return S_OK;
}

void EngineWorker::Wake()
{
    if (!state_) return;
    // Taking the lock orders this wake after the worker's last look at the control.
    { std::lock_guard<std::mutex> lock(state_->mutex); }
    state_->wake.notify_one();
}

bool EngineWorker::Idle() const
{
    if (!state_) return true;
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !state_->busy && state_->jobs.empty() && state_->events.empty();
}

void EngineWorker::Stop()
{
    if (!state_) return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
        state_->jobs.clear();
        state_->events.clear();
    }
    state_->wake.notify_one();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
}

void EngineWorker::Run(const std::shared_ptr<State>& state)
{
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->jobs.empty() || state->CanDeliver(); });
        if (state->stopping) return;
        if (state->CanDeliver()) {
            const unsigned delay = CurrentEventControl().delayMilliseconds;
            if (delay > 0 &&
                state->wake.wait_for(lock, std::chrono::milliseconds(delay), [&] { return state->stopping; })) {
                return;
            }
            // Events may have been held again during the delay: look again before delivering.
            if (!state->CanDeliver()) continue;
            const EngineEventData event = state->events.front();
            state->events.pop_front();
            state->busy = true;
            lock.unlock();
            state->deliver(event);
            lock.lock();
            state->busy = false;
            continue;
        }
        Job job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->busy = true;
        lock.unlock();
        const EngineEventData event = job();
        lock.lock();
        state->busy = false;
        if (state->stopping) return;
        // Should it fail, the event is lost; the engine keeps running.
        PushBackNoThrow(state->events, event);
    }
}

}  // namespace lumicap::virt
