#include "test_host.h"

#include "capture/capture_manager.h"

#include <algorithm>
#include <thread>

namespace lumicap::testing {

std::vector<Text>& LogLines()
{
    static std::vector<Text> lines;
    return lines;
}

void WINAPI RecordLog(LPCWSTR text) { LogLines().push_back(text); }

Text T(const char* ascii)
{
    Text text;
    while (*ascii) text.push_back(static_cast<WCHAR>(*ascii++));
    return text;
}

std::vector<Text> ReadStringList(SAFEARRAY* list)
{
    std::vector<Text> strings;
    EXPECT_NE(list, nullptr);
    if (!list) return strings;
    EXPECT_EQ(SafeArrayGetDim(list), 1u);
    VARTYPE type = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(list, &type), S_OK);
    EXPECT_EQ(type, VT_BSTR);
    LONG lower = -1;
    LONG upper = -2;
    EXPECT_EQ(SafeArrayGetLBound(list, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(list, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    BSTR* elements = nullptr;
    EXPECT_EQ(SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)), S_OK);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR s = elements[i - lower];
        strings.emplace_back(s ? Text(s, SysStringLen(s)) : Text());
    }
    SafeArrayUnaccessData(list);
    return strings;
}

std::vector<Text> CameraList()
{
    SAFEARRAY* list = nullptr;
    ::GetCameraList(&list);
    std::vector<Text> names = ReadStringList(list);
    SafeArrayDestroy(list);
    return names;
}

std::vector<Text> MediaTypeList()
{
    SAFEARRAY* list = nullptr;
    ::GetMediaTypeList(&list);
    std::vector<Text> lines = ReadStringList(list);
    SafeArrayDestroy(list);
    return lines;
}

void ResetModule()
{
    ModuleState& module = Module();
    StopWatchingDevices();
    if (module.theManager) module.theManager->ReleaseEngine();
    module.theManager.reset();
    module.cameraDevices.Release();
    module.selectedCamera = 0;
    module.logCallback = nullptr;
    module.resetToken = 0;
    std::free(module.lastPhotoBuffer);
    module.lastPhotoBuffer = nullptr;
}

bool PumpWindowUntil(HWND window, const std::function<bool()>& done, const std::function<void(const MSG&)>& handle,
                     std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Short slices: some conditions (frames shown, engine state) change without a message.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left, 5)), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            handle(msg);
            if (done()) return true;
        }
    }
    return true;
}

void DiscardQueuedMessages(HWND window)
{
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CAMERA_EVENT && msg.wParam) reinterpret_cast<IUnknown*>(msg.wParam)->Release();
    }
}

void HostTest::SetUp()
{
    virt::Reset();
    ResetModule();
    LogLines().clear();
    window_ = LumicapCreateMessageWindow();
    ASSERT_NE(window_, nullptr);
}

void HostTest::TearDown()
{
    ResetModule();
    DiscardQueuedMessages(window_);
    DestroyWindow(window_);
    virt::Reset();
}

bool HostTest::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return PumpWindowUntil(
        window_, done,
        [&](const MSG& msg) {
            if (msg.message == WM_CAMERA_DEVICES_CHANGED) {
                EXPECT_EQ(msg.lParam, 0);
                deviceChanges_.push_back(msg.wParam);
                return;
            }
            messages_.push_back(msg.message);
            if (msg.message != WM_CAMERA_EVENT) notices_.push_back(msg);
            if (msg.message == WM_CAMERA_PHOTO_READY && onPhotoReady_) onPhotoReady_();
            if (msg.message == WM_CAMERA_EVENT) RecordAndPassOn(msg.wParam);
        },
        timeout);
}

bool HostTest::PumpUntilMessage(UINT message, std::chrono::milliseconds timeout)
{
    size_t seen = 0;
    return PumpUntil(
        [&] {
            for (; seen < messages_.size(); ++seen) {
                if (messages_[seen] == message) return true;
            }
            return false;
        },
        timeout);
}

bool HostTest::PumpUntilEngineEvent(REFGUID type, std::chrono::milliseconds timeout)
{
    return PumpUntil(
        [&] {
            return std::any_of(engineEvents_.begin(), engineEvents_.end(),
                               [&](const GUID& seen) { return IsEqualGUID(seen, type) != FALSE; });
        },
        timeout);
}

void HostTest::RecordAndPassOn(WPARAM event)
{
    // The message's reference keeps the event alive until OnCaptureEvent gives it back.
    GUID type = GUID_NULL;
    if (event) reinterpret_cast<IMFMediaEvent*>(event)->GetExtendedType(&type);
    engineEvents_.push_back(type);
    ::OnCaptureEvent(WM_CAMERA_EVENT, event);
}

void HostTest::PumpFor(std::chrono::milliseconds period)
{
    PumpUntil([] { return false; }, period);
}

void HostTest::OpenCamera(const char* name)
{
    ::CreateInstance(window_);
    ASSERT_EQ(::InitializeCamera(T(name).c_str()), S_OK);
    ClearMessages();
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED));
}

void HostTest::StartPreviewOn(INT32 index, const char* name)
{
    OpenCamera(name);
    ClearMessages();
    ASSERT_EQ(::StartPreview(index, window_), S_OK);
    // The engine's confirmation reaches the manager.
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED));
    ASSERT_TRUE(virt::GetEngineState().previewing);
}

}  // namespace lumicap::testing
