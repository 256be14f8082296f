// The preview's exports beyond the eleven. Each forwards to its operation in capture/; nothing may
// escape into the host.
#include "capture/preview_options.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap.h>

using lumicap::Guarded;

extern "C" {

LUMICAP_API HRESULT WINAPI LumicapSetPreviewMirror(BOOL mirrored)
{
    return Guarded([&] { return lumicap::SetPreviewMirror(mirrored); });
}

}  // extern "C"
