#include "posted_events.h"

#include "platform/no_destructor.h"

#include <algorithm>
#include <new>

namespace lumicap {

uint64_t PostedEvents::NewSetUp()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ++lastSetUp_;
}

bool PostedEvents::Add(IMFMediaEvent* event, uint64_t setUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find_if(events_.begin(), events_.end(), [&](const auto& e) { return e.first == event; });
    // A live event cannot share its address with one still recorded: that one's message was lost and the
    // object freed, so its record is the new event's now.
    if (found != events_.end()) {
        found->second = setUp;
        return true;
    }
    try {
        events_.emplace_back(event, setUp);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool PostedEvents::Take(IMFMediaEvent* event, uint64_t* setUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find_if(events_.begin(), events_.end(), [&](const auto& e) { return e.first == event; });
    if (found == events_.end()) return false;
    if (setUp) *setUp = found->second;
    events_.erase(found);
    return true;
}

PostedEvents& ThePostedEvents()
{
    static NoDestructor<PostedEvents> events;
    return events.Get();
}

}  // namespace lumicap
