// A host for the library inside the benchmark, the way an application uses it: one thread owns the
// event window, runs the message loop and passes every WM_CAMERA_EVENT to OnCaptureEvent.
#pragma once

#include "bench_harness.h"
#include "platform/platform.h"

#include <lumicap/lumicap.h>

#include <functional>
#include <string>

namespace lumicap::bench {

// What the pump saw for one message; eventType is the engine event's type for WM_CAMERA_EVENT.
struct Received {
    UINT message = 0;
    GUID eventType = GUID_NULL;
};

class BenchHost {
public:
    // Creates the event window and the library's manager on the calling thread.
    BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;
    ~BenchHost();

    HWND EventWindow() const { return eventWindow_; }
    HWND PreviewWindow() const { return previewWindow_; }

    // Runs the message loop until done() accepts a message (checked after the message is handled),
    // or until the timeout. Returns whether done() accepted one.
    bool PumpUntil(const std::function<bool(const Received&)>& done, Clock::duration timeout);
    // Runs the message loop for this long.
    void PumpFor(Clock::duration period);
    // Pumps until a message with this number arrives; throws when it does not in time.
    void ExpectMessage(UINT message, const char* what);
    // Pumps until an engine event of this type has been handed to OnCaptureEvent; throws otherwise.
    void ExpectEngineEvent(REFGUID type, const char* what);

    // InitializeCamera and wait until the engine's initialised event was handled.
    void OpenCamera(const std::u16string& name);
    // StartPreview into the preview window and wait until the engine's confirmation was handled.
    void StartPreview(INT32 formatIndex);
    // StopPreview and wait until the engine's confirmation was handled.
    void StopPreview();

private:
    HWND eventWindow_ = nullptr;
    HWND previewWindow_ = nullptr;
};

}  // namespace lumicap::bench
