// The capture-control operations behind the exports. Each runs on the host's thread.
#pragma once

#include "platform/platform.h"

namespace lumicap {

void CreateInstance(HWND eventWindow);
HRESULT InitializeCamera(LPCWSTR friendlyName);
void OnCaptureEvent(UINT message, WPARAM wParam);
void GetMediaTypeList(SAFEARRAY** mediaTypes);
HRESULT StartPreview(INT32 mediaTypeIndex, HWND previewWindow);
void StopPreview();
void TakePhotoAsync();
void GetLastPhoto(BYTE** photo, INT32* size);
void FreePhotoMemory();

}  // namespace lumicap

namespace lumicap {

// The camera chosen by its symbolic link, and the camera of the current set-up.
HRESULT InitializeCameraByLink(LPCWSTR symbolicLink);
HRESULT GetCurrentCamera(BSTR* friendlyName, BSTR* symbolicLink);

}  // namespace lumicap
