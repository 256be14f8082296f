#include "late_stop.h"

#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace lumicap::virt {
namespace {

constexpr auto kDelay = std::chrono::milliseconds(500);

struct LateStops {
    std::mutex mutex;
    std::condition_variable hurry;
    bool hurrying = false;
    std::list<std::thread> threads;
    std::list<std::thread> finished;  // joined by the next caller
};

LateStops& TheStops()
{
    static NoDestructor<LateStops> stops;
    return stops.Get();
}

void JoinFinished(LateStops& stops)
{
    std::list<std::thread> finished;
    {
        std::lock_guard<std::mutex> lock(stops.mutex);
        finished.swap(stops.finished);
    }
    for (std::thread& thread : finished) thread.join();
}

}  // namespace

void StopLater(std::function<void()> stop)
{
    LateStops& stops = TheStops();
    JoinFinished(stops);
    std::unique_lock<std::mutex> lock(stops.mutex);
    const HRESULT hr = NoThrowStartingThread([&] {
        stops.threads.emplace_back();
        auto self = std::prev(stops.threads.end());
        *self = std::thread([&stops, stop, self] {
            {
                std::unique_lock<std::mutex> wait(stops.mutex);
                stops.hurry.wait_for(wait, kDelay, [&] { return stops.hurrying; });
            }
            stop();
            std::lock_guard<std::mutex> done(stops.mutex);
            stops.finished.splice(stops.finished.end(), stops.threads, self);
        });
    });
    if (SUCCEEDED(hr)) return;
    if (!stops.threads.empty() && !stops.threads.back().joinable()) stops.threads.pop_back();
    lock.unlock();
    stop();
}

void FinishLateStops()
{
    LateStops& stops = TheStops();
    {
        std::lock_guard<std::mutex> lock(stops.mutex);
        stops.hurrying = true;
    }
    stops.hurry.notify_all();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(stops.mutex);
            if (stops.threads.empty()) break;
        }
        JoinFinished(stops);
        std::this_thread::yield();
    }
    JoinFinished(stops);
    std::lock_guard<std::mutex> lock(stops.mutex);
    stops.hurrying = false;
}

}  // namespace lumicap::virt
