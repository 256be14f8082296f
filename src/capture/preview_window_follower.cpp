#include "preview_window_follower.h"

#include "platform/com_ptr.h"
#include "platform/no_destructor.h"

#include <algorithm>
#include <array>

namespace lumicap {
namespace {

// A window we subclassed, with the procedure we pass its messages to. A slot whose sink is gone only
// passes them on: it stays until the window ends or our procedure is the window's own again.
struct Subclass {
    HWND window = nullptr;
    WNDPROC previous = nullptr;
    ComPtr<IMFCapturePreviewSink> sink;
};

using Subclasses = std::array<Subclass, 8>;

// Host thread only. Few windows are ever followed; a full table leaves a new one unfollowed. Never
// destroyed: nothing is released into the platform at exit.
Subclasses& TheSubclasses()
{
    static NoDestructor<Subclasses> subclasses;
    return subclasses.Get();
}

Subclass* Find(HWND window)
{
    Subclasses& all = TheSubclasses();
    auto found = std::find_if(all.begin(), all.end(), [window](const Subclass& s) { return s.window == window; });
    return found == all.end() ? nullptr : &*found;
}

LRESULT CALLBACK FollowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the window its earlier procedure back when ours is still on top.
void Remove(Subclass& subclass)
{
    subclass.sink.Reset();
    if (GetWindowLongPtrW(subclass.window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&FollowingProc)) return;
    SetWindowLongPtrW(subclass.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass.previous));
    subclass = Subclass{};
}

LRESULT CALLBACK FollowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Subclass* subclass = Find(window);
    if (!subclass) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = subclass->previous;
    if (message == WM_NCDESTROY) {
        *subclass = Subclass{};
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    // Held here: the host's own handling may end the set-up.
    const ComPtr<IMFCapturePreviewSink> sink = subclass->sink;
    // The host paints first; the sink then draws over whatever the host erased.
    const LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
    if (!sink) return result;
    if (message == WM_SIZE) {
        RECT client{};
        if (GetClientRect(window, &client)) sink->UpdateVideo(nullptr, &client, nullptr);
    } else if (message == WM_PAINT) {
        sink->UpdateVideo(nullptr, nullptr, nullptr);
    }
    return result;
}

}  // namespace

void FollowPreviewWindow(HWND window, IMFCapturePreviewSink* sink)
{
    StopFollowingPreviewWindow();
    if (!window || !sink || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return;
    Subclass* subclass = Find(window);
    if (!subclass) {
        subclass = Find(nullptr);
        if (!subclass) return;
        const LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FollowingProc));
        if (!previous) return;
        subclass->window = window;
        subclass->previous = reinterpret_cast<WNDPROC>(previous);
    }
    subclass->sink = ComPtr<IMFCapturePreviewSink>::Share(sink);
}

void StopFollowingPreviewWindow()
{
    for (Subclass& subclass : TheSubclasses()) {
        if (subclass.sink) Remove(subclass);
    }
}

}  // namespace lumicap
