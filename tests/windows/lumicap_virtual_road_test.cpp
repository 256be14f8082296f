// The whole host road on virtual cameras, run as a Windows application runs it: a registered window
// class, a window whose procedure passes WM_CAMERA_EVENT to OnCaptureEvent, a GetMessageW/
// DispatchMessageW loop, oleaut32's SAFEARRAY and BSTR, a preview window drawn into with GDI and
// photos decoded with WIC. Runs under Wine, on the camera-less lumicap.dll, or on the real one with
// the stand-in mf.dll (which then also holds the control functions) loaded in its place.
//
// Usage: lumicap_virtual_road_test.exe [path-to-lumicap.dll [path-to-the-control-dll [--no-gpu]]]
// --no-gpu: the machine is known to make no Direct3D device for video; the road checks that first.
#include "host_check.h"

#include <lumicap/lumicap.h>
#include <dbt.h>
#include <lumicap/lumicap_virtual.h>

#include <mfapi.h>
#include <mfcaptureengine.h>
#include <mferror.h>
#include <objbase.h>
#include <oleauto.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <d3d11.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

using namespace host_check;

namespace {

// ---------------------------------------------------------------------------------------------
// The library, resolved by name: the eleven exports, and the control functions from the camera-less
// library itself or from the stand-in mf.dll.

struct VirtualLibrary : Library {
    decltype(&::LumicapVirtualReset) reset = nullptr;
    decltype(&::LumicapVirtualSetCameras) setCameras = nullptr;
    decltype(&::LumicapVirtualAddCamera) addCamera = nullptr;
    decltype(&::LumicapVirtualRemoveCamera) removeCamera = nullptr;
    decltype(&::LumicapVirtualFailOperation) failOperation = nullptr;
    decltype(&::LumicapVirtualClearFaults) clearFaults = nullptr;
    decltype(&::LumicapVirtualGetFrameCount) getFrameCount = nullptr;
    decltype(&::LumicapVirtualGetLatestFrame) getLatestFrame = nullptr;
    decltype(&::LumicapVirtualSetNextEventStatus) setNextEventStatus = nullptr;
    decltype(&::LumicapVirtualSetMicrophoneCondition) setMicrophoneCondition = nullptr;
    decltype(&::LumicapVirtualSetCameraBlocked) setCameraBlocked = nullptr;
    decltype(&::LumicapVirtualDropNextEvent) dropNextEvent = nullptr;
    // The preview's exports beyond the eleven, from the library itself.
    decltype(&::LumicapSetPreviewMirror) setPreviewMirror = nullptr;
    decltype(&::LumicapSetPreviewFrames) setPreviewFrames = nullptr;
    decltype(&::LumicapGetPreviewFrame) getPreviewFrame = nullptr;
};

// With a control DLL of its own, the library is the real one and must run on the stand-in: the
// mf.dll it imports is the control DLL.
HMODULE LoadControl(const std::wstring& controlPath, HMODULE library)
{
    if (controlPath.empty()) return library;
    const bool real = GetProcAddress(library, "LumicapVirtualReset") == nullptr;
    if (!Check(real, "the library exports no LumicapVirtual function: it is the real one")) return nullptr;
    const HMODULE control = LoadLibraryW(controlPath.c_str());
    const bool standIn = control && control == GetModuleHandleW(L"mf.dll");
    return Check(standIn, "the mf.dll the library imports is " + Utf8(controlPath)) ? control : nullptr;
}

bool LoadVirtual(const std::wstring& path, const std::wstring& controlPath, VirtualLibrary& lib)
{
    if (!Load(path, lib)) return false;
    const HMODULE control = LoadControl(controlPath, lib.module);
    if (!control) return false;
    bool all = true;
    all &= Resolve(control, "LumicapVirtualReset", lib.reset);
    all &= Resolve(control, "LumicapVirtualSetCameras", lib.setCameras);
    all &= Resolve(control, "LumicapVirtualAddCamera", lib.addCamera);
    all &= Resolve(control, "LumicapVirtualRemoveCamera", lib.removeCamera);
    all &= Resolve(control, "LumicapVirtualFailOperation", lib.failOperation);
    all &= Resolve(control, "LumicapVirtualClearFaults", lib.clearFaults);
    all &= Resolve(control, "LumicapVirtualGetFrameCount", lib.getFrameCount);
    all &= Resolve(control, "LumicapVirtualGetLatestFrame", lib.getLatestFrame);
    all &= Resolve(control, "LumicapVirtualSetNextEventStatus", lib.setNextEventStatus);
    all &= Resolve(control, "LumicapVirtualSetMicrophoneCondition", lib.setMicrophoneCondition);
    all &= Resolve(control, "LumicapVirtualSetCameraBlocked", lib.setCameraBlocked);
    all &= Resolve(control, "LumicapVirtualDropNextEvent", lib.dropNextEvent);
    all &= Resolve(lib.module, "LumicapSetPreviewMirror", lib.setPreviewMirror);
    all &= Resolve(lib.module, "LumicapSetPreviewFrames", lib.setPreviewFrames);
    all &= Resolve(lib.module, "LumicapGetPreviewFrame", lib.getPreviewFrame);
    return all;
}

// ---------------------------------------------------------------------------------------------
// The host: its windows, what its window procedure saw, and its message loop.

struct Host {
    VirtualLibrary lib;
    HWND eventWindow = nullptr;
    HWND previewWindow = nullptr;
    int readyNotices = 0;
    int eventsAtReadyNotice = 0;
    int photoNotices = 0;
    int eventsAtPhotoNotice = 0;
    int eventsHandled = 0;
    bool photoRequestInsideNotice = false;
    std::vector<BYTE> photo;  // copied from GetLastPhoto in the WM_CAMERA_PHOTO_READY handler
    std::vector<GUID> eventTypes;                      // of each WM_CAMERA_EVENT, read before it is passed on
    std::vector<std::pair<WPARAM, HRESULT>> errors;    // each WM_CAMERA_ERROR
    std::vector<WPARAM> blocked;                       // each WM_CAMERA_BLOCKED
    int arrivals = 0;         // WM_CAMERA_DEVICES_CHANGED by wParam
    int removals = 0;
    int oddChanges = 0;       // with another wParam, or an lParam other than 0
};

Host host;

constexpr UINT_PTR kPumpTimer = 1;
constexpr DWORD kTimeoutMs = 30000;
constexpr int kPreviewWidth = 320;
constexpr int kPreviewHeight = 180;

void OnPhotoReady()
{
    ++host.photoNotices;
    host.eventsAtPhotoNotice = host.eventsHandled;
    BYTE* data = nullptr;
    INT32 size = 0;
    host.lib.getLastPhoto(&data, &size);
    host.photo.assign(data, data + (data && size > 0 ? size : 0));
    host.lib.freePhotoMemory();
    if (host.photoRequestInsideNotice) {
        host.photoRequestInsideNotice = false;
        host.lib.takePhotoAsync();
    }
}

LRESULT CALLBACK EventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CAMERA_EVENT: {
        GUID type = GUID_NULL;
        if (wParam) reinterpret_cast<IMFMediaEvent*>(wParam)->GetExtendedType(&type);
        host.eventTypes.push_back(type);
        host.lib.onCaptureEvent(message, wParam);
        ++host.eventsHandled;
        return 0;
    }
    case WM_CAMERA_ERROR:
        host.errors.emplace_back(wParam, static_cast<HRESULT>(lParam));
        return 0;
    case WM_CAMERA_BLOCKED:
        host.blocked.push_back(wParam);
        return 0;
    case WM_CAMERA_READY:
        ++host.readyNotices;
        host.eventsAtReadyNotice = host.eventsHandled;
        return 0;
    case WM_CAMERA_PHOTO_READY:
        OnPhotoReady();
        return 0;
    case WM_CAMERA_DEVICES_CHANGED:
        if (lParam != 0 || (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)) {
            ++host.oddChanges;
        } else {
            ++(wParam == DBT_DEVICEARRIVAL ? host.arrivals : host.removals);
        }
        return 0;
    case WM_TIMER:
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool CreateWindows()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW eventClass{};
    eventClass.lpfnWndProc = EventWindowProc;
    eventClass.hInstance = instance;
    eventClass.lpszClassName = L"LumicapRoadEventWindow";
    // No background brush for the preview: nothing erases what the library draws.
    WNDCLASSW previewClass{};
    previewClass.lpfnWndProc = DefWindowProcW;
    previewClass.hInstance = instance;
    previewClass.lpszClassName = L"LumicapRoadPreviewWindow";
    if (!RegisterClassW(&eventClass) || !RegisterClassW(&previewClass)) return false;

