// Modules: the shared object holding an address, and pinning it in memory.
#include <lumicap/portable/win32.h>

#include <dlfcn.h>

BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
{
    if (phModule) *phModule = nullptr;
    if (!phModule || !(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ||
        (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN && dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(lpModuleName), &info) || !info.dli_fbase) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Opening the object again takes a reference; RTLD_NODELETE makes the loader keep it for good.
    const int mode = RTLD_LAZY | RTLD_NOLOAD | ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) ? RTLD_NODELETE : 0);
    void* handle = dlopen(info.dli_fname, mode);
    if (!handle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwFlags & (GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) dlclose(handle);
    *phModule = static_cast<HMODULE>(handle);
    return TRUE;
}
