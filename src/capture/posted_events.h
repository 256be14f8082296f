// The engine events on their way to the host: posted with WM_CAMERA_EVENT and not handed back to
// OnCaptureEvent yet, each with the engine set-up that sent it. Engine threads add to it; the host's
// thread takes from it.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace lumicap {

class PostedEvents {
public:
    // Windows' default limit of posted messages in one thread's queue: no more WM_CAMERA_EVENTs can
    // be waiting at once.
    static constexpr size_t kCapacity = 10000;

    // Room for kCapacity records, so that Add never needs memory. False if it could not be had.
    bool Reserve();
    // A number no earlier engine set-up had.
    uint64_t NewSetUp();
    // Records that the set-up posted the event. Never fails: when the record is full and cannot grow,
    // the oldest record goes, most likely that of a message the host dropped.
    void Add(IMFMediaEvent* event, uint64_t setUp);
    // Takes the event off the record: whether it was on it, and which set-up posted it.
    bool Take(IMFMediaEvent* event, uint64_t* setUp);

private:
    std::mutex mutex_;
    uint64_t lastSetUp_ = 0;
    std::vector<std::pair<IMFMediaEvent*, uint64_t>> events_;
};

// Never destroyed: an engine thread may still post while the process exits.
PostedEvents& ThePostedEvents();

}  // namespace lumicap
