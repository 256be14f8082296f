// A Windows host that loads lumicap.dll by name, as an application would, and checks every
// behaviour that needs no camera. Runs under Wine, which has neither a capture engine nor a camera.
//
// Usage: lumicap_host_test.exe [path-to-lumicap.dll [--without-media-foundation]]
// The second argument says Media Foundation is missing (Windows N): the host then starts without it
// and the library must still load and answer.
#include "host_check.h"

#include <lumicap/lumicap.h>
#include <dbt.h>
#include <mfapi.h>
#include <mferror.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

using namespace host_check;

namespace {

bool WithoutMediaFoundation() { return Argument(2, L"") == L"--without-media-foundation"; }

// ---------------------------------------------------------------------------------------------
// Host plumbing

HWND CreateEventWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LumicapHostTestWindow";
    if (!RegisterClassW(&windowClass)) return nullptr;
    return CreateWindowExW(0, windowClass.lpszClassName, L"Lumicap host test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 320, 240, nullptr, nullptr, windowClass.hInstance, nullptr);
}

// Takes every message waiting for the window and answers how many there were.
int DrainMessages(HWND window)
{
    int count = 0;
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
        ++count;
        DispatchMessageW(&message);
    }
    return count;
}

// Checks that `array` is an empty one-dimensional SAFEARRAY of BSTR with lower bound 0, through the
// system's own SAFEARRAY functions, then destroys it.
void CheckEmptyBstrArray(SAFEARRAY* array, const std::string& what)
{
    if (!Check(array != nullptr, what + " stores an array")) return;
    Check(SafeArrayGetDim(array) == 1, what + ": SafeArrayGetDim == 1");
    VARTYPE type = VT_EMPTY;
    HRESULT hr = SafeArrayGetVartype(array, &type);
    Check(SUCCEEDED(hr) && type == VT_BSTR, what + ": SafeArrayGetVartype == VT_BSTR");
    LONG lower = 1;
    LONG upper = 0;
    hr = SafeArrayGetLBound(array, 1, &lower);
    Check(SUCCEEDED(hr) && lower == 0, what + ": SafeArrayGetLBound == 0 (got " + std::to_string(lower) + ")");
    hr = SafeArrayGetUBound(array, 1, &upper);
    Check(SUCCEEDED(hr) && upper == -1, what + ": SafeArrayGetUBound == -1, no camera (got " +
                                            std::to_string(upper) + ")");
    Check(SUCCEEDED(SafeArrayDestroy(array)), what + ": SafeArrayDestroy succeeds");
}

// ---------------------------------------------------------------------------------------------
// The checks, in the order a host makes its calls.

void CheckCameraList(const Library& lib)
{
    size_t start = LogCount();
    SAFEARRAY* names = nullptr;
    lib.getCameraList(&names);
    CheckLogged(start, {L"GetCameraList"}, "GetCameraList");
    CheckEmptyBstrArray(names, "GetCameraList");
}

void CheckBeforeCreateInstance(const Library& lib)
{
    HRESULT hr = lib.initializeCamera(L"No Such Camera");
    Check(hr == MF_E_NOT_INITIALIZED, "InitializeCamera before CreateInstance returns MF_E_NOT_INITIALIZED (got " +
                                          Hex(hr) + ")");
}

void CheckCreateInstance(const Library& lib, HWND window)
{
    size_t start = LogCount();
    lib.createInstance(window);
    CheckLogged(start, {L"CreateInstance"}, "first CreateInstance");
    start = LogCount();
    lib.createInstance(window);
    CheckLogged(start, {}, "second CreateInstance");
}

void CheckUnknownCamera(const Library& lib, HWND window)
{
    DrainMessages(window);
    size_t start = LogCount();
    HRESULT hr = lib.initializeCamera(L"No Such Camera");
    std::vector<std::wstring> lines = LogSince(start);
    Check(!lines.empty() && lines.front() == L"InitializeCamera: No Such Camera",
          "InitializeCamera(\"No Such Camera\") logs \"InitializeCamera: No Such Camera\" first (got " +
              Describe(lines) + ")");
    Check(FAILED(hr), "InitializeCamera(\"No Such Camera\") fails (got " + Hex(hr) + ")");
    if (WithoutMediaFoundation()) {
        Check(hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
              "without Media Foundation it answers HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) (got " + Hex(hr) + ")");
    } else {
        Check(hr == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
              "with no camera at all it answers HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) (got " + Hex(hr) + ")");
    }
}

