// Drives lumicap-win32-host.exe on the camera-less lumicap.dll from outside, as a person at the
// screen would: waits for its window, presses Start, takes a screenshot of the preview area and checks
// that it shows the virtual camera's colour bars, moves the brightness slider and sees the bars
// darken, presses Take photo, grows the window and ticks Mirror (checking the picture each time),
// presses Stop, then closes the window.
// Runs under Wine on a virtual display; the host and lumicap.dll sit beside this program.
#include "host_check.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace host_check;

namespace {

constexpr int IDC_PREVIEW = 102;
constexpr int IDC_START = 103;
constexpr int IDC_STOP = 104;
constexpr int IDC_PHOTO = 105;
constexpr int IDC_STATUS = 106;
constexpr int IDC_MIRROR = 107;
constexpr int IDC_BRIGHTNESS_SLIDER = 200;  // the settings row of LUMICAP_CONTROL_BRIGHTNESS

// The virtual camera's eight vertical bars, left to right, as 0xRRGGBB.
constexpr uint32_t kBarColours[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

std::string Rgb(uint32_t colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return text;
}

// Polls until done() holds or the timeout passes; the host runs in its own process meanwhile.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}

std::wstring FolderOfThisProgram()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::wstring folder(path.data());
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    // WM_GETTEXT with a timeout: a hung host must fail the check, not hang it.
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

bool IsEnabled(HWND main, int id) { return IsWindowEnabled(GetDlgItem(main, id)) != FALSE; }

void Press(HWND main, int id)
{
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(main, id)));
}

// The preview window's client area as it is on the screen now, as 0xRRGGBB pixels, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

bool TakeScreenshot(HWND preview, Screenshot& shot)
{
    RECT client;
    POINT origin{0, 0};
    if (!GetClientRect(preview, &client) || !ClientToScreen(preview, &origin)) return false;
    shot.width = client.right;
    shot.height = client.bottom;
    if (shot.width <= 0 || shot.height <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY) != FALSE;
        GdiFlush();
        if (ok) {
            const auto* first = static_cast<const uint32_t*>(bits);
            shot.pixels.assign(first, first + static_cast<size_t>(shot.width) * shot.height);
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// Each bar sampled at its centre on the middle row, clear of the counter along the top and the moving
// square along the bottom, and the black bars beside the picture: the host starts the 640x480 format,
// which keeps its shape in the 16:9 area (480 wide, centred). The display is 24-bit, so the colours
// come back exact.
std::vector<std::string> BarMismatches(const Screenshot& shot, bool mirrored = false)
{
    std::vector<std::string> mismatches;
    const int y = shot.height / 2;
    const int pictureWidth = shot.height * 4 / 3;
    const int left = (shot.width - pictureWidth) / 2;
    for (int x : {left / 2, shot.width - left / 2 - 1}) {
        if (shot.At(x, y) != 0) mismatches.push_back("no black bar at (" + std::to_string(x) + "," + std::to_string(y) + ")");
    }
    for (int bar = 0; bar < 8; ++bar) {
        const int x = left + (2 * bar + 1) * pictureWidth / 16;
        const uint32_t seen = shot.At(mirrored ? shot.width - 1 - x : x, y);
        if (seen != kBarColours[bar]) {
            mismatches.push_back("bar " + std::to_string(bar) + " at (" + std::to_string(x) + "," +
                                 std::to_string(y) + ") is " + Rgb(seen) + ", not " + Rgb(kBarColours[bar]));
        }
    }
    return mismatches;
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "; ") + part;
    return out;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// Waits until a screenshot of the preview area shows the bars (mirrored or not); the mismatches of
// the last one otherwise.
std::vector<std::string> WaitForBars(HWND preview, Screenshot& shot, bool mirrored)
{
    std::vector<std::string> mismatches{"no screenshot taken"};
    WaitFor(
        [&] {
            if (!TakeScreenshot(preview, shot)) return false;
            mismatches = BarMismatches(shot, mirrored);
            return mismatches.empty();
        },
        15000);
    return mismatches;
}

void CheckPreviewShowsTheBars(HWND main)
{
    HWND preview = GetDlgItem(main, IDC_PREVIEW);
    Screenshot shot;
    // Frames keep coming; the first few screenshots may still show the black background.
    const std::vector<std::string> mismatches = WaitForBars(preview, shot, false);
    Check(shot.width == 640 && shot.height == 360,
          "the preview area is 640x360 (" + std::to_string(shot.width) + "x" + std::to_string(shot.height) + ")");
    Check(mismatches.empty(), "a screenshot of the preview area shows the eight colour bars" +
                                  (mismatches.empty() ? std::string() : ": " + Join(mismatches)));
}

// The settings panel's brightness slider, pushed to its left end, darkens the preview (white shows as
// 0x7F7F7F, 255 - 2 * 64); put back in the middle, the bars are exact again.
void CheckBrightnessSlider(HWND main)
{
    HWND slider = GetDlgItem(main, IDC_BRIGHTNESS_SLIDER);
    if (!Check(slider != nullptr, "the settings panel has a brightness slider")) return;
    HWND preview = GetDlgItem(main, IDC_PREVIEW);
    Screenshot shot;
    // The white bar's centre, in the picture that keeps its 4:3 shape between black bars.
    auto whiteBar = [&] {
        const int pictureWidth = shot.height * 4 / 3;
        return shot.At((shot.width - pictureWidth) / 2 + pictureWidth / 16, shot.height / 2);
    };
    PostMessageW(main, WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), reinterpret_cast<LPARAM>(slider));
    const bool dark = WaitFor([&] { return TakeScreenshot(preview, shot) && whiteBar() == 0x7F7F7F; }, 15000);
    Check(dark, "brightness at its lowest shows the white bar as #7F7F7F (" + (shot.pixels.empty() ? "none" : Rgb(whiteBar())) + ")");
    PostMessageW(main, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 64), reinterpret_cast<LPARAM>(slider));
    std::vector<std::string> mismatches{"no screenshot taken"};
    WaitFor([&] { return TakeScreenshot(preview, shot) && (mismatches = BarMismatches(shot)).empty(); }, 15000);
    Check(mismatches.empty(), "brightness back at 0 shows the bars exactly" +
                                  (mismatches.empty() ? std::string() : ": " + Join(mismatches)));
}

