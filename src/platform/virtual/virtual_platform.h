// Control of the virtual capture platform: the camera set, injected faults, held events and what the
// sinks and windows received. Used by tests, the demo and the camera-less builds; the library's logic
// never includes this header.
#pragma once

#include "../com_ptr.h"
#include "../platform.h"
#include "platform/capture_engine/camera_record.h"
#include "platform/control/engine_control.h"
#include "platform/control/faults.h"
#include "platform/control/live_object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumicap::virt {

// {E5323777-F976-4F5B-9B55-B94699C46E44}
inline constexpr GUID kCategoryVideoCamera = {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}};

// The two cameras a fresh platform has.
std::vector<Camera> DefaultCameras();
// Back to the default cameras, no faults, no held events, no delays, sequential photo writes.
void Reset();
void SetCameras(std::vector<Camera> cameras);
void AddCamera(Camera camera);
// Unplugs every camera with this friendly name; engines running on it report MF_CAPTURE_ENGINE_ERROR
// with MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED. Returns how many were removed.
int RemoveCamera(const WideString& friendlyName);
// Tells every device watcher that a camera arrived (true) or left (false). The three calls above
// tell it as a real device would: a new set tells of the cameras that left and of those that came.
void TellDeviceChange(bool arrived);

// Applies to every engine opened on a camera of that friendly name from now on, until set back or
// Reset(). False when no plugged camera has the name (nothing is changed then).
bool SetCameraCondition(const WideString& friendlyName, CameraCondition condition);
CameraCondition CameraConditionOf(const WideString& friendlyName);
// Engines running on a camera of this name report its stream blocked (a privacy shutter) or
// unblocked, and show black while blocked. False when no plugged camera has the name.
bool SetCameraBlocked(const WideString& friendlyName, bool blocked);

// Gives every plugged camera of this friendly name the default control set (or none) for the set-ups
// opened on it from now on. False when no plugged camera has the name.
bool SetCameraControls(const WideString& friendlyName, bool enabled);

// ---- The test pattern ------------------------------------------------------------------------------
// Frame f of a w x h picture, pixel (x, y), as 0x00RRGGBB:
//  * Eight vertical colour bars, bar = x * 8 / w: white FFFFFF, yellow FFFF00, cyan 00FFFF,
//    green 00FF00, magenta FF00FF, red FF0000, blue 0000FF, black 000000.
//  * A moving grey (808080) square of side s = max(1, h / 8) whose left edge is at
//    (f * 8) mod max(1, w - s) and whose top edge is at h - s (touching the bottom).
//  * A frame counter in the top-left corner: 32 cells of 8 x 8 pixels along the top row (cells
//    that fit within w), cell i showing bit i of f: white when set, black when clear.
// Later items are drawn over earlier ones.
uint32_t TestPatternPixel(UINT32 x, UINT32 y, UINT32 width, UINT32 height, uint64_t frame);
void RenderTestPattern(uint32_t* pixels, UINT32 width, UINT32 height, uint64_t frame);

}  // namespace lumicap::virt
