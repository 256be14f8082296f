// What the fuzz targets share: reading values from the fuzzer's bytes (zeros once they run out) and
// stopping the run loudly when a checked property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lumicap::fuzz {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return used_ >= size_; }
    size_t Left() const { return Empty() ? 0 : size_ - used_; }

    uint8_t Byte() { return Empty() ? 0 : data_[used_++]; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t Dword() { return static_cast<uint32_t>(Word()) | (static_cast<uint32_t>(Word()) << 16); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

// A failed property is a finding: libFuzzer keeps the input that made it.
inline void Require(bool condition, const char* property)
{
    if (condition) return;
    std::fprintf(stderr, "fuzz: property does not hold: %s\n", property);
    std::abort();
}

}  // namespace lumicap::fuzz