    host.eventWindow = CreateWindowExW(0, eventClass.lpszClassName, L"Lumicap road", WS_OVERLAPPEDWINDOW,
                                       CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, nullptr, nullptr, instance, nullptr);
    RECT frame{0, 0, kPreviewWidth, kPreviewHeight};
    AdjustWindowRect(&frame, WS_POPUP, FALSE);
    host.previewWindow = CreateWindowExW(0, previewClass.lpszClassName, L"Lumicap preview", WS_POPUP, 0, 0,
                                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                         instance, nullptr);
    if (!host.eventWindow || !host.previewWindow) return false;
    ShowWindow(host.previewWindow, SW_SHOWNOACTIVATE);
    UpdateWindow(host.previewWindow);
    return true;
}

// Runs the message loop until done() holds, or gives up after the timeout. A timer wakes GetMessageW
// now and then, since some conditions (frames drawn) change without a message.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kTimeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    SetTimer(host.eventWindow, kPumpTimer, 10, nullptr);
    bool reached = true;
    while (!done()) {
        MSG message;
        if (GetTickCount64() >= deadline || GetMessageW(&message, nullptr, 0, 0) <= 0) {
            reached = false;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(host.eventWindow, kPumpTimer);
    return reached;
}

// Pumps for a while whatever happens: for checks that something does NOT happen.
void PumpFor(DWORD milliseconds) { PumpUntil([] { return false; }, milliseconds); }

// ---------------------------------------------------------------------------------------------
// Lists, photos and frames as a host reads them.

// The strings of a one-dimensional SAFEARRAY of BSTR with lower bound 0, read and destroyed with
// oleaut32's own functions.
std::vector<std::wstring> ReadStringList(SAFEARRAY* array, const std::string& what)
{
    std::vector<std::wstring> strings;
    if (!Check(array != nullptr, what + " stores an array")) return strings;
    VARTYPE type = VT_EMPTY;
    LONG lower = -1;
    LONG upper = -2;
    const bool shaped = SafeArrayGetDim(array) == 1 && SUCCEEDED(SafeArrayGetVartype(array, &type)) &&
                        type == VT_BSTR && SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) && lower == 0 &&
                        SUCCEEDED(SafeArrayGetUBound(array, 1, &upper));
    if (Check(shaped, what + " is a one-dimensional SAFEARRAY of BSTR from index 0")) {
        for (LONG i = lower; i <= upper; ++i) {
            BSTR text = nullptr;
            if (FAILED(SafeArrayGetElement(array, &i, &text))) break;
            strings.emplace_back(text ? std::wstring(text, SysStringLen(text)) : std::wstring());
            SysFreeString(text);
        }
    }
    Check(SUCCEEDED(SafeArrayDestroy(array)), what + ": SafeArrayDestroy succeeds");
    return strings;
}

std::vector<std::wstring> CameraList(const std::string& what)
{
    SAFEARRAY* names = nullptr;
    host.lib.getCameraList(&names);
    return ReadStringList(names, what);
}

std::vector<std::wstring> MediaTypeList(const std::string& what)
{
    SAFEARRAY* types = nullptr;
    host.lib.getMediaTypeList(&types);
    return ReadStringList(types, what);
}

bool CheckList(const std::vector<std::wstring>& actual, const std::vector<std::wstring>& expected,
               const std::string& what)
{
    return Check(actual == expected, what + " is " + Describe(expected) + " (got " + Describe(actual) + ")");
}

// The colour bars of the test pattern, left to right, as 0x00RRGGBB.
constexpr UINT32 kBars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

bool Near(UINT32 actual, UINT32 expected, int tolerance)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) return false;
    }
    return true;
}

// The middle of each bar on the middle row, away from the frame counter and the moving square.
bool BarsMatch(const std::function<UINT32(UINT32, UINT32)>& pixel, UINT32 width, UINT32 height, int tolerance,
               std::string& detail)
{
    bool all = true;
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = (2 * bar + 1) * width / 16;
        const UINT32 value = pixel(x, height / 2);
        if (!Near(value, kBars[bar], tolerance)) {
            char text[64];
            std::snprintf(text, sizeof text, " bar %u is %06X, not %06X;", bar, value, kBars[bar]);
            detail += text;
            all = false;
        }
    }
    return all;
}

