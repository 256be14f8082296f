// Cameras told apart by their symbolic links: both lists from one enumeration, the choice by link,
// and the identity of the chosen camera.
#pragma once

#include "platform/platform.h"

namespace lumicap {

// Stores new lists of the attached cameras' friendly names and symbolic links through the pointers
// that are not null. E_OUTOFMEMORY stores nothing. The module camera list is not touched.
HRESULT GetCameras(SAFEARRAY** friendlyNames, SAFEARRAY** symbolicLinks);

// Re-enumerates the cameras; when one has this symbolic link (ignoring case, as Windows device paths
// do), that enumeration becomes the module list, the camera the chosen one, and it is returned
// (owned by the list). Null when none matches: the module list and the choice stay as they were.
IMFActivate* SelectCameraByLink(LPCWSTR symbolicLink);

// The chosen camera of the module list (the one the current set-up was built from), or null.
IMFActivate* SelectedCamera();

// New BSTR copies of a camera's friendly name and symbolic link, through the pointers that are not
// null. E_OUTOFMEMORY stores nothing.
HRESULT CopyCameraIdentity(IMFActivate* camera, BSTR* friendlyName, BSTR* symbolicLink);

}  // namespace lumicap
