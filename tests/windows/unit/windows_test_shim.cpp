#include "windows_test_shim.h"

#include "platform/capture_engine/frame_presenter.h"

HWND LumicapCreateMessageWindow(void)
{
    static const ATOM windowClass = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"LumicapUnitTestMessageWindow";
        return RegisterClassW(&description);
    }();
    if (!windowClass) return nullptr;
    return CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

UINT64 LumicapGetFrameCount(HWND hWnd) { return lumicap::virt::PresentedFrameCount(hWnd); }

BOOL LumicapGetLatestFrame(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    return lumicap::virt::LatestPresentedFrame(hWnd, pixels, capacity, width, height) ? TRUE : FALSE;
}
