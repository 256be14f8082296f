// A Windows host that loads lumicap.dll by name, as an application would, and checks every
// behaviour that needs no camera. Runs under Wine, which has neither a capture engine nor a camera.
//
// Usage: lumicap_host_test.exe [path-to-lumicap.dll]
#include "host_check.h"

#include <lumicap/lumicap.h>
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
    Check(hr == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
          "with no camera at all it answers HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) (got " + Hex(hr) + ")");
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

void RunChecks()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!Check(SUCCEEDED(hr), "CoInitializeEx (" + Hex(hr) + ")")) return;
    hr = MFStartup(MF_VERSION, MFSTARTUP_FULL);
    if (Check(SUCCEEDED(hr), "MFStartup(MF_VERSION) (" + Hex(hr) + ")")) {
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
            CheckControlsWithoutCamera(lib);
            CheckLoggingOff(lib);
        }
        if (window) DestroyWindow(window);
        MFShutdown();
    }
    CoUninitialize();
}

}  // namespace

int main()
{
    RunChecks();
    return Summary();
}
