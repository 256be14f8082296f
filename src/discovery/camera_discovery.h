// Which video cameras are attached, and which one a friendly name stands for.
#pragma once

#include "camera_device_array.h"
#include "interface/text.h"

namespace lumicap {

// Stores a new list of the attached cameras' friendly names through cameraNames (when it is not
// null) and logs each camera's link, name and category.
void GetCameraList(SAFEARRAY** cameraNames);

// Re-enumerates the cameras into the module list and returns the chosen one (owned by the list), or
// null when there is none to choose: the last camera with this exact name, else the one chosen before.
IMFActivate* SelectCameraByName(LPCWSTR name);

// Fills devices with the attached video capture devices; empty when enumeration fails.
void EnumerateCameraDevices(CameraDeviceArray& devices);

// Empties the module camera list.
void ReleaseCameraDevices();

// A text attribute of a camera, or empty text when it cannot be read.
WString ReadText(IMFActivate* camera, REFGUID key, bool* readable = nullptr);

}  // namespace lumicap
