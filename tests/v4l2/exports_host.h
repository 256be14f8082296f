// A host for the library's exports on V4L2 cameras: one event window and one
// preview window for the whole process (CreateInstance takes its window once),
// a pump that hands every WM_CAMERA_EVENT back to the library and records the
// other messages.
#pragma once

#include "vm_probes.h"

#include <lumicap/lumicap.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace lumicap::v4l2::testing {

using Text = std::basic_string<WCHAR>;

Text Wide(const std::string& ascii);
std::string Narrow(const Text& text);

// The strings of a one-dimensional SAFEARRAY of BSTR with lower bound 0, which
// it then destroys.
std::vector<std::string> TakeStringList(SAFEARRAY* list);
std::vector<std::string> CameraList();
std::vector<std::string> MediaTypeList();

class ExportsHost {
public:
    // The process's host; CreateInstance is called on its event window the first
    // time.
    static ExportsHost& Get();

    HWND EventWindow() const { return events_; }
    HWND PreviewWindow() const { return preview_; }

    // Pumps the event window until done() holds or the timeout passes; returns
    // done().
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void PumpFor(std::chrono::milliseconds period);

    // The messages other than WM_CAMERA_EVENT since the last Clear, whole;
    // pumping keeps the addresses of those already received.
    const std::deque<MSG>& Notices() const { return notices_; }
    void Clear() { notices_.clear(); }
    // Pumps until a notice with this number has come (since the last Clear); null
    // after the timeout.
    const MSG* WaitForNotice(UINT message, std::chrono::milliseconds timeout);
    // Pumps until a WM_CAMERA_ERROR of this kind has come (since the last Clear);
    // null after the timeout.
    const MSG* WaitForError(WPARAM kind, std::chrono::milliseconds timeout);

    // InitializeCamera, then WM_CAMERA_READY; returns the message's status
    // (E_FAIL when none came).
    HRESULT Initialize(const std::string& name);
    // StartPreview into the preview window, then the first frame shown after it;
    // false when none.
    bool StartPreviewAndWaitForFrame(INT32 index, std::chrono::milliseconds timeout);
    // Waits until the preview window has been shown a frame beyond the count at
    // the call.
    bool WaitForNewFrame(std::chrono::milliseconds timeout);

private:
    ExportsHost();
    HWND events_ = nullptr;
    HWND preview_ = nullptr;
    std::deque<MSG> notices_;
};

} // namespace lumicap::v4l2::testing
