// GDI as far as a picture is drawn into a message window: a device context is its window, drawing
// goes into the window's client picture.
#include "platform/portable/portable_state.h"

#include <algorithm>
#include <cstdlib>

using lumicap::portable::detail::KeepFrame;
using lumicap::portable::detail::LiveWindow;
using lumicap::portable::detail::MessageWindow;

namespace {

const HGDIOBJ kBlackBrush = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(1));

HWND WindowOf(HDC hdc) { return reinterpret_cast<HWND>(hdc); }

// The part of r inside the client area; the frame mutex must be held.
RECT Clip(const RECT& r, const MessageWindow& window)
{
    return RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
                std::min<LONG>(r.right, static_cast<LONG>(window.clientWidth)),
                std::min<LONG>(r.bottom, static_cast<LONG>(window.clientHeight))};
}

struct Bitmap {
    const uint32_t* pixels;
    LONG width;
    LONG height;
    bool bottomUp;

    uint32_t At(LONG x, LONG y) const
    {
        const LONG row = bottomUp ? height - 1 - y : y;
        return pixels[static_cast<size_t>(row) * width + x] & 0xFFFFFF;
    }
};

// Scales the source rectangle of the bitmap to the nearest pixel into the destination (whose width
// or height may be negative: mirrored); the frame mutex must be held.
void Stretch(MessageWindow& window, const Bitmap& bitmap, const RECT& source, int x, int y, int width, int height)
{
    const RECT area = Clip(RECT{std::min(x, x + width), std::min(y, y + height), std::max(x, x + width),
                                std::max(y, y + height)},
                           window);
    const int64_t sourceWidth = source.right - source.left;
    const int64_t sourceHeight = source.bottom - source.top;
    for (LONG dy = area.top; dy < area.bottom; ++dy) {
        const int64_t v = height > 0 ? dy - y : y - 1 - dy;
        const LONG sy = static_cast<LONG>(source.top + v * sourceHeight / std::abs(height));
        uint32_t* row = window.client.data() + static_cast<size_t>(dy) * window.clientWidth;
        for (LONG dx = area.left; dx < area.right; ++dx) {
            const int64_t u = width > 0 ? dx - x : x - 1 - dx;
            row[dx] = bitmap.At(static_cast<LONG>(source.left + u * sourceWidth / std::abs(width)), sy);
        }
    }
}

}  // namespace

HDC GetDC(HWND hWnd) { return IsWindow(hWnd) ? reinterpret_cast<HDC>(hWnd) : nullptr; }

int ReleaseDC(HWND, HDC hDC) { return hDC ? 1 : 0; }

HGDIOBJ GetStockObject(int i) { return i == BLACK_BRUSH ? kBlackBrush : nullptr; }

int SetStretchBltMode(HDC hdc, int) { return hdc ? COLORONCOLOR : 0; }

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    if (!lprc || reinterpret_cast<HGDIOBJ>(hbr) != kBlackBrush) return 0;
    const auto window = LiveWindow(WindowOf(hDC));
    if (!window) return 0;
    std::lock_guard<std::mutex> lock(window->frameMutex);
    const RECT area = Clip(*lprc, *window);
    for (LONG y = area.top; y < area.bottom; ++y) {
        uint32_t* row = window->client.data() + static_cast<size_t>(y) * window->clientWidth;
        std::fill(row + area.left, row + std::max(area.left, area.right), 0u);
    }
    return 1;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                  int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT, DWORD rop)
{
    if (!lpBits || !lpbmi || rop != SRCCOPY || lpbmi->bmiHeader.biBitCount != 32 ||
        lpbmi->bmiHeader.biCompression != BI_RGB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LONG width = lpbmi->bmiHeader.biWidth;
    const LONG height = std::abs(lpbmi->bmiHeader.biHeight);
    const RECT source{xSrc, ySrc, xSrc + SrcWidth, ySrc + SrcHeight};
    if (width <= 0 || height == 0 || SrcWidth <= 0 || SrcHeight <= 0 || xSrc < 0 || ySrc < 0 ||
        source.right > width || source.bottom > height || DestWidth == 0 || DestHeight == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto window = LiveWindow(WindowOf(hdc));
    if (!window) return 0;
    const Bitmap bitmap{static_cast<const uint32_t*>(lpBits), width, height, lpbmi->bmiHeader.biHeight > 0};
    std::lock_guard<std::mutex> lock(window->frameMutex);
    if (!bitmap.bottomUp && !KeepFrame(*window, bitmap.pixels, static_cast<UINT32>(width), static_cast<UINT32>(height))) {
        return 0;
    }
    Stretch(*window, bitmap, source, xDest, yDest, DestWidth, DestHeight);
    return SrcHeight;
}
