// The camera-control exports beyond the eleven. Nothing may escape into the host.
#include "camera_controls.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap.h>

using lumicap::Guarded;

extern "C" {

LUMICAP_API HRESULT WINAPI LumicapGetControlRange(INT32 control, INT32* minimum, INT32* maximum, INT32* step,
                                                  INT32* defaultValue, INT32* capsFlags)
{
    return Guarded([&] { return lumicap::GetControlRange(control, minimum, maximum, step, defaultValue, capsFlags); });
}

LUMICAP_API HRESULT WINAPI LumicapGetControl(INT32 control, INT32* value, INT32* flags)
{
    return Guarded([&] { return lumicap::GetControl(control, value, flags); });
}

LUMICAP_API HRESULT WINAPI LumicapSetControl(INT32 control, INT32 value, INT32 flags)
{
    return Guarded([&] { return lumicap::SetControl(control, value, flags); });
}

}  // extern "C"
