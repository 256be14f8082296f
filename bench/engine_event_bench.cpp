// An engine event from OnEvent on the engine's thread until OnCaptureEvent has handled it on the host
// thread, against a bare condition-variable hand-off between the same two threads.
//
// A sender thread stands in for the engine's worker: each round the host asks it for one hand-off,
// the sender stamps the clock just before handing off, and the host stamps it once the hand-off is
// complete. Both kinds of round alternate on the same two threads.
#include "benches.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"
#include "platform/virtual/virtual_platform.h"
#include "platform/media_foundation/media_event.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lumicap::bench {
namespace {

enum class HandOff { kNone, kEngineEvent, kConditionVariable, kStop };

class Sender {
public:
    explicit Sender(IMFCaptureEngineOnEventCallback* callback) : callback_(callback), thread_([this] { Run(); }) {}
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;
    ~Sender()
    {
        Request(HandOff::kStop);
        thread_.join();
    }

    void Request(HandOff kind)
    {
        {
            std::lock_guard<std::mutex> lock(commandMutex_);
            command_ = kind;
        }
        commandReady_.notify_one();
    }

    // The host's side of the bare hand-off.
    void ReceiveBare()
    {
        std::unique_lock<std::mutex> lock(bareMutex_);
        if (!bareReady_.wait_for(lock, std::chrono::seconds(10), [this] { return bare_; })) {
            throw std::runtime_error("the bare hand-off never arrived");
        }
        bare_ = false;
    }

    Clock::time_point Stamp() const
    {
        return Clock::time_point(Clock::duration(stamp_.load(std::memory_order_acquire)));
    }

private:
    void Run()
    {
        for (;;) {
            HandOff kind = HandOff::kNone;
            {
                std::unique_lock<std::mutex> lock(commandMutex_);
                commandReady_.wait(lock, [this] { return command_ != HandOff::kNone; });
                kind = command_;
                command_ = HandOff::kNone;
            }
            if (kind == HandOff::kStop) return;
            if (kind == HandOff::kEngineEvent) {
                SendEngineEvent();
            } else {
                SendBare();
            }
        }
    }

    void SendEngineEvent()
    {
        // The engine makes its event before calling back; that is the platform's work, not timed.
        ComPtr<IMFMediaEvent> event;
        if (FAILED(virt::CreateEngineEvent(MF_CAPTURE_ENGINE_RECORD_STARTED, S_OK, event.Put()))) return;
        MarkNow();
        callback_->OnEvent(event.Get());
    }

    void SendBare()
    {
        MarkNow();
        {
            std::lock_guard<std::mutex> lock(bareMutex_);
            bare_ = true;
        }
        bareReady_.notify_one();
    }

    void MarkNow() { stamp_.store(Clock::now().time_since_epoch().count(), std::memory_order_release); }

    IMFCaptureEngineOnEventCallback* const callback_;
    std::mutex commandMutex_;
    std::condition_variable commandReady_;
    HandOff command_ = HandOff::kNone;
    std::mutex bareMutex_;
    std::condition_variable bareReady_;
    bool bare_ = false;
    std::atomic<Clock::rep> stamp_{0};
    std::thread thread_;
};

// The normal scheduling policy for the calling thread while this lives (and for the threads it starts),
// whatever the process runs under. A real-time wake-up is sent to the other core by an interrupt,
// which on this virtual machine costs far more than the library's whole path and would hide it; under
// the normal policy the two threads hand off on one core, as a host's threads do.
class NormalScheduling {
public:
    NormalScheduling() : policy_(sched_getscheduler(0))
    {
        sched_getparam(0, &saved_);
        const sched_param normal{};
        sched_setscheduler(0, SCHED_OTHER, &normal);
    }
    NormalScheduling(const NormalScheduling&) = delete;
    NormalScheduling& operator=(const NormalScheduling&) = delete;
    ~NormalScheduling() { sched_setscheduler(0, policy_, &saved_); }

private:
    int policy_;
    sched_param saved_{};
};

// The host's message loop for one event, as an application runs it: wait for input, take the
// message, hand it to the library. Returns the time at which the event was handled.
Clock::time_point ReceiveEngineEvent()
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_CAMERA_EVENT) continue;
            ::OnCaptureEvent(msg.message, msg.wParam);
            return Clock::now();
        }
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_ALLINPUT) == WAIT_TIMEOUT) {
            throw std::runtime_error("the engine event never arrived");
        }
    }
}

}  // namespace

void RunEngineEventBench(const RunLength& length, BenchHost& host, ResultTable& table)
{
    host.OpenCamera(u"Lumicap Virtual Camera");
    IMFCaptureEngineOnEventCallback* callback = Module().theManager->callback.Get();
    if (!callback) throw std::runtime_error("the manager has no engine callback");

    const int rounds = length.Repetitions(20000, 2000);
    std::vector<double> library;
    std::vector<double> baseline;
    {
        const NormalScheduling normal;
        Sender sender(callback);
        for (int i = 0; i < rounds + 100; ++i) {
            sender.Request(HandOff::kEngineEvent);
            const Clock::time_point handled = ReceiveEngineEvent();
            const double lib = NanosecondsBetween(sender.Stamp(), handled);
            sender.Request(HandOff::kConditionVariable);
            sender.ReceiveBare();
            const Clock::time_point received = Clock::now();
            const double base = NanosecondsBetween(sender.Stamp(), received);
            if (i < 100) continue;
            library.push_back(lib);
            baseline.push_back(base);
        }
    }
    const Summary measured = Summarize(library);
    const Summary limit = Summarize(baseline);
    const double ratio = measured.median / limit.median;
    table.AddAndShow({"engine event (normal scheduling): OnEvent (engine thread) to OnCaptureEvent handled "
                      "(host thread)",
                      FormatSummary(measured), "condition-variable hand-off: " + FormatSummary(limit),
                      FormatFixed(ratio, 2) + "x median", "<= 2.00x median", AtMost(ratio, 2.0)},
                     stdout);
}

}  // namespace lumicap::bench