void CheckIgnoredEvents(const Library& lib, HWND window)
{
    DrainMessages(window);
    size_t start = LogCount();
    lib.onCaptureEvent(WM_CAMERA_READY, 0);
    lib.onCaptureEvent(0x1234, 0);
    CheckLogged(start, {}, "OnCaptureEvent(0x8002, 0) and OnCaptureEvent(0x1234, 0)");
    Check(DrainMessages(window) == 0, "OnCaptureEvent with other message numbers posts nothing");
}

void CheckNoCameraCalls(const Library& lib, HWND window)
{
    SAFEARRAY* types = nullptr;
    lib.getMediaTypeList(&types);
    CheckEmptyBstrArray(types, "GetMediaTypeList without an open camera");

    HRESULT hr = lib.startPreview(0, window);
    Check(hr == MF_E_NOT_INITIALIZED, "StartPreview without a camera returns MF_E_NOT_INITIALIZED (got " +
                                          Hex(hr) + ")");
    lib.stopPreview();
    lib.takePhotoAsync();

    BYTE sentinel = 0;
    BYTE* photo = &sentinel;
    INT32 size = 12345;
    lib.getLastPhoto(&photo, &size);
    Check(size == 0 && photo == &sentinel, "GetLastPhoto with no photo gives size 0 and leaves the pointer");
    lib.freePhotoMemory();
    Check(DrainMessages(window) == 0, "StopPreview, TakePhotoAsync and FreePhotoMemory without a camera post nothing");
}

// Without a camera set-up no control is reached, whatever is asked; each call logs its control.
void CheckControlsWithoutCamera(const Library& lib)
{
    const size_t start = LogCount();
    INT32 a = 0, b = 0, c = 0, d = 0, e = 0;
    HRESULT hr = lib.getControlRange(LUMICAP_CONTROL_BRIGHTNESS, &a, &b, &c, &d, &e);
    Check(hr == MF_E_NOT_INITIALIZED, "LumicapGetControlRange without a camera is MF_E_NOT_INITIALIZED (" + Hex(hr) + ")");
    hr = lib.getControl(LUMICAP_CONTROL_FOCUS, &a, &b);
    Check(hr == MF_E_NOT_INITIALIZED, "LumicapGetControl without a camera is MF_E_NOT_INITIALIZED (" + Hex(hr) + ")");
    hr = lib.setControl(LUMICAP_CONTROL_ZOOM, 100, LUMICAP_CONTROL_MANUAL);
    Check(hr == MF_E_NOT_INITIALIZED, "LumicapSetControl without a camera is MF_E_NOT_INITIALIZED (" + Hex(hr) + ")");
    CheckLogged(start, {L"LumicapGetControlRange: 0", L"LumicapGetControl: 106", L"LumicapSetControl: 103"},
                "the control calls");
}

void CheckLoggingOff(const Library& lib)
{
    lib.setLogCallback(nullptr);
    size_t start = LogCount();
    SAFEARRAY* names = nullptr;
    lib.getCameraList(&names);
    CheckLogged(start, {}, "GetCameraList after SetLogCallback(nullptr)");
    if (names) SafeArrayDestroy(names);
}

// Media Foundation as a host that must also start without it loads it: from System32, on demand.
struct MediaFoundation {
    HMODULE module = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    decltype(&MFStartup) startup = Find<decltype(&MFStartup)>("MFStartup");
    decltype(&MFShutdown) shutdown = Find<decltype(&MFShutdown)>("MFShutdown");

