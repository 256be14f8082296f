// The picture a sink stream asks for: its size and frame rate.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

struct PictureFormat {
    UINT32 width = 0;
    UINT32 height = 0;
    UINT32 rateNumerator = 30;
    UINT32 rateDenominator = 1;
};

// Frame size and rate of the sink stream's type, each falling back to the current device media type
// when the stream's type lacks it (either type may be null). The rate falls back to 30/1 when neither
// has a usable one; a missing or unusable size is MF_E_INVALIDMEDIATYPE.
HRESULT ResolvePictureFormat(IMFMediaType* streamType, IMFMediaType* deviceType, PictureFormat* format);

}  // namespace lumicap::virt
