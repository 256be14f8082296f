#include "road_host.h"

#include "platform/capture_engine/late_stop.h"
#include "platform/media_foundation/media_event.h"
#include "platform/virtual/virtual_platform.h"
#include "support/test_host.h"

#include <algorithm>

namespace lumicap::reliability {
namespace {

std::vector<Text>& Lines()
{
    static std::vector<Text> lines;
    return lines;
}

}  // namespace

RoadHost::RoadHost() : window_(LumicapCreateMessageWindow()) {}

RoadHost::~RoadHost()
{
    Drain();
    if (window_) DestroyWindow(window_);
}

void RoadHost::Handle(const MSG& msg)
{
    switch (msg.message) {
    case WM_CAMERA_READY:
        ++ready_;
        break;
    case WM_CAMERA_PHOTO_READY:
        ++photos_;
        break;
    case WM_CAMERA_EVENT: {
        // Read without counting as an operation of the platform's, so the road's operations stay the
        // library's own.
        GUID type = GUID_NULL;
        if (msg.wParam) virt::GetExtendedTypeQuietly(reinterpret_cast<IMFMediaEvent*>(msg.wParam), &type);
        ::OnCaptureEvent(msg.message, msg.wParam);
        eventTypes_.push_back(type);
        break;
    }
    default:
        break;
    }
}

bool RoadHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return testing::PumpWindowUntil(window_, done, [this](const MSG& msg) { Handle(msg); }, timeout);
}

bool RoadHost::PumpUntilEvent(REFGUID type, std::chrono::milliseconds timeout)
{
    // The engine's own reads of what it reports come before the library's: the road's operations
    // are then the same on every run, however the threads are scheduled.
    virt::WaitForEnginesIdle();
    const size_t from = eventTypes_.size();
    return PumpUntil(
        [&] {
            return std::any_of(eventTypes_.begin() + static_cast<std::ptrdiff_t>(from), eventTypes_.end(),
                               [&](const GUID& seen) { return IsEqualGUID(seen, type) != FALSE; });
        },
        timeout);
}

void RoadHost::PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) Handle(msg);
}

void RoadHost::Drain() { testing::DiscardQueuedMessages(window_); }

Text Wide(const char* ascii)
{
    Text text;
    while (*ascii) text.push_back(static_cast<WCHAR>(*ascii++));
    return text;
}

std::string Narrow(const Text& text)
{
    std::string narrow;
    for (WCHAR c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

std::vector<Text> TakeStrings(SAFEARRAY* list)
{
    std::vector<Text> strings;
    if (!list) return strings;
    LONG lower = 0;
    LONG upper = -1;
    BSTR* elements = nullptr;
    if (SUCCEEDED(SafeArrayGetLBound(list, 1, &lower)) && SUCCEEDED(SafeArrayGetUBound(list, 1, &upper)) &&
        SUCCEEDED(SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)))) {
        for (LONG i = 0; i <= upper - lower; ++i) {
            BSTR s = elements[i];
            strings.emplace_back(s ? Text(s, SysStringLen(s)) : Text());
        }
        SafeArrayUnaccessData(list);
    }
    SafeArrayDestroy(list);
    return strings;
}

void WINAPI RecordLine(LPCWSTR text) { Lines().emplace_back(text); }

const std::vector<Text>& LoggedLines() { return Lines(); }

void ClearLog() { Lines().clear(); }

void StartFresh()
{
    virt::Reset();
    testing::ResetModule();
    ClearLog();
}

void TearDownLibrary(RoadHost& host)
{
    testing::ResetModule();
    host.Drain();
    // An engine released while it drew stops drawing (and lets go of its sink) a little later.
    virt::FinishLateStops();
}

}  // namespace lumicap::reliability