struct Picture {
    bool ok = false;
    UINT width = 0;
    UINT height = 0;
    std::vector<UINT32> pixels;  // 0x00RRGGBB, top row first
};

// Decodes a JPEG with the system's imaging component, as a host shows or saves the photo.
Picture DecodeJpeg(const std::vector<BYTE>& jpeg)
{
    Picture picture;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) hr = stream->InitializeFromMemory(const_cast<BYTE*>(jpeg.data()), static_cast<DWORD>(jpeg.size()));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    }
    GUID container = GUID_NULL;
    if (SUCCEEDED(hr)) hr = decoder->GetContainerFormat(&container);
    if (SUCCEEDED(hr) && container != GUID_ContainerFormatJpeg) hr = WINCODEC_ERR_COMPONENTNOTFOUND;
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(hr)) hr = frame->GetSize(&picture.width, &picture.height);
    if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    }
    if (SUCCEEDED(hr)) {
        picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
        // 32bppBGR in memory (B, G, R, unused) reads as 0x00RRGGBB on a little-endian machine.
        hr = converter->CopyPixels(nullptr, picture.width * 4, static_cast<UINT>(picture.pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(picture.pixels.data()));
    }
    picture.ok = SUCCEEDED(hr);
    return picture;
}

// Asks for a photo and runs the loop until its notice and the WM_CAMERA_EVENT that follows it have
// been handled; answers the bytes the notice handler fetched.
bool TakePhoto(std::vector<BYTE>& jpeg)
{
    const int notices = host.photoNotices;
    host.photo.clear();
    host.lib.takePhotoAsync();
    const bool done = PumpUntil(
        [&] { return host.photoNotices > notices && host.eventsHandled > host.eventsAtPhotoNotice; });
    jpeg = host.photo;
    return done;
}

void CheckPhoto(UINT width, UINT height, const std::string& what)
{
    std::vector<BYTE> jpeg;
    if (!Check(TakePhoto(jpeg), what + ": WM_CAMERA_PHOTO_READY and its WM_CAMERA_EVENT arrive")) return;
    if (!Check(jpeg.size() > 2 && jpeg[0] == 0xFF && jpeg[1] == 0xD8,
               what + ": GetLastPhoto gives JPEG bytes (" + std::to_string(jpeg.size()) + " bytes)")) {
        return;
    }
    const Picture picture = DecodeJpeg(jpeg);
    if (!Check(picture.ok, what + ": WIC decodes the photo")) return;
    Check(picture.width == width && picture.height == height,
          what + ": the photo is " + std::to_string(width) + "x" + std::to_string(height) + " (got " +
              std::to_string(picture.width) + "x" + std::to_string(picture.height) + ")");
    if (picture.width != width || picture.height != height) return;
    std::string detail;
    const bool bars = BarsMatch([&](UINT32 x, UINT32 y) { return picture.pixels[size_t{y} * width + x]; }, width,
                                height, 40, detail);
    Check(bars, what + ": the photo shows the eight colour bars" + detail);
}

// Runs the loop until the engine's answer to the last call (one WM_CAMERA_EVENT) has been handled.
bool PumpOneEvent()
{
    const int handled = host.eventsHandled;
    return PumpUntil([&] { return host.eventsHandled > handled; });
}

// Runs the loop until an engine event of this type has been handled: the answer to a request, after
// whatever news the engine sends before it.
bool PumpUntilEvent(REFGUID type, DWORD timeoutMs = kTimeoutMs)
{
    const size_t from = host.eventTypes.size();
    return PumpUntil(
        [&] {
            for (size_t i = from; i < host.eventTypes.size(); ++i) {
                if (IsEqualGUID(host.eventTypes[i], type)) return true;
            }
            return false;
        },
        timeoutMs);
}

// ---------------------------------------------------------------------------------------------
// The road.

const std::wstring kFront = L"Lumicap Virtual Camera";
const std::wstring kRear = L"Lumicap Virtual Rear Camera";
// CLSID_VideoInputDeviceCategory and KSCATEGORY_VIDEO_CAMERA, spelt out to need no more libraries.
constexpr GUID kVideoInputDeviceCategory = {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr GUID kVideoCameraCategory = {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}};

void CheckCameraList()
{
    const size_t start = LogCount();
    CheckList(CameraList("GetCameraList"), {kFront, kRear}, "GetCameraList");
    CheckLogged(start,
                {L"GetCameraList",
                 L"Camera symbolic link: \\\\?\\lumicap#virtual#0#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
                 L"Camera name: Lumicap Virtual Camera",
                 L"Camera category GUID: {860BB310-5D01-11D0-BD3B-00A0C911CE86}",
                 L"Camera category name: CLSID_VideoInputDeviceCategory",
                 L"Camera symbolic link: \\\\?\\lumicap#virtual#1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
                 L"Camera name: Lumicap Virtual Rear Camera",
                 L"Camera category GUID: {E5323777-F976-4F5B-9B55-B94699C46E44}"},
                "GetCameraList");
}

bool OpenCamera(const std::wstring& name)
{
    const size_t start = LogCount();
    const int notices = host.readyNotices;
    const HRESULT hr = host.lib.initializeCamera(name.c_str());
    Check(hr == S_OK, "InitializeCamera(\"" + Utf8(name) + "\") returns S_OK (got " + Hex(hr) + ")");
    CheckLogged(start, {L"InitializeCamera: " + name}, "InitializeCamera");
    return Check(PumpUntil([&] {
                     return host.readyNotices > notices && host.eventsHandled > host.eventsAtReadyNotice;
                 }),
                 "WM_CAMERA_READY and its WM_CAMERA_EVENT arrive for " + Utf8(name));
}

bool StartPreview(INT32 index, const std::string& what)
{
    const size_t start = LogCount();
    const HRESULT hr = host.lib.startPreview(index, host.previewWindow);
    Check(hr == S_OK, what + " returns S_OK (got " + Hex(hr) + ")");
    CheckLogged(start, {L"StartPreview media type index: " + std::to_wstring(index)}, what);
    return Check(hr == S_OK && PumpUntilEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED),
                 what + ": the engine's confirmation is handled");
}

