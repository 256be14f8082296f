// Owns a kernel event handle.
#pragma once

#include "platform.h"

#include <utility>

namespace lumicap {

class UniqueEvent {
public:
    UniqueEvent() = default;
    UniqueEvent(const UniqueEvent&) = delete;
    UniqueEvent& operator=(const UniqueEvent&) = delete;
    ~UniqueEvent() { Close(); }

    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    void Close()
    {
        if (HANDLE h = std::exchange(handle_, nullptr)) CloseHandle(h);
    }
    HANDLE Get() const { return handle_; }
    // Gives up ownership: the handle now belongs to whoever was given it.
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace lumicap
