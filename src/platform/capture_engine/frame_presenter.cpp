#include "frame_presenter.h"

#include <algorithm>

#ifdef _WIN32
#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>
#endif

namespace lumicap::virt {

RECT FitPicture(const RECT& destination, UINT32 width, UINT32 height)
{
    const int64_t areaWidth = std::max<int64_t>(0, int64_t{destination.right} - destination.left);
    const int64_t areaHeight = std::max<int64_t>(0, int64_t{destination.bottom} - destination.top);
    if (width == 0 || height == 0) return RECT{destination.left, destination.top, destination.left, destination.top};
    int64_t fitWidth = areaWidth;
    int64_t fitHeight = areaHeight;
    // Rounded to the nearest pixel, so a picture of the area's own shape fills it exactly.
    if (areaWidth * height > areaHeight * width) {
        fitWidth = (areaHeight * width * 2 + height) / (2 * int64_t{height});
    } else {
        fitHeight = (areaWidth * height * 2 + width) / (2 * int64_t{width});
    }
    const LONG left = static_cast<LONG>(destination.left + (areaWidth - fitWidth) / 2);
    const LONG top = static_cast<LONG>(destination.top + (areaHeight - fitHeight) / 2);
    return RECT{left, top, static_cast<LONG>(left + fitWidth), static_cast<LONG>(top + fitHeight)};
}

#ifdef _WIN32
namespace {

// What a window was shown, kept here because a real window keeps only the screen. The copy is made on
// the render thread, never on the host's.
struct PresentedFrame {
    std::mutex mutex;
    UINT64 count = 0;
    UINT32 width = 0;
    UINT32 height = 0;
    std::vector<uint32_t> pixels;
};

class PresentedFrames {
public:
    // The record of a window, made on its first frame; records of windows destroyed since are dropped
    // then, so they do not pile up over a long run.
    std::shared_ptr<PresentedFrame> ForPresenting(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = frames_.find(window);
        if (found != frames_.end()) return found->second;
        for (auto it = frames_.begin(); it != frames_.end();) {
            it = IsWindow(it->first) ? std::next(it) : frames_.erase(it);
        }
        auto frame = std::make_shared<PresentedFrame>();
        frames_.emplace(window, frame);
        return frame;
    }

    std::shared_ptr<PresentedFrame> Find(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = frames_.find(window);
        return found == frames_.end() ? nullptr : found->second;
    }

private:
    std::mutex mutex_;
    std::map<HWND, std::shared_ptr<PresentedFrame>> frames_;
};

PresentedFrames& Frames()
{
    static NoDestructor<PresentedFrames> frames;
    return frames.Get();
}

// The destination minus the picture, painted black whatever the window's own background.
void PaintBars(HDC dc, const RECT& destination, const RECT& picture)
{
    const RECT bars[] = {{destination.left, destination.top, destination.right, picture.top},
                         {destination.left, picture.bottom, destination.right, destination.bottom},
                         {destination.left, picture.top, picture.left, picture.bottom},
                         {picture.right, picture.top, destination.right, picture.bottom}};
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
    }
}

bool Draw(HWND hwnd, const RECT& destination, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    const RECT picture = FitPicture(destination, width, height);
    if (picture.right <= picture.left || picture.bottom <= picture.top) return false;
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

    PaintBars(dc, destination, picture);
    SetStretchBltMode(dc, COLORONCOLOR);
    const int lines = StretchDIBits(dc, picture.left, picture.top, picture.right - picture.left,
                                    picture.bottom - picture.top, 0, 0, static_cast<int>(width),
                                    static_cast<int>(height), pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(hwnd, dc);
    return lines > 0;
}

// Keeps the frame as the window's latest; false when it cannot be kept.
bool Record(HWND hwnd, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    return SUCCEEDED(NoThrow([&] {
        const std::shared_ptr<PresentedFrame> frame = Frames().ForPresenting(hwnd);
        std::lock_guard<std::mutex> lock(frame->mutex);
        // assign keeps the buffer when it is already large enough.
        frame->pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
        frame->width = width;
        frame->height = height;
        ++frame->count;
    }));
}

}  // namespace

bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height, const RECT& destination)
{
    HWND hwnd = static_cast<HWND>(window);
    if (!pixels || width == 0 || height == 0) return false;
    // A window that is gone receives nothing; one that exists receives the frame even while it cannot
    // be drawn (minimised, no client area), as a real window is sent it.
    if (!IsWindow(hwnd)) return false;
    const bool kept = Record(hwnd, pixels, width, height);
    return Draw(hwnd, destination, pixels, width, height) && kept;
}

UINT64 PresentedFrameCount(HANDLE window)
{
    const std::shared_ptr<PresentedFrame> frame = Frames().Find(static_cast<HWND>(window));
    if (!frame) return 0;
    std::lock_guard<std::mutex> lock(frame->mutex);
    return frame->count;
}

bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    const std::shared_ptr<PresentedFrame> frame = Frames().Find(static_cast<HWND>(window));
    if (!frame) return false;
    std::lock_guard<std::mutex> lock(frame->mutex);
    if (frame->count == 0) return false;
    if (width) *width = frame->width;
    if (height) *height = frame->height;
    if (pixels && capacity >= frame->pixels.size()) std::copy(frame->pixels.begin(), frame->pixels.end(), pixels);
    return true;
}

#else

// Off Windows a window is the portable subset's message window, which keeps its latest frame and
// its client picture itself.
bool PresentFrame(HANDLE window, const uint32_t* pixels, UINT32 width, UINT32 height, const RECT& destination)
{
    const RECT picture = FitPicture(destination, width, height);
    return LumicapDrawFrame(static_cast<HWND>(window), pixels, width, height, &destination, &picture) != FALSE;
}

UINT64 PresentedFrameCount(HANDLE window) { return LumicapGetFrameCount(static_cast<HWND>(window)); }

bool LatestPresentedFrame(HANDLE window, uint32_t* pixels, size_t capacity, UINT32* width, UINT32* height)
{
    return LumicapGetLatestFrame(static_cast<HWND>(window), pixels, capacity, width, height) != FALSE;
}

#endif

}  // namespace lumicap::virt
