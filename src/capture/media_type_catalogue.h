// The open camera's formats as text lines, for the host to show and pick from.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

namespace lumicap {

// The subtype's short text: the bytes of its first field, least significant first, up to the first
// zero byte; empty for the value 20.
std::string DescribeSubtype(GUID subtype);

// One format's line, e.g. "1280 X 720 YUY2 FPS 30".
std::string DescribeFormat(UINT32 width, UINT32 height, GUID subtype, UINT32 rateNumerator,
                           UINT32 rateDenominator);

// Stores a new SAFEARRAY of BSTR holding the lines, each byte widened to one UTF-16 code unit by sign
// extension. Stores null when the array cannot be made.
void StringsToBstrArray(const std::vector<std::string>& lines, SAFEARRAY** array);

}  // namespace lumicap
