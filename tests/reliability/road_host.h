// A host for the reliability programs (fault sweep, soak, fuzzing): a message window, a pump that
// passes every WM_CAMERA_EVENT to the library and counts what arrived, and the tear-down that hands
// back whatever is still queued. Every wait is bounded.
#pragma once

#include <lumicap/lumicap.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace lumicap::reliability {

using Text = std::basic_string<WCHAR>;

// Longer than any engine request takes even under the sanitizers and valgrind; reaching it is a hang.
inline constexpr std::chrono::milliseconds kGenerousWait{10000};

class RoadHost {
public:
    RoadHost();
    ~RoadHost();
    RoadHost(const RoadHost&) = delete;
    RoadHost& operator=(const RoadHost&) = delete;

    HWND Window() const { return window_; }

    // Pumps until done() holds or the timeout passes; returns done().
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kGenerousWait);
    // Pumps until one more engine event of this type has been passed to the library: the answer to a
    // request, whatever other news (a media type set, a replaced set-up's stop) comes before it.
    bool PumpUntilEvent(REFGUID type, std::chrono::milliseconds timeout = kGenerousWait);
    // Handles whatever is queued now, without waiting.
    void PumpPending();
    // Gives back the references of the engine events still queued, without the library.
    void Drain();

    unsigned long long ReadyNotices() const { return ready_; }
    unsigned long long PhotoNotices() const { return photos_; }

private:
    void Handle(const MSG& msg);

    HWND window_ = nullptr;
    std::vector<GUID> eventTypes_;  // of every event passed to the library, in order
    unsigned long long ready_ = 0;
    unsigned long long photos_ = 0;
};

// UTF-16 from ASCII literals, and back (other characters as '?') for messages.
Text Wide(const char* ascii);
std::string Narrow(const Text& text);

// Takes a SAFEARRAY of BSTR apart and destroys it; null reads as no strings.
std::vector<Text> TakeStrings(SAFEARRAY* list);

// Every log line since the last ClearLog. SetLogCallback(RecordLine) sends lines here.
void WINAPI RecordLine(LPCWSTR text);
const std::vector<Text>& LoggedLines();
void ClearLog();

// The virtual platform and the module as a fresh process has them, with nothing logged.
void StartFresh();
// The module back to its state at load (tests/support ResetModule) and the host's queue drained.
void TearDownLibrary(RoadHost& host);

}  // namespace lumicap::reliability
