// The control API's engine side: event control, status overrides, the photo write mode and what the
// newest engine holds.
#include "engine_control.h"

#include "platform/capture_engine/engine.h"
#include "platform/capture_engine/engine_registry.h"
#include "platform/no_destructor.h"

#include <mutex>
#include <utility>
#include <vector>

namespace lumicap::virt {
namespace {

struct Control {
    std::mutex mutex;
    EventControl events;
    PhotoWriteMode photoWriteMode = PhotoWriteMode::kSequential;
    std::vector<std::pair<GUID, HRESULT>> nextStatus;  // one per event type
};

Control& EventSettings()
{
    static NoDestructor<Control> control;
    return control.Get();
}

void WakeEngines()
{
    ForEachEngine([](CaptureEngine& engine) { engine.WakeWorker(); });
}

}  // namespace

EventControl CurrentEventControl()
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    return control.events;
}

PhotoWriteMode CurrentPhotoWriteMode()
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    return control.photoWriteMode;
}

void SetPhotoWriteMode(PhotoWriteMode mode)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    control.photoWriteMode = mode;
}

HRESULT TakeNextEventStatus(REFGUID extendedType)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    for (auto it = control.nextStatus.begin(); it != control.nextStatus.end(); ++it) {
        if (it->first == extendedType) {
            const HRESULT status = it->second;
            control.nextStatus.erase(it);
            return status;
        }
    }
    return S_OK;
}

void SetNextEventStatus(REFGUID extendedType, HRESULT status)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    for (auto& entry : control.nextStatus) {
        if (entry.first == extendedType) {
            entry.second = status;
            return;
        }
    }
    control.nextStatus.emplace_back(extendedType, status);
}

void HoldEvents(bool hold)
{
    {
        Control& control = EventSettings();
        std::lock_guard<std::mutex> lock(control.mutex);
        control.events.hold = hold;
    }
    if (!hold) WakeEngines();
}

void SetEventDelay(unsigned milliseconds)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    control.events.delayMilliseconds = milliseconds;
}

bool RaiseEngineError(HRESULT status) { return RaiseEngineEvent(MF_CAPTURE_ENGINE_ERROR, status); }

bool RaiseEngineEvent(REFGUID extendedType, HRESULT status)
{
    bool raised = false;
    WithNewestLiveEngine([&](CaptureEngine& engine) { raised = engine.Raise(extendedType, status); });
    return raised;
}

EngineState GetEngineState()
{
    EngineState state;
    WithNewestEngine([&](CaptureEngine& engine) { state = engine.State(); });
    return state;
}

PreviewSinkState GetPreviewSinkState()
{
    PreviewSinkState state;
    WithNewestEngine([&](CaptureEngine& engine) { state = engine.PreviewState(); });
    return state;
}

PhotoSinkState GetPhotoSinkState()
{
    PhotoSinkState state;
    WithNewestEngine([&](CaptureEngine& engine) { state = engine.PhotoState(); });
    return state;
}

void ResetEngines()
{
    {
        Control& control = EventSettings();
        std::lock_guard<std::mutex> lock(control.mutex);
        control.events = EventControl{};
        control.nextStatus.clear();
        control.photoWriteMode = PhotoWriteMode::kSequential;
    }
    WakeEngines();
}

}  // namespace lumicap::virt
