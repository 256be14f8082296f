// Test hooks into the portable system services (non-Windows only).
#pragma once

#include <lumicap/portable/win32.h>

namespace lumicap::portable {

// Asked by every CreateEventW; returning true makes that call fail with *lastError as the thread's
// last error code (it starts as ERROR_OUTOFMEMORY).
using CreateEventFaultHook = bool (*)(DWORD* lastError);

// Installs the hook, or removes it with nullptr, and returns the one it replaces so that a caller
// can put it back. Safe to call from any thread.
CreateEventFaultHook SetCreateEventFaultHook(CreateEventFaultHook hook);

}  // namespace lumicap::portable
