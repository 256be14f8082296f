// Draws a picture into a window as a preview sink does by default: as large as fits in the
// destination rectangle with its shape kept, centred, and the rest of the destination painted black
// (letterbox or pillarbox) whatever the window's own background. GDI by its Win32 names: the
// system's on Windows, the portable subset's elsewhere. Shared by our capture engine's sink and the
// library's own drawing of the host's frames.
#pragma once

#include "platform.h"

#include <algorithm>
#include <cstdint>

namespace lumicap {

// Where a width x height picture goes in destination: centred, touching two opposite sides, rounded
// to the nearest pixel so a picture of the area's own shape fills it exactly.
inline RECT FitPicture(const RECT& destination, UINT32 width, UINT32 height)
{
    const int64_t areaWidth = std::max<int64_t>(0, int64_t{destination.right} - destination.left);
    const int64_t areaHeight = std::max<int64_t>(0, int64_t{destination.bottom} - destination.top);
    if (width == 0 || height == 0) return RECT{destination.left, destination.top, destination.left, destination.top};
    int64_t fitWidth = areaWidth;
    int64_t fitHeight = areaHeight;
    if (areaWidth * height > areaHeight * width) {
        fitWidth = (areaHeight * width * 2 + height) / (2 * int64_t{height});
    } else {
        fitHeight = (areaWidth * height * 2 + width) / (2 * int64_t{width});
    }
    const LONG left = static_cast<LONG>(destination.left + (areaWidth - fitWidth) / 2);
    const LONG top = static_cast<LONG>(destination.top + (areaHeight - fitHeight) / 2);
    return RECT{left, top, static_cast<LONG>(left + fitWidth), static_cast<LONG>(top + fitHeight)};
}

// Draws width x height pixels of 0x00RRGGBB (top row first) into the window's destination, mirrored
// left to right when asked; false when nothing could be drawn (no room, no window).
inline bool DrawLetterboxed(HWND window, const uint32_t* pixels, UINT32 width, UINT32 height, const RECT& destination,
                            bool mirrored)
{
    const RECT picture = FitPicture(destination, width, height);
    if (picture.right <= picture.left || picture.bottom <= picture.top) return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    const RECT bars[] = {{destination.left, destination.top, destination.right, picture.top},
                         {destination.left, picture.bottom, destination.right, destination.bottom},
                         {destination.left, picture.top, picture.left, picture.bottom},
                         {picture.right, picture.top, destination.right, picture.bottom}};
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
    }
    // A top-down 32-bit DIB has exactly the 0x00RRGGBB layout of the frame (bytes B, G, R, unused).
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    // A negative width draws the columns from right to left.
    const int pictureWidth = picture.right - picture.left;
    const int lines = StretchDIBits(dc, mirrored ? picture.right : picture.left, picture.top,
                                    mirrored ? -pictureWidth : pictureWidth, picture.bottom - picture.top, 0, 0,
                                    static_cast<int>(width), static_cast<int>(height), pixels, &info,
                                    DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
    return lines > 0;
}

}  // namespace lumicap
