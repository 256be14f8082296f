// A host for the library inside a test: a message window, a log recorder, a message pump that hands
// every WM_CAMERA_EVENT back to the library, and a clean module and virtual platform per test.
#pragma once

#include "interface/module_state.h"
#include "platform/virtual/virtual_platform.h"

#include <lumicap/lumicap.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <functional>
#include <string>
#include <vector>

namespace lumicap::testing {

using Text = std::basic_string<WCHAR>;

// Every line the library logged since the last Clear, in order.
std::vector<Text>& LogLines();
void WINAPI RecordLog(LPCWSTR text);

// UTF-16 from ASCII test literals.
Text T(const char* ascii);

// The strings of a SAFEARRAY of BSTR; checks it is one-dimensional with lower bound 0.
std::vector<Text> ReadStringList(SAFEARRAY* list);

// GetCameraList and GetMediaTypeList, read and destroyed.
std::vector<Text> CameraList();
std::vector<Text> MediaTypeList();

// The module back to its state at load: no manager, no cameras, nothing logged or handed out.
void ResetModule();

// Pumps the window's queue, handing each message to handle, until done() holds or the timeout passes.
// Returns done().
bool PumpWindowUntil(HWND window, const std::function<bool()>& done, const std::function<void(const MSG&)>& handle,
                     std::chrono::milliseconds timeout);
// Empties the window's queue unread, giving back the event reference each WM_CAMERA_EVENT carries.
void DiscardQueuedMessages(HWND window);

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Pumps the window's queue, passing each WM_CAMERA_EVENT to OnCaptureEvent, until done() holds
    // or the timeout passes. Returns done().
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Pumps until a message with this number has been received (counting from the last ClearMessages).
    bool PumpUntilMessage(UINT message, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Pumps whatever is queued now, and what arrives within the quiet period.
    void PumpFor(std::chrono::milliseconds period);
    // Pumps until an engine event of this type has been passed on (counting from the last ClearMessages).
    // Waiting on the type, not on any WM_CAMERA_EVENT: a replaced set-up's late event may come first.
    bool PumpUntilEngineEvent(REFGUID type, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void ClearMessages()
    {
        messages_.clear();
        notices_.clear();
        engineEvents_.clear();
        deviceChanges_.clear();
    }
    const std::vector<UINT>& Messages() const { return messages_; }
    // The messages other than WM_CAMERA_EVENT, whole (counting from the last ClearMessages).
    const std::vector<MSG>& Notices() const { return notices_; }
    // The wParam of each WM_CAMERA_DEVICES_CHANGED (counting from the last ClearMessages). Cameras
    // plugged in or out are told apart from a set-up's messages, which Messages() and Notices() hold.
    const std::vector<WPARAM>& DeviceChanges() const { return deviceChanges_; }

    // CreateInstance and InitializeCamera on the named camera, then wait for WM_CAMERA_READY and its event.
    void OpenCamera(const char* name = "Lumicap Virtual Camera");
    // OpenCamera, then StartPreview and wait until the engine confirmed it.
    void StartPreviewOn(INT32 index, const char* name = "Lumicap Virtual Camera");

    HWND window_ = nullptr;
    // Called for each WM_CAMERA_PHOTO_READY before the pump moves on.
    std::function<void()> onPhotoReady_;

private:
    void RecordAndPassOn(WPARAM event);
    std::vector<UINT> messages_;
    std::vector<MSG> notices_;
    std::vector<GUID> engineEvents_;
    std::vector<WPARAM> deviceChanges_;
};

}  // namespace lumicap::testing
