#include "road_host.h"

#include "platform/virtual/virtual_platform.h"
#include "support/test_host.h"

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
    case WM_CAMERA_EVENT:
        ::OnCaptureEvent(msg.message, msg.wParam);
        ++events_;
        break;
    default:
        break;
    }
}

bool RoadHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return testing::PumpWindowUntil(window_, done, [this](const MSG& msg) { Handle(msg); }, timeout);
}

bool RoadHost::PumpEvents(unsigned long long count, std::chrono::milliseconds timeout)
{
    const unsigned long long target = events_ + count;
    return PumpUntil([&] { return events_ >= target; }, timeout);
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
}

}  // namespace lumicap::reliability
