// The conditions set on the virtual cameras, read when an engine opens one.
#include "camera_conditions.h"

#include "virtual_platform.h"
#include "platform/capture_engine/camera_backend.h"
#include "platform/capture_engine/engine.h"
#include "platform/capture_engine/engine_registry.h"
#include "platform/no_destructor.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace lumicap::virt {
namespace {

bool IsPlugged(const WideString& friendlyName)
{
    const auto cameras = PluggedCameras();
    return std::any_of(cameras.begin(), cameras.end(), [&](const std::shared_ptr<CameraRecord>& camera) {
        return camera->Description().friendlyName == friendlyName;
    });
}

struct Conditions {
    std::mutex mutex;
    std::vector<std::pair<WideString, CameraCondition>> byName;  // one per friendly name
};

Conditions& Store()
{
    static NoDestructor<Conditions> conditions;
    return conditions.Get();
}

}  // namespace

bool SetCameraCondition(const WideString& friendlyName, CameraCondition condition)
{
    if (!IsPlugged(friendlyName)) return false;
    Conditions& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    auto& conditions = store.byName;
    conditions.erase(std::remove_if(conditions.begin(), conditions.end(),
                                    [&](const auto& entry) { return entry.first == friendlyName; }),
                     conditions.end());
    if (condition != CameraCondition::normal) conditions.emplace_back(friendlyName, condition);
    return true;
}

CameraCondition CameraConditionOf(const WideString& friendlyName)
{
    Conditions& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    for (const auto& entry : store.byName) {
        if (entry.first == friendlyName) return entry.second;
    }
    return CameraCondition::normal;
}

bool SetCameraBlocked(const WideString& friendlyName, bool blocked)
{
    if (!IsPlugged(friendlyName)) return false;
    ForEachEngine([&](CaptureEngine& engine) { engine.SetBlocked(friendlyName, blocked); });
    return true;
}

void ResetCameraConditions()
{
    Conditions& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.byName.clear();
}

}  // namespace lumicap::virt
