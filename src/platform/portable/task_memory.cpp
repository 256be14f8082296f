// The COM task allocator.
#include <lumicap/portable/win32.h>

#include <cstdlib>

LPVOID CoTaskMemAlloc(size_t cb)
{
    // Windows hands out a valid, distinct block for a zero-byte request too.
    return std::malloc(cb != 0 ? cb : 1);
}

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