// Frames keep arriving in the preview window, at the given size, with the test pattern.
void CheckPreviewFrames(UINT32 width, UINT32 height, const std::string& what)
{
    const UINT64 before = host.lib.getFrameCount(host.previewWindow);
    Check(PumpUntil([&] { return host.lib.getFrameCount(host.previewWindow) >= before + 3; }),
          what + ": frames keep arriving in the preview window");
    UINT32 w = 0;
    UINT32 h = 0;
    HRESULT hr = host.lib.getLatestFrame(host.previewWindow, &w, &h, nullptr, 0);
    Check(hr == S_OK && w == width && h == height,
          what + ": the latest frame is " + std::to_string(width) + "x" + std::to_string(height) + " (got " +
              std::to_string(w) + "x" + std::to_string(h) + ", " + Hex(hr) + ")");
    std::vector<UINT32> pixels(static_cast<size_t>(width) * height);
    UINT32 small = 0;
    hr = host.lib.getLatestFrame(host.previewWindow, &w, &h, &small, 1);
    Check(hr == LUMICAP_VIRTUAL_E_BUFFER_TOO_SMALL && w == width && h == height,
          what + ": a one-pixel buffer is refused with its size reported (" + Hex(hr) + ")");
    hr = host.lib.getLatestFrame(host.previewWindow, &w, &h, pixels.data(), pixels.size());
    if (!Check(hr == S_OK && w == width && h == height, what + ": the latest frame is copied (" + Hex(hr) + ")")) {
        return;
    }
    std::string detail;
    Check(BarsMatch([&](UINT32 x, UINT32 y) { return pixels[size_t{y} * width + x]; }, width, height, 0, detail),
          what + ": the frame shows the eight colour bars exactly" + detail);
}

// What the window shows on screen: GDI drew the frames stretched to its client area.
void CheckScreen()
{
    HDC dc = GetDC(host.previewWindow);
    std::string detail;
    const bool bars = dc && BarsMatch(
                                [&](UINT32 x, UINT32 y) {
                                    const COLORREF c = GetPixel(dc, static_cast<int>(x), static_cast<int>(y));
                                    return static_cast<UINT32>(GetRValue(c)) << 16 |
                                           static_cast<UINT32>(GetGValue(c)) << 8 | GetBValue(c);
                                },
                                kPreviewWidth, kPreviewHeight, 8, detail);
    if (dc) ReleaseDC(host.previewWindow, dc);
    Check(bars, "the preview window shows the colour bars on screen (GetPixel)" + detail);
}

// The screen's pixel of the preview window as 0x00RRGGBB.
UINT32 ScreenPixel(HDC dc, UINT32 x, UINT32 y)
{
    const COLORREF c = GetPixel(dc, static_cast<int>(x), static_cast<int>(y));
    return static_cast<UINT32>(GetRValue(c)) << 16 | static_cast<UINT32>(GetGValue(c)) << 8 | GetBValue(c);
}