    template <typename Function>
    Function Find(const char* name) const
    {
        return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
    // Started, or rightly missing.
    bool Start() const
    {
        if (WithoutMediaFoundation()) return Check(!startup, "Media Foundation is missing, as the run asks");
        const HRESULT hr = startup ? startup(MF_VERSION, MFSTARTUP_FULL) : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        return Check(SUCCEEDED(hr), "MFStartup(MF_VERSION) (" + Hex(hr) + ")");
    }
    void Stop() const
    {
        if (shutdown) shutdown();
    }
};

// ---------------------------------------------------------------------------------------------
// Beyond the eleven: cameras by symbolic link, and the device watcher

void CheckCamerasByLink(const Library& lib)
{
    decltype(&::LumicapGetCameras) getCameras = nullptr;
    decltype(&::LumicapInitializeCameraByLink) initializeByLink = nullptr;
    decltype(&::LumicapGetCurrentCamera) getCurrentCamera = nullptr;
    if (!Resolve(lib.module, "LumicapGetCameras", getCameras) ||
        !Resolve(lib.module, "LumicapInitializeCameraByLink", initializeByLink) ||
        !Resolve(lib.module, "LumicapGetCurrentCamera", getCurrentCamera)) {
        return;
    }
    SAFEARRAY* names = nullptr;
    SAFEARRAY* links = nullptr;
    size_t start = LogCount();
    HRESULT hr = getCameras(&names, &links);
    Check(hr == S_OK, "LumicapGetCameras with no camera returns S_OK (got " + Hex(hr) + ")");
    CheckLogged(start, {L"LumicapGetCameras"}, "LumicapGetCameras");
    CheckEmptyBstrArray(names, "LumicapGetCameras' names");
    CheckEmptyBstrArray(links, "LumicapGetCameras' links");
    hr = initializeByLink(L"\\\\?\\usb#vid_046d");
    if (WithoutMediaFoundation()) {
        Check(hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
              "LumicapInitializeCameraByLink without Media Foundation returns ERROR_MOD_NOT_FOUND (got " + Hex(hr) + ")");
    } else {
        Check(hr == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
              "LumicapInitializeCameraByLink with no camera returns ERROR_DEVICE_NOT_CONNECTED (got " + Hex(hr) + ")");
    }
    hr = initializeByLink(nullptr);
    Check(hr == E_POINTER, "LumicapInitializeCameraByLink(null) returns E_POINTER (got " + Hex(hr) + ")");
    BSTR name = nullptr;
    hr = getCurrentCamera(&name, nullptr);
    Check(hr == MF_E_NOT_INITIALIZED && !name,
          "LumicapGetCurrentCamera without a camera returns MF_E_NOT_INITIALIZED (got " + Hex(hr) + ")");
}

// The library's own message-only window turns the system's device broadcast for a video interface
// into WM_CAMERA_DEVICES_CHANGED on the host's event window, and ignores other interfaces.
void CheckDeviceWatcher(HWND window)
{
    HWND watcher = FindWindowExW(HWND_MESSAGE, nullptr, L"LumicapDeviceWatcher", nullptr);
    if (!Check(watcher != nullptr, "CreateInstance made the LumicapDeviceWatcher message-only window")) return;
    DWORD process = 0;
    Check(GetWindowThreadProcessId(watcher, &process) == GetCurrentThreadId() && process == GetCurrentProcessId(),
          "the watcher window belongs to the host's thread");
    DrainMessages(window);

    // KSCATEGORY_VIDEO_CAMERA, then KSCATEGORY_AUDIO {6994AD04-93EF-11D0-A3CC-00A0C9223196}.
    const GUID camera = {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}};
    const GUID audio = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
    struct Case {
        const GUID* category;
        WPARAM change;
        bool told;
        const char* what;
    };
    for (const Case& c : {Case{&audio, DBT_DEVICEARRIVAL, false, "an audio interface's arrival"},
                          Case{&camera, DBT_DEVICEARRIVAL, true, "a camera interface's arrival"},
                          Case{&camera, DBT_DEVICEREMOVECOMPLETE, true, "a camera interface's removal"}}) {
        DEV_BROADCAST_DEVICEINTERFACE_W broadcast{};
        broadcast.dbcc_size = sizeof(broadcast);
        broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        broadcast.dbcc_classguid = *c.category;
        SendMessageW(watcher, WM_DEVICECHANGE, c.change, reinterpret_cast<LPARAM>(&broadcast));
        MSG message;
        const bool told = PeekMessageW(&message, window, WM_CAMERA_DEVICES_CHANGED, WM_CAMERA_DEVICES_CHANGED, PM_REMOVE);
        Check(told == c.told && (!told || (message.wParam == c.change && message.lParam == 0)),
              std::string(c.what) + (c.told ? " posts WM_CAMERA_DEVICES_CHANGED with its wParam" : " posts nothing"));
        DrainMessages(window);
    }
}

void RunChecks()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!Check(SUCCEEDED(hr), "CoInitializeEx (" + Hex(hr) + ")")) return;
    const MediaFoundation mediaFoundation;
    if (mediaFoundation.Start()) {
        Library lib;
        HWND window = CreateEventWindow();
        if (Check(window != nullptr, "the host creates its event window") && Load(DllPath(), lib)) {
            lib.setLogCallback(RecordLog);
            CheckCameraList(lib);
            CheckBeforeCreateInstance(lib);
            CheckCreateInstance(lib, window);
            CheckUnknownCamera(lib, window);
            CheckIgnoredEvents(lib, window);
            CheckNoCameraCalls(lib, window);
            CheckCamerasByLink(lib);
            CheckDeviceWatcher(window);
            CheckControlsWithoutCamera(lib);
            CheckLoggingOff(lib);
        }
        if (window) DestroyWindow(window);
        mediaFoundation.Stop();
    }
    CoUninitialize();
}

}  // namespace

int main()
{
    RunChecks();
    return Summary();
}
