// Creation and destruction of the library's own objects, reference-counted ones included. Allocation never
// throws: a failed one yields null, which callers report as E_OUTOFMEMORY.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace lumicap {

template <typename T, typename... Args>
T* NewNoThrow(Args&&... args) noexcept
{
    return new (std::nothrow) T(std::forward<Args>(args)...);
}

// Called by an object's Release when its count reaches zero.
template <typename T>
void DeleteComObject(T* object) noexcept
{
    delete object;
}

}  // namespace lumicap

namespace lumicap {

// An array whose elements are left uninitialised (for buffers about to be overwritten), or null.
template <typename T>
std::unique_ptr<T[]> NewUninitializedArray(size_t count) noexcept
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace lumicap