// Sizes the preview window's client area, as a host's layout does.
void ResizePreview(int width, int height)
{
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_POPUP, FALSE);
    SetWindowPos(host.previewWindow, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Waits until the screen shows the picture in [left, left + width) of the preview window's middle
// row, with black bars on both sides of it, the bars in order or mirrored.
bool ScreenShowsPicture(int left, int width, bool mirrored, std::string& detail)
{
    bool shown = false;
    PumpUntil(
        [&] {
            HDC dc = GetDC(host.previewWindow);
            if (!dc) return false;
            RECT client{};
            GetClientRect(host.previewWindow, &client);
            const UINT32 y = static_cast<UINT32>(client.bottom / 2);
            detail.clear();
            shown = BarsMatch(
                [&](UINT32 x, UINT32 row) {
                    const UINT32 inside = mirrored ? static_cast<UINT32>(width) - 1 - x : x;
                    return ScreenPixel(dc, static_cast<UINT32>(left) + inside, row);
                },
                static_cast<UINT32>(width), static_cast<UINT32>(client.bottom), 8, detail);
            for (int x : {left / 2, left + width + (static_cast<int>(client.right) - left - width) / 2}) {
                if (left > 0 && !Near(ScreenPixel(dc, static_cast<UINT32>(x), y), 0, 8)) {
                    detail += " no black bar at x=" + std::to_string(x) + ";";
                    shown = false;
                }
            }
            ReleaseDC(host.previewWindow, dc);
            return shown;
        },
        10000);
    return shown;
}

// The picture follows its window, keeps its shape, and mirrors on request (photos never do). The
// preview runs at 1920x1080 in the 320x180 window.
void CheckPictureFollowsAndMirrors()
{
    std::string detail;
    ResizePreview(480, 180);
    Check(ScreenShowsPicture(80, 320, false, detail),
          "the grown preview window shows the 16:9 picture in its middle with black bars" + detail);
    HRESULT hr = host.lib.setPreviewMirror(TRUE);
    Check(hr == S_OK, "LumicapSetPreviewMirror(TRUE) while previewing (" + Hex(hr) + ")");
    Check(ScreenShowsPicture(80, 320, true, detail), "the preview window shows the bars mirrored" + detail);
    CheckPhoto(1920, 1080, "photo of a mirrored preview (not mirrored)");
    hr = host.lib.setPreviewMirror(FALSE);
    Check(hr == S_OK, "LumicapSetPreviewMirror(FALSE) (" + Hex(hr) + ")");
    ResizePreview(kPreviewWidth, kPreviewHeight);
    Check(ScreenShowsPicture(0, kPreviewWidth, false, detail), "the picture fills the window again" + detail);
}

// Frames mode on a new set-up of the front camera at 640x480: the host reads the newest frame, and
// the library draws it into the window (pillarboxed in 320x180) or, with no window, nowhere.
void CheckFramesMode(HWND window, const std::string& what)
{
    HRESULT hr = host.lib.setPreviewFrames(TRUE);
    Check(hr == S_OK, what + ": LumicapSetPreviewFrames(TRUE) (" + Hex(hr) + ")");
    if (!OpenCamera(kFront)) return;
    const UINT64 sinkFrames = host.lib.getFrameCount(host.previewWindow);
    hr = host.lib.startPreview(0, window);
    if (!Check(hr == S_OK && PumpOneEvent(), what + ": the preview starts (" + Hex(hr) + ")")) return;
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 first = 0;
    std::vector<UINT32> pixels(640 * 480);
    Check(PumpUntil([&] {
              return host.lib.getPreviewFrame(&width, &height, pixels.data(), pixels.size(), &first) == S_OK;
          }),
          what + ": LumicapGetPreviewFrame gives a frame");
    std::string detail;
    Check(width == 640 && height == 480 &&
              BarsMatch([&](UINT32 x, UINT32 y) { return pixels[size_t{y} * width + x]; }, 640, 480, 0, detail),
          what + ": the frame is 640x480 with the colour bars (" + std::to_string(width) + "x" +
              std::to_string(height) + ")" + detail);
    UINT64 later = first;
    const bool grew = PumpUntil([&] {
        host.lib.getPreviewFrame(&width, &height, nullptr, 0, &later);
        return later > first;
    });
    Check(grew, what + ": the frame number grows (" + std::to_string(first) + ", then " + std::to_string(later) + ")");
    if (window) {
        Check(ScreenShowsPicture(40, 240, false, detail), what + ": the library draws the frames, pillarboxed" + detail);
    }
    // The frames go to the library, not into a window of the sink's.
    Check(host.lib.getFrameCount(host.previewWindow) == sinkFrames, what + ": the sink draws into no window");
    host.lib.stopPreview();
    PumpOneEvent();
    host.lib.setPreviewFrames(FALSE);
}

void CheckFrontCamera()
{
    if (!OpenCamera(kFront)) return;
    const size_t start = LogCount();
    CheckList(MediaTypeList("GetMediaTypeList"),
              {L"640 X 480 YUY2 FPS 30", L"1280 X 720 YUY2 FPS 10", L"1280 X 720 MJPG FPS 30",
               L"1920 X 1080 MJPG FPS 30", L"1920 X 1080 NV12 FPS 29", L"320 X 240  FPS 15"},
              "GetMediaTypeList of " + Utf8(kFront));
    CheckLogged(start, {L"GetMediaTypeList"}, "GetMediaTypeList");

    if (!StartPreview(3, "StartPreview(3, window)")) return;
    CheckPreviewFrames(1920, 1080, "preview at index 3");
    CheckScreen();
    CheckList(MediaTypeList("GetMediaTypeList while previewing"), {}, "GetMediaTypeList while previewing");

    size_t photoStart = LogCount();
    CheckPhoto(1920, 1080, "photo at index 3");
    CheckLogged(photoStart, {L"TakePhoto"}, "TakePhotoAsync");

    // The pending rule: a request inside the notice comes before the photo's WM_CAMERA_EVENT.
    host.photoRequestInsideNotice = true;
    photoStart = LogCount();
    CheckPhoto(1920, 1080, "photo with a request inside WM_CAMERA_PHOTO_READY");
    CheckLogged(photoStart, {L"TakePhoto", L"TakePhoto, already pending..."},
                "TakePhotoAsync inside the WM_CAMERA_PHOTO_READY handler");
}

double MeanLuma(const std::vector<UINT32>& pixels)
{
    double sum = 0;
    for (UINT32 p : pixels) sum += (77 * ((p >> 16) & 0xFF) + 150 * ((p >> 8) & 0xFF) + 29 * (p & 0xFF)) >> 8;
    return pixels.empty() ? 0 : sum / pixels.size();
}

// The mean luma of a preview frame drawn after the call.
double NextFrameLuma()
{
    const UINT64 before = host.lib.getFrameCount(host.previewWindow);
    PumpUntil([&] { return host.lib.getFrameCount(host.previewWindow) >= before + 2; });
    UINT32 w = 0;
    UINT32 h = 0;
    host.lib.getLatestFrame(host.previewWindow, &w, &h, nullptr, 0);
    std::vector<UINT32> pixels(static_cast<size_t>(w) * h);
    host.lib.getLatestFrame(host.previewWindow, &w, &h, pixels.data(), pixels.size());
    return MeanLuma(pixels);
}

// The controls reach the camera's device source (in the real DLL's case the stand-in's, through
// IMFCaptureSource::GetCaptureDeviceSource) and show in the preview.
void CheckControls()
{
    const size_t start = LogCount();
    INT32 minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
    HRESULT hr = host.lib.getControlRange(LUMICAP_CONTROL_BRIGHTNESS, &minimum, &maximum, &step, &defaultValue, &caps);
    Check(hr == S_OK && minimum == -64 && maximum == 64 && step == 1 && defaultValue == 0 && caps == LUMICAP_CONTROL_MANUAL,
          "the brightness range is -64..64 step 1, default 0, manual (" + Hex(hr) + ")");
    const double before = NextFrameLuma();
    hr = host.lib.setControl(LUMICAP_CONTROL_BRIGHTNESS, -64, LUMICAP_CONTROL_MANUAL);
    const double after = NextFrameLuma();
    Check(hr == S_OK && after < before - 40, "brightness -64 darkens the next preview frames (" + Hex(hr) + ", " +
                                                 std::to_string(before) + " -> " + std::to_string(after) + ")");
    INT32 value = 0, flags = 0;
    hr = host.lib.setControl(LUMICAP_CONTROL_EXPOSURE, -9, LUMICAP_CONTROL_MANUAL);
    const HRESULT read = host.lib.getControl(LUMICAP_CONTROL_EXPOSURE, &value, &flags);
    Check(hr == S_OK && read == S_OK && value == -9 && flags == LUMICAP_CONTROL_MANUAL,
          "a manual exposure reads back (" + Hex(hr) + ", " + Hex(read) + ")");
    hr = host.lib.setControl(LUMICAP_CONTROL_FOCUS, 3, LUMICAP_CONTROL_MANUAL);
    Check(hr == E_INVALIDARG, "a focus off its step grid is E_INVALIDARG (" + Hex(hr) + ")");
    hr = host.lib.getControl(LUMICAP_CONTROL_PAN, &value, &flags);
    Check(hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "the virtual camera has no pan (" + Hex(hr) + ")");
    CheckLogged(start,
                {L"LumicapGetControlRange: 0", L"LumicapSetControl: 0", L"LumicapSetControl: 104",
                 L"LumicapGetControl: 104", L"LumicapSetControl: 106", L"LumicapGetControl: 100"},
                "the control calls");
    host.lib.setControl(LUMICAP_CONTROL_BRIGHTNESS, 0, LUMICAP_CONTROL_MANUAL);
}

void CheckStopAndRestart()
{
    size_t start = LogCount();
    host.lib.stopPreview();
    CheckLogged(start, {L"StopPreview"}, "StopPreview");
    Check(PumpOneEvent(), "StopPreview: the engine's confirmation is handled");
    const UINT64 stoppedAt = host.lib.getFrameCount(host.previewWindow);
    PumpFor(300);
    Check(host.lib.getFrameCount(host.previewWindow) == stoppedAt, "no frame arrives once the preview stopped");
    start = LogCount();
    host.lib.takePhotoAsync();
    CheckLogged(start, {}, "TakePhotoAsync without a preview");

    // The first start after InitializeCamera fixed index 3; a restart keeps it.
    if (!StartPreview(0, "StartPreview(0, window) after the stop")) return;
    CheckPreviewFrames(1920, 1080, "restarted preview");
    CheckPhoto(1920, 1080, "photo after the restart (index 0 asked, index 3 kept)");
}

void CheckRearCameraAndUnplug()
{
    if (!OpenCamera(kRear)) return;
    CheckList(MediaTypeList("GetMediaTypeList of the rear camera"),
              {L"640 X 480 NV12 FPS 15", L"2592 X 1944 MJPG FPS 5"}, "GetMediaTypeList of " + Utf8(kRear));
    if (!StartPreview(1, "StartPreview(1, window) on the rear camera")) return;
    CheckPreviewFrames(2592, 1944, "rear preview at index 1");
    CheckPhoto(2592, 1944, "rear photo at index 1");

    const INT32 removed = host.lib.removeCamera(kRear.c_str());
    Check(removed == 1, "LumicapVirtualRemoveCamera unplugs the rear camera (got " + std::to_string(removed) + ")");
    Check(PumpOneEvent(), "the engine's error event after the unplug is handled");
    const HRESULT hr = host.lib.startPreview(1, host.previewWindow);
    Check(hr == MF_E_NOT_INITIALIZED,
          "StartPreview after the unplug returns MF_E_NOT_INITIALIZED (got " + Hex(hr) + ")");
    CheckList(CameraList("GetCameraList after the unplug"), {kFront}, "GetCameraList after the unplug");
    Check(host.lib.removeCamera(kRear.c_str()) == 0 && host.lib.removeCamera(nullptr) == 0,
          "removing an absent camera or a null name removes nothing");
}

void CheckCameraControl()
{
    const LumicapVirtualFormat formats[] = {{1024, 768, MFVideoFormat_YUY2, 30, 1},
                                            {800, 600, MFVideoFormat_NV12, 25, 1}};
    const LumicapVirtualCamera cameras[] = {
        {L"Bench Camera", L"\\\\?\\bench#0", kVideoCameraCategory, formats, 2},
        {L"Spare Camera", L"\\\\?\\bench#1", kVideoInputDeviceCategory, formats, 1},
    };
    HRESULT hr = host.lib.setCameras(cameras, 2);
    Check(hr == S_OK, "LumicapVirtualSetCameras with two cameras (" + Hex(hr) + ")");
    CheckList(CameraList("GetCameraList after SetCameras"), {L"Bench Camera", L"Spare Camera"},
              "GetCameraList after SetCameras");
    if (OpenCamera(L"Bench Camera")) {
        CheckList(MediaTypeList("GetMediaTypeList of Bench Camera"), {L"1024 X 768 YUY2 FPS 30", L"800 X 600 NV12 FPS 25"},
                  "GetMediaTypeList of Bench Camera");
    }
    const LumicapVirtualCamera extra = {L"Added Camera", nullptr, kVideoInputDeviceCategory, nullptr, 0};
    hr = host.lib.addCamera(&extra);
    Check(hr == S_OK, "LumicapVirtualAddCamera (" + Hex(hr) + ")");
    CheckList(CameraList("GetCameraList after AddCamera"), {L"Bench Camera", L"Spare Camera", L"Added Camera"},
              "GetCameraList after AddCamera");

    const LumicapVirtualCamera broken = {L"Broken", nullptr, GUID_NULL, nullptr, 2};
    Check(host.lib.setCameras(nullptr, 1) == E_POINTER && host.lib.setCameras(&broken, 1) == E_POINTER &&
              host.lib.addCamera(nullptr) == E_POINTER && host.lib.addCamera(&broken) == E_POINTER,
          "null cameras or formats are refused with E_POINTER");
    CheckList(CameraList("GetCameraList after refused calls"), {L"Bench Camera", L"Spare Camera", L"Added Camera"},
              "the camera set after refused calls");

    Check(host.lib.setCameras(nullptr, 0) == S_OK, "LumicapVirtualSetCameras with no camera");
    CheckList(CameraList("GetCameraList with no camera"), {}, "GetCameraList with no camera");
    host.lib.reset();
    CheckList(CameraList("GetCameraList after LumicapVirtualReset"), {kFront, kRear},
              "GetCameraList after LumicapVirtualReset");
}

// Two cameras of one model: told apart by link, opened by link each in turn, and their plugging
// heard as WM_CAMERA_DEVICES_CHANGED, the two of them at once as one message per direction. On the
// real DLL the messages come through its watcher window from the stand-in's device broadcast.
void CheckTwinsByLinkAndPlugging()
{
    decltype(&::LumicapGetCameras) getCameras = nullptr;
    decltype(&::LumicapInitializeCameraByLink) initializeByLink = nullptr;
    decltype(&::LumicapGetCurrentCamera) getCurrentCamera = nullptr;
    if (!Resolve(host.lib.module, "LumicapGetCameras", getCameras) ||
        !Resolve(host.lib.module, "LumicapInitializeCameraByLink", initializeByLink) ||
        !Resolve(host.lib.module, "LumicapGetCurrentCamera", getCurrentCamera)) {
        return;
    }
    const LumicapVirtualFormat format = {640, 480, MFVideoFormat_YUY2, 30, 1};
    const std::wstring links[] = {L"\\\\?\\usb#vid_046d&pid_0825#1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
                                  L"\\\\?\\usb#vid_046d&pid_0825#2#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global"};
    PumpFor(300);
    host.arrivals = host.removals = host.oddChanges = 0;
    for (const std::wstring& link : links) {
        const LumicapVirtualCamera twin = {L"Twin Camera", link.c_str(), kVideoCameraCategory, &format, 1};
        host.lib.addCamera(&twin);
    }
    PumpUntil([] { return host.arrivals > 0; }, 2000);
    PumpFor(100);
    Check(host.arrivals == 1 && host.removals == 0,
          "two cameras plugged at once post one WM_CAMERA_DEVICES_CHANGED arrival (got " +
              std::to_string(host.arrivals) + " arrivals, " + std::to_string(host.removals) + " removals)");

    SAFEARRAY* names = nullptr;
    SAFEARRAY* found = nullptr;
    const HRESULT listed = getCameras(&names, &found);
    Check(listed == S_OK, "LumicapGetCameras returns S_OK (got " + Hex(listed) + ")");
    CheckList(ReadStringList(names, "LumicapGetCameras' names"), CameraList("GetCameraList beside LumicapGetCameras"),
              "LumicapGetCameras' names are GetCameraList's");
    CheckList(ReadStringList(found, "LumicapGetCameras' links"),
              {L"\\\\?\\lumicap#virtual#0#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
               L"\\\\?\\lumicap#virtual#1#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global", links[0], links[1]},
              "LumicapGetCameras' links");

    for (const std::wstring& link : {links[1], links[0]}) {
        const int notices = host.readyNotices;
        const HRESULT hr = initializeByLink(link.c_str());
        Check(hr == S_OK && PumpUntil([&] { return host.readyNotices > notices; }),
              "LumicapInitializeCameraByLink opens " + Utf8(link) + " (got " + Hex(hr) + ")");
        BSTR name = nullptr;
        BSTR current = nullptr;
        const HRESULT asked = getCurrentCamera(&name, &current);
        Check(asked == S_OK && name && current && std::wstring(name) == L"Twin Camera" && std::wstring(current) == link,
              "LumicapGetCurrentCamera names the twin opened by link (got " + Hex(asked) + ")");
        SysFreeString(name);
        SysFreeString(current);
    }
    const HRESULT missing = initializeByLink(L"\\\\?\\usb#nothing");
    Check(missing == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
          "LumicapInitializeCameraByLink with an unknown link returns ERROR_DEVICE_NOT_CONNECTED (got " + Hex(missing) + ")");

    host.lib.removeCamera(L"Twin Camera");
    PumpUntil([] { return host.removals > 0; }, 2000);
    PumpFor(100);
    Check(host.removals == 1 && host.arrivals == 1,
          "unplugging both twins posts one removal (got " + std::to_string(host.removals) + ")");
    host.lib.removeCamera(L"Twin Camera");
    PumpFor(300);
    Check(host.removals == 1, "removing a camera that is not there posts nothing");
    Check(host.oddChanges == 0, "every WM_CAMERA_DEVICES_CHANGED has wParam DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE and lParam 0");
}

void CheckFaults()
{
    struct Refused {
        const char* operation;
        HRESULT failure;
        HRESULT expected;
        const char* why;
    };
    const Refused refused[] = {
        {nullptr, E_FAIL, E_POINTER, "a null name"},
        {"NoSuchOperation", E_FAIL, E_INVALIDARG, "an unknown name"},
        // Event objects are the system's own on Windows; their failures cannot be injected.
        {"CreateEventW", E_FAIL, E_INVALIDARG, "CreateEventW on Windows"},
        {"MFEnumDeviceSources", S_OK, E_INVALIDARG, "S_OK as the failure"},
        {"MFEnumDeviceSources", S_FALSE, E_INVALIDARG, "S_FALSE as the failure"},
    };
    for (const Refused& r : refused) {
        const HRESULT hr = host.lib.failOperation(r.operation, r.failure, 0);
        Check(hr == r.expected, std::string("LumicapVirtualFailOperation refuses ") + r.why + " with " +
                                    Hex(r.expected) + " (got " + Hex(hr) + ")");
    }

    HRESULT hr = host.lib.failOperation("MFEnumDeviceSources", E_FAIL, 2);
    Check(hr == S_OK, "LumicapVirtualFailOperation(MFEnumDeviceSources, E_FAIL, 2) (" + Hex(hr) + ")");
    CheckList(CameraList("first GetCameraList"), {kFront, kRear}, "the first enumeration after the rule");
    CheckList(CameraList("second GetCameraList"), {}, "the second enumeration fails, so no camera");
    CheckList(CameraList("third GetCameraList"), {kFront, kRear}, "the third enumeration works again");

    hr = host.lib.failOperation("MFEnumDeviceSources", E_FAIL, 0);
    Check(hr == S_OK, "LumicapVirtualFailOperation(MFEnumDeviceSources, E_FAIL, 0) (" + Hex(hr) + ")");
    CheckList(CameraList("GetCameraList while every enumeration fails"), {}, "every enumeration fails");
    host.lib.clearFaults();
    CheckList(CameraList("GetCameraList after LumicapVirtualClearFaults"), {kFront, kRear},
              "LumicapVirtualClearFaults ends the failures");

    // A failure on the road: the engine refuses to start (as a camera blocked by privacy settings
    // does), InitializeCamera reports it, and the next attempt works.
    hr = host.lib.failOperation("IMFCaptureEngine::Initialize", E_ACCESSDENIED, 1);
    Check(hr == S_OK, "LumicapVirtualFailOperation(IMFCaptureEngine::Initialize, E_ACCESSDENIED, 1) (" + Hex(hr) + ")");
    hr = host.lib.initializeCamera(kFront.c_str());
    Check(hr == E_ACCESSDENIED, "InitializeCamera reports the injected engine failure (got " + Hex(hr) + ")");
    OpenCamera(kFront);
}

// ---------------------------------------------------------------------------------------------
// What a real Windows machine does to a set-up beyond the plain road.

std::string Errors()
{
    std::string text;
    for (const auto& [kind, status] : host.errors) text += " (" + std::to_string(kind) + ", " + Hex(status) + ")";
    return text.empty() ? " none" : text;
}

bool LatestFrameIsBlack(bool black)
{
    UINT32 w = 0;
    UINT32 h = 0;
    if (host.lib.getLatestFrame(host.previewWindow, &w, &h, nullptr, 0) != S_OK) return false;
    std::vector<UINT32> pixels(static_cast<size_t>(w) * h);
    if (host.lib.getLatestFrame(host.previewWindow, &w, &h, pixels.data(), pixels.size()) != S_OK) return false;
    for (UINT32 pixel : pixels) {
        if (pixel != 0) return !black;
    }
    return black;
}

void CheckDeniedMicrophoneAndSwitchingCameras()
{
    Check(host.lib.setMicrophoneCondition(LUMICAP_VIRTUAL_CAMERA_DENIED) == S_OK, "the microphone is denied");
    host.errors.clear();
    if (!OpenCamera(kFront) || !StartPreview(0, "StartPreview with the microphone denied")) return;
    CheckPhoto(640, 480, "photo with the microphone denied");
    host.lib.setMicrophoneCondition(LUMICAP_VIRTUAL_CAMERA_NORMAL);

    // The front engine lets go of the window before the rear one draws into it.
    if (!OpenCamera(kRear) || !StartPreview(0, "StartPreview of the rear camera in the same window")) return;
    CheckPreviewFrames(640, 480, "the rear camera in the front camera's window");
    Check(host.errors.empty(), "neither the microphone nor the switch reports an error (got" + Errors() + ")");
}

void CheckBlockedStream()
{
    host.blocked.clear();
    Check(host.lib.setCameraBlocked(kRear.c_str(), TRUE) == S_OK, "the rear camera's stream is blocked");
    Check(PumpUntil([] { return host.blocked == std::vector<WPARAM>{1}; }), "WM_CAMERA_BLOCKED(1) arrives");
    Check(PumpUntil([] { return LatestFrameIsBlack(true); }), "the preview shows black while blocked");
    Check(host.lib.setCameraBlocked(kRear.c_str(), FALSE) == S_OK, "the rear camera's stream is unblocked");
    Check(PumpUntil([] { return host.blocked == std::vector<WPARAM>{1, 0}; }), "WM_CAMERA_BLOCKED(0) arrives");
    Check(PumpUntil([] { return LatestFrameIsBlack(false); }), "the picture is back once unblocked");
}

void CheckEventsTheHostNeverAskedFor()
{
    Check(host.lib.setNextEventStatus(&MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET, E_FAIL) == S_OK,
          "the next media type set fails");
    if (!OpenCamera(kFront)) return;
    host.errors.clear();
    if (!StartPreview(0, "StartPreview whose media type set fails")) return;
    Check(host.errors == std::vector<std::pair<WPARAM, HRESULT>>{{LUMICAP_ERROR_PREVIEW, E_FAIL}},
          "a failed media type set is a preview error, not the camera's end (got" + Errors() + ")");
    CheckPhoto(640, 480, "photo after the failed media type set");

    host.errors.clear();
    Check(host.lib.dropNextEvent(&MF_CAPTURE_ENGINE_PHOTO_TAKEN) == S_OK, "the engine never completes the next photo");
    host.lib.takePhotoAsync();
    const std::pair<WPARAM, HRESULT> timedOut{LUMICAP_ERROR_PHOTO, HRESULT_FROM_WIN32(ERROR_TIMEOUT)};
    Check(PumpUntil([&] { return !host.errors.empty() && host.errors.back() == timedOut; }, 15000),
          "the photo the engine never completes is reported within 10 s (got" + Errors() + ")");
    CheckPhoto(640, 480, "the next photo");
}

void CheckFormatThePreviewCannotShow()
{
    const LumicapVirtualFormat formats[] = {{1280, 720, MFVideoFormat_H264, 30, 1}, {640, 480, MFVideoFormat_YUY2, 30, 1}};
    const LumicapVirtualCamera camera = {L"H.264 Camera", L"\\\\?\\h264#0", kVideoCameraCategory, formats, 2};
    Check(host.lib.setCameras(&camera, 1) == S_OK, "a camera with an H.264 format first");
    if (!OpenCamera(L"H.264 Camera")) return;
    host.errors.clear();
    const HRESULT hr = host.lib.startPreview(0, host.previewWindow);
    Check(hr == S_OK && PumpUntilEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED), "StartPreview(0) of the H.264 format is answered");
    Check(host.errors == std::vector<std::pair<WPARAM, HRESULT>>{{LUMICAP_ERROR_PREVIEW, MF_E_TOPO_CODEC_NOT_FOUND}},
          "the H.264 format cannot be previewed (got" + Errors() + ")");
    if (!StartPreview(1, "StartPreview(1) after the failed start")) return;
    CheckPreviewFrames(640, 480, "the other format previews");
}

