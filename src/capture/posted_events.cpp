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

bool PostedEvents::Reserve()
{
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        events_.reserve(kCapacity);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void PostedEvents::Add(IMFMediaEvent* event, uint64_t setUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find_if(events_.begin(), events_.end(), [&](const auto& e) { return e.first == event; });
    // A live event cannot share its address with one still recorded: that one's message was lost and the
    // object freed, so its record is the new event's now.
    if (found != events_.end()) {
        found->second = setUp;
        return;
    }
    if (events_.size() == events_.capacity()) {
        try {
            events_.reserve(events_.capacity() * 2 + 1);
        } catch (const std::bad_alloc&) {
            events_.erase(events_.begin());
        }
    }
    events_.emplace_back(event, setUp);
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
