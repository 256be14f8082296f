#include "engine_registry.h"

#include "engine.h"
#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <vector>

namespace lumicap::virt {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<CaptureEngine*> engines;  // oldest first
    CaptureEngine* newest = nullptr;
};

Registry& Engines()
{
    static NoDestructor<Registry> registry;
    return registry.Get();
}

}  // namespace

HRESULT RegisterEngine(CaptureEngine* engine)
{
    Registry& registry = Engines();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return NoThrow([&] {
        registry.engines.push_back(engine);
        registry.newest = engine;
    });
}

void UnregisterEngine(CaptureEngine* engine)
{
    Registry& registry = Engines();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.engines.erase(std::remove(registry.engines.begin(), registry.engines.end(), engine),
                           registry.engines.end());
    if (registry.newest == engine) registry.newest = nullptr;
}

bool WithNewestEngine(const std::function<void(CaptureEngine&)>& action)
{
    Registry& registry = Engines();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (!registry.newest) return false;
    action(*registry.newest);
    return true;
}

bool WithNewestLiveEngine(const std::function<void(CaptureEngine&)>& action)
{
    Registry& registry = Engines();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.engines.empty()) return false;
    action(*registry.engines.back());
    return true;
}

void ForEachEngine(const std::function<void(CaptureEngine&)>& action)
{
    Registry& registry = Engines();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (CaptureEngine* engine : registry.engines) action(*engine);
}

}  // namespace lumicap::virt
