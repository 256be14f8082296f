// The calling thread's error code and identity.
#include <lumicap/portable/win32.h>

#include <atomic>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

DWORD NextThreadId()
{
    static std::atomic<DWORD> next{1};
    DWORD id = next.fetch_add(1, std::memory_order_relaxed);
    // Zero means "no thread" to callers, so it is skipped should the counter ever wrap.
    return id != 0 ? id : next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

DWORD GetLastError(void) { return t_lastError; }

void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

DWORD GetCurrentThreadId(void)
{
    thread_local const DWORD id = NextThreadId();
    return id;
}
