// An engine released while its preview draws stops drawing only a little later, on a thread of its
// own, as the system's does: until then it keeps its window.
#pragma once

#include <functional>

namespace lumicap::virt {

// Runs stop after the delay on a thread of its own; at once, here, when no thread can be had.
void StopLater(std::function<void()> stop);
// Runs every pending stop now and waits for them (a fresh platform has none).
void FinishLateStops();

}  // namespace lumicap::virt
