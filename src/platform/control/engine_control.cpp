// The control API's engine side: event control, status overrides, the photo write mode and what the
// newest engine holds.
#include "engine_control.h"

#include "platform/capture_engine/engine.h"
#include "platform/capture_engine/engine_registry.h"
#include "platform/no_destructor.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace lumicap::virt {
namespace {

struct Control {
    std::mutex mutex;
    EventControl events;
    PhotoWriteMode photoWriteMode = PhotoWriteMode::kSequential;
    std::vector<std::pair<GUID, HRESULT>> nextStatus;  // one per event type
    std::vector<GUID> dropped;                         // one entry per event to drop
    CameraCondition microphone = CameraCondition::normal;
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

void DropNextEvent(REFGUID extendedType)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    control.dropped.push_back(extendedType);
}

bool TakeDroppedEvent(REFGUID extendedType)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    for (auto it = control.dropped.begin(); it != control.dropped.end(); ++it) {
        if (*it == extendedType) {
            control.dropped.erase(it);
            return true;
        }
    }
    return false;
}

void SetMicrophoneCondition(CameraCondition condition)
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    control.microphone = condition;
}

CameraCondition CurrentMicrophoneCondition()
{
    Control& control = EventSettings();
    std::lock_guard<std::mutex> lock(control.mutex);
    return control.microphone;
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

bool WaitForEnginesIdle()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        bool idle = true;
        ForEachEngine([&](CaptureEngine& engine) { idle = idle && engine.Idle(); });
        if (idle) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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
        control.dropped.clear();
        control.microphone = CameraCondition::normal;
        control.photoWriteMode = PhotoWriteMode::kSequential;
    }
    WakeEngines();
}

}  // namespace lumicap::virt
