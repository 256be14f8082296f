// The library as a host loads and unloads it at run time: without a camera set-up dlclose unloads it
// (and its unload clean-up runs); once a set-up has been built it stays loaded, since the engine's
// threads run its code, and their messages still arrive.
//
// Usage: lumicap_library_pin_check PATH-TO-liblumicap.so
#include <lumicap/lumicap.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

int failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    if (!ok) ++failures;
}

template <typename Function>
Function Symbol(void* library, const char* name)
{
    return reinterpret_cast<Function>(dlsym(library, name));
}

// Lists the cameras, which builds no camera set-up, and unloads.
void LoadListAndUnload(const char* path)
{
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    Check(library != nullptr, "the library loads");
    if (!library) return;
    SAFEARRAY* names = nullptr;
    Symbol<decltype(&GetCameraList)>(library, "GetCameraList")(&names);
    Symbol<decltype(&SafeArrayDestroy)>(library, "SafeArrayDestroy")(names);
    dlclose(library);
    Check(dlopen(path, RTLD_NOW | RTLD_NOLOAD) == nullptr, "without a camera set-up it unloads");
}

// Builds a camera set-up, unloads, and waits for the camera's WM_CAMERA_READY.
void SetUpAndUnload(const char* path)
{
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    const HWND window = Symbol<decltype(&LumicapCreateMessageWindow)>(library, "LumicapCreateMessageWindow")();
    Symbol<decltype(&CreateInstance)>(library, "CreateInstance")(window);
    const HRESULT hr = Symbol<decltype(&InitializeCamera)>(library, "InitializeCamera")(u"Lumicap Virtual Camera");
    Check(hr == S_OK, "InitializeCamera builds a camera set-up");
    dlclose(library);
    void* pinned = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    Check(pinned != nullptr, "after a camera set-up it stays loaded");
    if (!pinned) return;
    const auto peek = Symbol<decltype(&PeekMessageW)>(pinned, "PeekMessageW");
    bool ready = false;
    for (int waited = 0; !ready && waited < 10000; ++waited) {
        MSG msg{};
        while (peek(&msg, window, 0, 0, PM_REMOVE)) ready = ready || msg.message == WM_CAMERA_READY;
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Check(ready, "the engine's WM_CAMERA_READY still arrives");
    dlclose(pinned);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH-TO-liblumicap.so\n", argv[0]);
        return 2;
    }
    LoadListAndUnload(argv[1]);
    SetUpAndUnload(argv[1]);
    return failures == 0 ? 0 : 1;
}
