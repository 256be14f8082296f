// UTF-16 text as the platform spells it (WCHAR is wchar_t on Windows, char16_t elsewhere).
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace lumicap {

using WString = std::basic_string<WCHAR>;

// NUL-terminated text, with null read as empty.
inline WString FromNullable(LPCWSTR text) { return text ? WString(text) : WString(); }

// Decimal text of a signed 32-bit value, with its minus sign when negative.
WString SignedDecimal(int32_t value);

}  // namespace lumicap
