// The preview's exports beyond the eleven. Each forwards to its operation in capture/; nothing may
// escape into the host.
#include "capture/preview_frames.h"
#include "capture/preview_options.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap.h>

using lumicap::Guarded;

extern "C" {

LUMICAP_API HRESULT WINAPI LumicapSetPreviewMirror(BOOL mirrored)
{
    return Guarded([&] { return lumicap::SetPreviewMirror(mirrored); });
}

LUMICAP_API HRESULT WINAPI LumicapSetPreviewFrames(BOOL enabled)
{
    return Guarded([&] { return lumicap::SetPreviewFrames(enabled); });
}

LUMICAP_API HRESULT WINAPI LumicapGetPreviewFrame(UINT32* width, UINT32* height, UINT32* pixels, UINT64 capacity,
                                                  UINT64* frameNumber)
{
    return Guarded([&] { return lumicap::GetPreviewFrame(width, height, pixels, capacity, frameNumber); });
}

}  // extern "C"
