// A Windows host that loads lumicap.dll by name, as an application would, and checks every
// behaviour that needs no camera. Runs under Wine, which has neither a capture engine nor a camera.
//
// Usage: lumicap_host_test.exe [path-to-lumicap.dll]
#include <lumicap/lumicap.h>
#include <mfapi.h>
#include <mferror.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Reporting

int passed = 0;
int failed = 0;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

bool Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
    return ok;
}

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// ---------------------------------------------------------------------------------------------
// The log: lines may come from any thread of the library, so they are kept under a lock.

std::mutex logMutex;
std::vector<std::wstring> logLines;

void WINAPI RecordLog(LPCWSTR text)
{
    std::lock_guard<std::mutex> lock(logMutex);
    logLines.emplace_back(text ? text : L"(null)");
}

size_t LogCount()
{
    std::lock_guard<std::mutex> lock(logMutex);
    return logLines.size();
}

// The lines logged since `start`.
std::vector<std::wstring> LogSince(size_t start)
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (start >= logLines.size()) return {};
    return {logLines.begin() + static_cast<std::ptrdiff_t>(start), logLines.end()};
}

std::string Describe(const std::vector<std::wstring>& lines)
{
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? ", \"" : "\"") + Utf8(lines[i]) + "\"";
    return out + "]";
}

bool CheckLogged(size_t start, const std::vector<std::wstring>& expected, const std::string& what)
{
    std::vector<std::wstring> lines = LogSince(start);
    return Check(lines == expected, what + " logs " + Describe(expected) + " (got " + Describe(lines) + ")");
}

// ---------------------------------------------------------------------------------------------
// The library, resolved by its plain export names.

struct Library {
    HMODULE module = nullptr;
    decltype(&::CreateInstance) createInstance = nullptr;
    decltype(&::SetLogCallback) setLogCallback = nullptr;
    decltype(&::GetCameraList) getCameraList = nullptr;
    decltype(&::InitializeCamera) initializeCamera = nullptr;
    decltype(&::GetMediaTypeList) getMediaTypeList = nullptr;
    decltype(&::StartPreview) startPreview = nullptr;
    decltype(&::StopPreview) stopPreview = nullptr;
    decltype(&::TakePhotoAsync) takePhotoAsync = nullptr;
    decltype(&::GetLastPhoto) getLastPhoto = nullptr;
    decltype(&::FreePhotoMemory) freePhotoMemory = nullptr;
    decltype(&::OnCaptureEvent) onCaptureEvent = nullptr;
};

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function)
{
    // GetProcAddress hands out a generic FARPROC; the header's declaration gives the real type.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return Check(function != nullptr, std::string("export ") + name + " resolves by its plain name");
}

bool Load(const std::wstring& path, Library& lib)
{
    lib.module = LoadLibraryW(path.c_str());
    std::string error = lib.module ? "" : " (error " + std::to_string(GetLastError()) + ")";
    if (!Check(lib.module != nullptr, "LoadLibraryW(" + Utf8(path) + ")" + error)) return false;
    bool all = true;
    all &= Resolve(lib.module, "CreateInstance", lib.createInstance);
    all &= Resolve(lib.module, "SetLogCallback", lib.setLogCallback);
    all &= Resolve(lib.module, "GetCameraList", lib.getCameraList);
    all &= Resolve(lib.module, "InitializeCamera", lib.initializeCamera);
    all &= Resolve(lib.module, "GetMediaTypeList", lib.getMediaTypeList);
    all &= Resolve(lib.module, "StartPreview", lib.startPreview);
    all &= Resolve(lib.module, "StopPreview", lib.stopPreview);
    all &= Resolve(lib.module, "TakePhotoAsync", lib.takePhotoAsync);
    all &= Resolve(lib.module, "GetLastPhoto", lib.getLastPhoto);
    all &= Resolve(lib.module, "FreePhotoMemory", lib.freePhotoMemory);
    all &= Resolve(lib.module, "OnCaptureEvent", lib.onCaptureEvent);
    return all;
}

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

void CheckLoggingOff(const Library& lib)
{
    lib.setLogCallback(nullptr);
    size_t start = LogCount();
    SAFEARRAY* names = nullptr;
    lib.getCameraList(&names);
    CheckLogged(start, {}, "GetCameraList after SetLogCallback(nullptr)");
    if (names) SafeArrayDestroy(names);
}

std::wstring DllPath()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring path = L"lumicap.dll";
    if (arguments && count > 1) path = arguments[1];
    LocalFree(arguments);
    return path;
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
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
