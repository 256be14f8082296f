// Runs code behind an exported C function: nothing may be thrown into the host, so an exhausted
// allocation becomes E_OUTOFMEMORY and anything else E_UNEXPECTED.
#pragma once

#include "platform/platform.h"

#include <new>

namespace lumicap {

template <typename Operation>
HRESULT Guarded(Operation&& operation) noexcept
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// For a function with no result: what was thrown is dropped.
template <typename Operation>
void GuardedVoid(Operation&& operation) noexcept
{
    Guarded([&] {
        operation();
        return S_OK;
    });
}

}  // namespace lumicap
