// What the Windows host programs share: PASS/FAIL reporting, a log recorder safe for any thread, and
// lumicap.dll loaded by name with its eleven exports (and the Lumicap* ones) resolved by their plain names.
#pragma once

#include <lumicap/lumicap.h>

#include <shellapi.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace host_check {

// ---------------------------------------------------------------------------------------------
// Reporting

inline int passed = 0;
inline int failed = 0;

inline std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

inline bool Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
    return ok;
}

inline std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

inline std::string Describe(const std::vector<std::wstring>& lines)
{
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? ", \"" : "\"") + Utf8(lines[i]) + "\"";
    return out + "]";
}

// The summary line scripts/windows-tests.sh reads, and the program's exit code.
inline int Summary()
{
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// The log: lines may come from any thread of the library, so they are kept under a lock.

inline std::mutex logMutex;
inline std::vector<std::wstring> logLines;

inline void WINAPI RecordLog(LPCWSTR text)
{
    std::lock_guard<std::mutex> lock(logMutex);
    logLines.emplace_back(text ? text : L"(null)");
}

inline size_t LogCount()
{
    std::lock_guard<std::mutex> lock(logMutex);
    return logLines.size();
}

// The lines logged since `start`.
inline std::vector<std::wstring> LogSince(size_t start)
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (start >= logLines.size()) return {};
    return {logLines.begin() + static_cast<std::ptrdiff_t>(start), logLines.end()};
}

inline bool CheckLogged(size_t start, const std::vector<std::wstring>& expected, const std::string& what)
{
    const std::vector<std::wstring> lines = LogSince(start);
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
    decltype(&::LumicapGetControlRange) getControlRange = nullptr;
    decltype(&::LumicapGetControl) getControl = nullptr;
    decltype(&::LumicapSetControl) setControl = nullptr;
};

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function)
{
    // GetProcAddress hands out a generic FARPROC; the header's declaration gives the real type.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return Check(function != nullptr, std::string("export ") + name + " resolves by its plain name");
}

// The program's command-line argument at index (1 is the first), or the fallback.
inline std::wstring Argument(int index, const std::wstring& fallback)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring value = fallback;
    if (arguments && count > index) value = arguments[index];
    LocalFree(arguments);
    return value;
}

// The DLL named on the command line, or lumicap.dll beside the program.
inline std::wstring DllPath() { return Argument(1, L"lumicap.dll"); }

// LoadLibraryW, then each of the eleven exports and the Lumicap* ones; every step is a check of its own.
inline bool Load(const std::wstring& path, Library& lib)
{
    lib.module = LoadLibraryW(path.c_str());
    const std::string error = lib.module ? "" : " (error " + std::to_string(GetLastError()) + ")";
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
    all &= Resolve(lib.module, "LumicapGetControlRange", lib.getControlRange);
    all &= Resolve(lib.module, "LumicapGetControl", lib.getControl);
    all &= Resolve(lib.module, "LumicapSetControl", lib.setControl);
    return all;
}

// A DLL that never built a camera set-up unloads with FreeLibrary, as any DLL does.
inline void CheckUnloadsWithoutSetUp(const std::wstring& path)
{
    HMODULE module = LoadLibraryW(path.c_str());
    if (!Check(module != nullptr, "LoadLibraryW(" + Utf8(path) + ") before any camera set-up")) return;
    FreeLibrary(module);
    Check(GetModuleHandleW(path.c_str()) == nullptr, "FreeLibrary unloads the DLL while no camera set-up was built");
}

// Once a camera set-up was built, engine threads may run the DLL's code: FreeLibrary leaves it loaded.
inline void CheckStaysLoadedAfterSetUp(HMODULE module, const std::wstring& path)
{
    FreeLibrary(module);
    Check(GetModuleHandleW(path.c_str()) != nullptr, "FreeLibrary leaves the DLL loaded after a camera set-up");
}

}  // namespace host_check