void CheckWithoutFrames()
{
    UINT32 w = 1;
    UINT32 h = 1;
    const HRESULT hr = host.lib.getLatestFrame(host.eventWindow, &w, &h, nullptr, 0);
    Check(hr == LUMICAP_VIRTUAL_E_NO_FRAME && w == 0 && h == 0,
          "a window that received no frame has none (" + Hex(hr) + ")");
    Check(host.lib.getFrameCount(host.eventWindow) == 0, "a window that received no frame counts 0");
    Check(host.lib.getLatestFrame(host.previewWindow, nullptr, &h, nullptr, 0) == E_POINTER,
          "LumicapVirtualGetLatestFrame without a width pointer returns E_POINTER");
}

// What the library meets on a machine without a GPU: no hardware Direct3D 11 device for video.
void CheckNoVideoDevice()
{
    const HMODULE d3d11 = LoadLibraryW(L"d3d11.dll");
    const auto create = d3d11 ? reinterpret_cast<decltype(&D3D11CreateDevice)>(
                                    reinterpret_cast<void*>(GetProcAddress(d3d11, "D3D11CreateDevice")))
                              : nullptr;
    ID3D11Device* device = nullptr;
    const HRESULT hr = create ? create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                                       nullptr, 0, D3D11_SDK_VERSION, &device, nullptr, nullptr)
                              : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    if (device) device->Release();
    Check(FAILED(hr), "this machine makes no Direct3D 11 device for video (" + Hex(hr) + ")");
}

