// The platform's functions answer HRESULTs and never throw: these run the code that may allocate (or
// start a thread) and turn what it throws into the HRESULT the caller reports.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <new>
#include <system_error>
#include <type_traits>
#include <utility>

namespace lumicap {

// Runs work, which returns an HRESULT or nothing (then S_OK); an exhausted allocation is E_OUTOFMEMORY.
template <typename Work>
HRESULT NoThrow(Work&& work)
{
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
            std::forward<Work>(work)();
            return S_OK;
        } else {
            return std::forward<Work>(work)();
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// As NoThrow, for work that starts a thread: a thread the system refuses is E_FAIL.
template <typename Work>
HRESULT NoThrowStartingThread(Work&& work)
{
    try {
        return NoThrow(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return E_FAIL;
    }
}

template <typename Container>
HRESULT ResizeNoThrow(Container& container, size_t count)
{
    return NoThrow([&] { container.resize(count); });
}

// Replaces the contents with [first, last); assign keeps the buffer when it is already large enough.
template <typename Container, typename Iterator>
HRESULT AssignNoThrow(Container& container, Iterator first, Iterator last)
{
    return NoThrow([&] { container.assign(first, last); });
}

template <typename Container, typename Value>
HRESULT PushBackNoThrow(Container& container, Value&& value)
{
    return NoThrow([&] { container.push_back(std::forward<Value>(value)); });
}

}  // namespace lumicap
