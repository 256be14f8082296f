// Encodes the photo sink's pictures as JPEG: libjpeg-turbo off Windows, the Windows Imaging Component
// on Windows.
#pragma once

#include "../platform.h"

#include <cstdint>

namespace lumicap::virt {

// Encodes width x height pixels of 0x00RRGGBB (top row first) as a baseline JPEG of quality 90 and
// writes it to output through IMFByteStream::Write as it is produced, in chunks of at most 64 KiB.
// Returns the first failure of the encoder or of Write.
HRESULT EncodeJpeg(const uint32_t* pixels, UINT32 width, UINT32 height, IMFByteStream* output);

}  // namespace lumicap::virt