void RunRoad()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!Check(SUCCEEDED(hr), "CoInitializeEx (" + Hex(hr) + ")")) return;
    hr = MFStartup(MF_VERSION, MFSTARTUP_FULL);
    if (Check(SUCCEEDED(hr), "MFStartup(MF_VERSION) (" + Hex(hr) + ")")) {
        if (Argument(3, L"") == L"--no-gpu") CheckNoVideoDevice();
        CheckUnloadsWithoutSetUp(DllPath());
        if (Check(CreateWindows(), "the host registers its window classes and creates its windows") &&
            LoadVirtual(DllPath(), Argument(2, L""), host.lib)) {
            host.lib.reset();
            host.lib.setLogCallback(RecordLog);
            CheckWithoutFrames();
            CheckCameraList();
            const size_t start = LogCount();
            host.lib.createInstance(host.eventWindow);
            CheckLogged(start, {L"CreateInstance"}, "CreateInstance");
            CheckFrontCamera();
            CheckControls();
            CheckStopAndRestart();
            CheckPictureFollowsAndMirrors();
            CheckFramesMode(host.previewWindow, "frames mode");
            CheckRearCameraAndUnplug();
            CheckFramesMode(nullptr, "frames mode without a window");
            host.lib.reset();
            CheckCameraControl();
            CheckTwinsByLinkAndPlugging();
            host.lib.reset();
            CheckFaults();
            host.lib.reset();
            CheckDeniedMicrophoneAndSwitchingCameras();
            CheckBlockedStream();
            CheckEventsTheHostNeverAskedFor();
            CheckFormatThePreviewCannotShow();
            host.lib.reset();
            CheckStaysLoadedAfterSetUp(host.lib.module, DllPath());
        }
        MFShutdown();
    }
    CoUninitialize();
}

}  // namespace

int main()
{
    RunRoad();
    return Summary();
}
