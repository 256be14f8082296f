// The eleven exported functions. Each forwards to the operation that owns it; nothing may escape
// into the host, so an exhausted allocation inside becomes E_OUTOFMEMORY or is dropped.
#include "capture/capture_control.h"
#include "discovery/camera_discovery.h"
#include "interface/log.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap.h>

using lumicap::Guarded;
using lumicap::GuardedVoid;

extern "C" {

LUMICAP_API void WINAPI CreateInstance(HWND eventWindow)
{
    GuardedVoid([&] { lumicap::CreateInstance(eventWindow); });
}

LUMICAP_API void WINAPI SetLogCallback(LogCallback callback) { lumicap::SetLogCallback(callback); }

LUMICAP_API void WINAPI GetCameraList(SAFEARRAY** cameraNames)
{
    GuardedVoid([&] { lumicap::GetCameraList(cameraNames); });
}

LUMICAP_API HRESULT WINAPI InitializeCamera(LPCWSTR friendlyName)
{
    return Guarded([&] { return lumicap::InitializeCamera(friendlyName); });
}

LUMICAP_API void WINAPI GetMediaTypeList(SAFEARRAY** mediaTypes)
{
    GuardedVoid([&] { lumicap::GetMediaTypeList(mediaTypes); });
}

LUMICAP_API HRESULT WINAPI StartPreview(INT32 mediaTypeIndex, HWND previewWindow)
{
    return Guarded([&] { return lumicap::StartPreview(mediaTypeIndex, previewWindow); });
}

LUMICAP_API void WINAPI StopPreview(void)
{
    GuardedVoid([] { lumicap::StopPreview(); });
}

LUMICAP_API void WINAPI TakePhotoAsync(void)
{
    GuardedVoid([] { lumicap::TakePhotoAsync(); });
}

LUMICAP_API void WINAPI GetLastPhoto(BYTE** photo, INT32* size)
{
    GuardedVoid([&] { lumicap::GetLastPhoto(photo, size); });
}

LUMICAP_API void WINAPI FreePhotoMemory(void)
{
    GuardedVoid([] { lumicap::FreePhotoMemory(); });
}

LUMICAP_API void WINAPI OnCaptureEvent(UINT message, WPARAM wParam)
{
    GuardedVoid([&] { lumicap::OnCaptureEvent(message, wParam); });
}

}  // extern "C"
