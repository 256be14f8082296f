#include "frame_presenter.h"

namespace lumicap::virt {

#ifdef _WIN32

bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    HWND hwnd = static_cast<HWND>(window);
    RECT client{};
    if (!GetClientRect(hwnd, &client)) return false;
    HDC dc = GetDC(hwnd);
    if (!dc) return false;

    // A top-down 32-bit DIB has exactly the 0x00RRGGBB layout of the frame (bytes B, G, R, unused).
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    SetStretchBltMode(dc, COLORONCOLOR);
    const int lines = StretchDIBits(dc, 0, 0, client.right - client.left, client.bottom - client.top, 0, 0,
                                    static_cast<int>(width), static_cast<int>(height), pixels, &info,
                                    DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(hwnd, dc);
    return lines > 0;
}

#else

bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    return LumicapPresentFrame(static_cast<HWND>(window), pixels, width, height) != FALSE;
}

#endif

}  // namespace lumicap::virt
