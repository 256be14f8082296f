// The live capture engines, newest last, so the control API can reach them.
#pragma once

#include "../platform.h"

#include <functional>

namespace lumicap::virt {

class CaptureEngine;

HRESULT RegisterEngine(CaptureEngine* engine);
// Called by a dying engine; waits while the control API is using it.
void UnregisterEngine(CaptureEngine* engine);
// Each calls action under the registry's lock, so the engine cannot be destroyed meanwhile, and
// answers false when there is no such engine.
// The most recently created engine, only while it lives.
bool WithNewestEngine(const std::function<void(CaptureEngine&)>& action);
// The most recently created of the engines still alive.
bool WithNewestLiveEngine(const std::function<void(CaptureEngine&)>& action);
void ForEachEngine(const std::function<void(CaptureEngine&)>& action);

}  // namespace lumicap::virt
