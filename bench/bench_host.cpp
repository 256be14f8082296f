#include "bench_host.h"

#include "interface/module_state.h"
#include "capture/capture_manager.h"

#include <algorithm>
#include <stdexcept>

namespace lumicap::bench {
namespace {

// Generous: the slowest step (a 2592x1944 photo under load) takes tens of milliseconds.
constexpr auto kStepTimeout = std::chrono::seconds(10);

void Require(bool condition, const std::string& what)
{
    if (!condition) throw std::runtime_error(what);
}

Received Dispatch(const MSG& msg)
{
    Received received{msg.message, GUID_NULL};
    if (msg.message != WM_CAMERA_EVENT) return received;
    // Read before the library releases the event.
    if (msg.wParam) reinterpret_cast<IMFMediaEvent*>(msg.wParam)->GetExtendedType(&received.eventType);
    ::OnCaptureEvent(msg.message, msg.wParam);
    return received;
}

DWORD MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left, 0, 1000));
}

}  // namespace

BenchHost::BenchHost()
{
    eventWindow_ = LumicapCreateMessageWindow();
    previewWindow_ = LumicapCreateMessageWindow();
    Require(eventWindow_ && previewWindow_, "cannot create the host's windows");
    ::CreateInstance(eventWindow_);
    Require(Module().theManager != nullptr, "CreateInstance made no manager");
}

BenchHost::~BenchHost()
{
    if (Module().theManager) Module().theManager->ReleaseEngine();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CAMERA_EVENT && msg.wParam) reinterpret_cast<IUnknown*>(msg.wParam)->Release();
    }
    DestroyWindow(previewWindow_);
    DestroyWindow(eventWindow_);
}

bool BenchHost::PumpUntil(const std::function<bool(const Received&)>& done, Clock::duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (done(Dispatch(msg))) return true;
        }
        if (Clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, MillisecondsLeft(deadline), QS_ALLINPUT);
    }
}

void BenchHost::PumpFor(Clock::duration period)
{
    PumpUntil([](const Received&) { return false; }, period);
}

void BenchHost::ExpectMessage(UINT message, const char* what)
{
    Require(PumpUntil([message](const Received& r) { return r.message == message; }, kStepTimeout),
            std::string("timed out waiting for ") + what);
}

void BenchHost::ExpectEngineEvent(REFGUID type, const char* what)
{
    const GUID wanted = type;
    Require(PumpUntil([&](const Received& r) { return r.message == WM_CAMERA_EVENT && r.eventType == wanted; },
                      kStepTimeout),
            std::string("timed out waiting for ") + what);
}

void BenchHost::OpenCamera(const std::u16string& name)
{
    const HRESULT hr = ::InitializeCamera(name.c_str());
    Require(SUCCEEDED(hr), "InitializeCamera failed");
    ExpectEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED, "the engine's initialised event");
}

void BenchHost::StartPreview(INT32 formatIndex)
{
    Require(SUCCEEDED(::StartPreview(formatIndex, previewWindow_)), "StartPreview failed");
    ExpectEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED, "the preview's start");
}

void BenchHost::StopPreview()
{
    ::StopPreview();
    ExpectEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, "the preview's stop");
}

}  // namespace lumicap::bench
