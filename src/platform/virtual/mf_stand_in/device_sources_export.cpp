// The one function of the system's mf.dll that lumicap.dll imports: the cameras it lists are the
// virtual platform's.
#include "platform/guarded_call.h"

HRESULT WINAPI MFEnumDeviceSources(IMFAttributes* attributes, IMFActivate*** sourceActivate, UINT32* count)
{
    return lumicap::Guarded(
        [&] { return lumicap::platform::MFEnumDeviceSources(attributes, sourceActivate, count); });
}
