#include "text.h"

namespace lumicap {

WString SignedDecimal(int32_t value)
{
    // Widened from 64 bits so INT32_MIN negates safely.
    int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    WString digits;
    do {
        digits.insert(digits.begin(), static_cast<WCHAR>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits.insert(digits.begin(), static_cast<WCHAR>('-'));
    return digits;
}

}  // namespace lumicap