// The host's window grows: its preview area follows, and the library keeps the picture filling it;
// the Mirror box mirrors it.
void CheckResizeAndMirror(HWND main)
{
    HWND preview = GetDlgItem(main, IDC_PREVIEW);
    RECT frame{};
    GetWindowRect(main, &frame);
    SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 100,
                 SWP_NOMOVE | SWP_NOZORDER);
    Screenshot shot;
    std::vector<std::string> mismatches = WaitForBars(preview, shot, false);
    Check(shot.width == 840 && shot.height == 460,
          "the preview area grows with the window to 840x460 (" + std::to_string(shot.width) + "x" +
              std::to_string(shot.height) + ")");
    Check(mismatches.empty(), "the grown preview area shows the picture with black bars" +
                                  (mismatches.empty() ? std::string() : ": " + Join(mismatches)));
    PostMessageW(GetDlgItem(main, IDC_MIRROR), BM_CLICK, 0, 0);
    mismatches = WaitForBars(preview, shot, true);
    Check(mismatches.empty(), "the Mirror box mirrors the preview" +
                                  (mismatches.empty() ? std::string() : ": " + Join(mismatches)));
    PostMessageW(GetDlgItem(main, IDC_MIRROR), BM_CLICK, 0, 0);
}

void CheckPhotoIsSaved(HWND main, const std::wstring& folder)
{
    HWND status = GetDlgItem(main, IDC_STATUS);
    Press(main, IDC_PHOTO);
    const std::wstring saved = L"Photo saved to ";
    const bool done = WaitFor([&] { return StartsWith(WindowText(status), saved); }, 15000);
    const std::wstring text = WindowText(status);
    // The status's first line says what happened; the second is the library's latest log line.
    const std::wstring happened = text.substr(0, text.find(L'\r'));
    if (!Check(done, "Take photo saves a photo (status \"" + Utf8(happened) + "\")")) return;
    const std::wstring name = happened.substr(saved.size());
    const std::wstring path = folder + name;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
    Check(exists && (data.nFileSizeLow > 0 || data.nFileSizeHigh > 0), "the photo file " + Utf8(name) + " is not empty");
    DeleteFileW(path.c_str());
}

void RunHost(const std::wstring& folder)
{
    std::wstring command = L"\"" + folder + L"lumicap-win32-host.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!Check(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                              &process) != FALSE,
               "lumicap-win32-host.exe starts")) {
        return;
    }
    HWND main = nullptr;
    WaitFor([&] { return (main = FindWindowW(L"LumicapWin32Host", nullptr)) != nullptr; }, 30000);
    if (Check(main != nullptr, "the host's window appears")) {
        if (Check(WaitFor([&] { return IsEnabled(main, IDC_START); }, 15000), "the first camera opens (Start enabled)")) {
            Press(main, IDC_START);
            if (Check(WaitFor([&] { return IsEnabled(main, IDC_STOP); }, 15000), "Start starts the preview")) {
                CheckPreviewShowsTheBars(main);
                CheckBrightnessSlider(main);
                CheckPhotoIsSaved(main, folder);
                CheckResizeAndMirror(main);
                Press(main, IDC_STOP);
                Check(WaitFor([&] { return IsEnabled(main, IDC_START) && !IsEnabled(main, IDC_STOP); }, 15000),
                      "Stop stops the preview");
            }
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    Check(ended && code == 0, "the host closes cleanly (exit " + std::to_string(code) + ")");
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

int main()
{
    RunHost(FolderOfThisProgram());
    return Summary();
}
