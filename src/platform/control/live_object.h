// The count of the platform's objects alive, so tests see leaked references.
#pragma once

namespace lumicap::virt {

// Every platform object holds one of these for its lifetime.
class LiveObject {
public:
    LiveObject();
    LiveObject(const LiveObject&);
    LiveObject& operator=(const LiveObject&) = default;
    ~LiveObject();
};

// Platform objects alive now (attribute stores, media types, activations, events, engines, sinks,
// sources, devices); 0 once every reference has been given back.
long LiveObjectCount();

}  // namespace lumicap::virt
