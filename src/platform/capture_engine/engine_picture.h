// The picture a sink stream asks for: its size and frame rate.
#pragma once

#include "frame_source.h"

namespace lumicap::virt {

// Frame size and rate of the sink stream's type, each falling back to the current device media type
// when the stream's type lacks it (either type may be null). The rate falls back to 30/1 when neither
// has a usable one; a missing or unusable size is MF_E_INVALIDMEDIATYPE. The subtype is left unset.
HRESULT ResolvePictureFormat(IMFMediaType* streamType, IMFMediaType* deviceType, FrameFormat* format);

}  // namespace lumicap::virt
