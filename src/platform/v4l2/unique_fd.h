// Owns a file descriptor and a memory mapping, so that no error path can leak either.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <utility>

namespace lumicap::v4l2 {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1)
    {
        // close() is not retried on EINTR: on Linux the descriptor is gone either way.
        if (int old = std::exchange(fd_, fd); old >= 0) ::close(old);
    }

private:
    int fd_ = -1;
};

class UniqueMapping {
public:
    UniqueMapping() = default;
    UniqueMapping(void* address, size_t length) : address_(address), length_(length) {}
    UniqueMapping(UniqueMapping&& other) noexcept
        : address_(std::exchange(other.address_, MAP_FAILED)), length_(std::exchange(other.length_, 0))
    {
    }
    UniqueMapping& operator=(UniqueMapping&& other) noexcept
    {
        if (this != &other) {
            Reset();
            address_ = std::exchange(other.address_, MAP_FAILED);
            length_ = std::exchange(other.length_, 0);
        }
        return *this;
    }
    UniqueMapping(const UniqueMapping&) = delete;
    UniqueMapping& operator=(const UniqueMapping&) = delete;
    ~UniqueMapping() { Reset(); }

    void* Get() const { return address_ == MAP_FAILED ? nullptr : address_; }
    size_t Length() const { return length_; }
    explicit operator bool() const { return address_ != MAP_FAILED; }
    void Reset()
    {
        if (address_ != MAP_FAILED) ::munmap(address_, length_);
        address_ = MAP_FAILED;
        length_ = 0;
    }

private:
    void* address_ = MAP_FAILED;
    size_t length_ = 0;
};

}  // namespace lumicap::v4l2
