// The exports beyond the eleven that tell cameras apart by symbolic link. Like the eleven, nothing
// may escape into the host.
#include "capture/capture_control.h"
#include "discovery/camera_identity.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap.h>

using lumicap::Guarded;

extern "C" {

LUMICAP_API HRESULT WINAPI LumicapGetCameras(SAFEARRAY** friendlyNames, SAFEARRAY** symbolicLinks)
{
    return Guarded([&] { return lumicap::GetCameras(friendlyNames, symbolicLinks); });
}

LUMICAP_API HRESULT WINAPI LumicapInitializeCameraByLink(LPCWSTR symbolicLink)
{
    return Guarded([&] { return lumicap::InitializeCameraByLink(symbolicLink); });
}

LUMICAP_API HRESULT WINAPI LumicapGetCurrentCamera(BSTR* friendlyName, BSTR* symbolicLink)
{
    return Guarded([&] { return lumicap::GetCurrentCamera(friendlyName, symbolicLink); });
}

}  // extern "C"
