#include "exports_host.h"

#include <algorithm>

namespace lumicap::v4l2::testing {

Text Wide(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

std::string Narrow(const Text& text)
{
    std::string out;
    for (WCHAR c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<std::string> TakeStringList(SAFEARRAY* list)
{
    std::vector<std::string> strings;
    if (!list) return strings;
    LONG lower = 0;
    LONG upper = -1;
    BSTR* elements = nullptr;
    if (SafeArrayGetDim(list) == 1 && SafeArrayGetLBound(list, 1, &lower) == S_OK && lower == 0 &&
        SafeArrayGetUBound(list, 1, &upper) == S_OK &&
        SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)) == S_OK) {
        for (LONG i = 0; i <= upper; ++i) {
            strings.push_back(elements[i] ? Narrow(Text(elements[i], SysStringLen(elements[i]))) : std::string());
        }
        SafeArrayUnaccessData(list);
    }
    SafeArrayDestroy(list);
    return strings;
}

std::vector<std::string> CameraList()
{
    SAFEARRAY* list = nullptr;
    GetCameraList(&list);
    return TakeStringList(list);
}

std::vector<std::string> MediaTypeList()
{
    SAFEARRAY* list = nullptr;
    GetMediaTypeList(&list);
    return TakeStringList(list);
}

ExportsHost& ExportsHost::Get()
{
    static ExportsHost host;
    return host;
}

ExportsHost::ExportsHost() : events_(LumicapCreateMessageWindow()), preview_(LumicapCreateMessageWindow())
{
    CreateInstance(events_);
}

bool ExportsHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Short slices: frames reach the preview window without a message.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, events_, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_CAMERA_EVENT) {
                OnCaptureEvent(msg.message, msg.wParam);
            } else {
                notices_.push_back(msg);
            }
        }
    }
    return true;
}

void ExportsHost::PumpFor(std::chrono::milliseconds period)
{
    PumpUntil([] { return false; }, period);
}

const MSG* ExportsHost::WaitForNotice(UINT message, std::chrono::milliseconds timeout)
{
    const MSG* found = nullptr;
    PumpUntil(
        [&] {
            auto it =
                std::find_if(notices_.begin(), notices_.end(), [&](const MSG& m) { return m.message == message; });
            found = it == notices_.end() ? nullptr : &*it;
            return found != nullptr;
        },
        timeout);
    return found;
}

const MSG* ExportsHost::WaitForError(WPARAM kind, std::chrono::milliseconds timeout)
{
    const MSG* found = nullptr;
    PumpUntil(
        [&] {
            auto it = std::find_if(notices_.begin(), notices_.end(),
                                   [&](const MSG& m) { return m.message == WM_CAMERA_ERROR && m.wParam == kind; });
            found = it == notices_.end() ? nullptr : &*it;
            return found != nullptr;
        },
        timeout);
    return found;
}

HRESULT ExportsHost::Initialize(const std::string& name)
{
    Clear();
    const HRESULT hr = InitializeCamera(Wide(name).c_str());
    if (FAILED(hr)) return hr;
    const MSG* ready = WaitForNotice(WM_CAMERA_READY, std::chrono::seconds(30));
    if (!ready) return E_FAIL;
    const HRESULT status = static_cast<HRESULT>(ready->lParam);
    // The ready event's WM_CAMERA_EVENT follows its notice.
    PumpFor(std::chrono::milliseconds(100));
    return status;
}

bool ExportsHost::WaitForNewFrame(std::chrono::milliseconds timeout)
{
    const UINT64 shown = LumicapGetFrameCount(preview_);
    return PumpUntil([&] { return LumicapGetFrameCount(preview_) > shown; }, timeout);
}

bool ExportsHost::StartPreviewAndWaitForFrame(INT32 index, std::chrono::milliseconds timeout)
{
    const UINT64 shown = LumicapGetFrameCount(preview_);
    if (StartPreview(index, preview_) != S_OK) return false;
    return PumpUntil([&] { return LumicapGetFrameCount(preview_) > shown; }, timeout);
}

} // namespace lumicap::v4l2::testing
