// The shared library's load and unload hooks. Loading does nothing beyond the zeroed module state;
// unloading gives back the enumerated cameras.
#include "interface/module_state.h"

#ifdef _WIN32

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // At process termination (reserved != null) other modules may already be gone, so platform
    // objects are only released when the library itself is unloaded.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) lumicap::UnloadCleanup();
    return TRUE;
}

#else

__attribute__((destructor)) static void LibraryUnload() { lumicap::UnloadCleanup(); }

#endif
