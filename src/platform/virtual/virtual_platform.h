// Control of the virtual capture platform: the camera set, injected faults, held events and what the
// sinks and windows received. Used by tests, the demo and the camera-less builds; the library's logic
// never includes this header.
#pragma once

#include "../com_ptr.h"
#include "../platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumicap::virt {

// {E5323777-F976-4F5B-9B55-B94699C46E44}
inline constexpr GUID kCategoryVideoCamera = {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}};

// One device media type of a camera stream. A cleared has* flag leaves that attribute out of the type.
struct Format {
    UINT32 width = 0;
    UINT32 height = 0;
    GUID subtype = GUID_NULL;
    UINT32 rateNumerator = 30;
    UINT32 rateDenominator = 1;
    bool hasFrameSize = true;
    bool hasFrameRate = true;
    bool hasSubtype = true;
    bool hasPixelAspectRatio = true;  // 1:1 when present
    bool hasInterlaceMode = true;     // progressive when present
};

// UTF-16 text, in the platform's own character type (wchar_t on Windows, char16_t elsewhere).
using WideString = std::basic_string<WCHAR>;

// A camera as device enumeration shows it. A cleared has* flag makes that attribute unreadable.
struct Camera {
    WideString friendlyName;
    WideString symbolicLink;
    GUID category = GUID_NULL;
    std::vector<Format> formats;
    // A separate photo stream (stream 1), as some cameras have: its formats, the first current at
    // start. Empty: the camera has stream 0 only, and the preferred photo stream is stream 0.
    std::vector<Format> photoFormats;
    bool hasFriendlyName = true;
    bool hasSymbolicLink = true;
    bool hasCategory = true;
};

// The two cameras a fresh platform has.
std::vector<Camera> DefaultCameras();
// Back to the default cameras, no faults, no held events, no delays, sequential photo writes.
void Reset();
void SetCameras(std::vector<Camera> cameras);
void AddCamera(Camera camera);
// Unplugs every camera with this friendly name; engines running on it report MF_CAPTURE_ENGINE_ERROR
// with MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED. Returns how many were removed.
int RemoveCamera(const WideString& friendlyName);

// How a camera behaves when an engine opens it: as a free camera, as one another application
// streams from (the preview start is accepted, then fails with MF_E_HW_MFT_FAILED_START_STREAMING
// and the engine reports an error with that code), or as one the privacy settings deny
// (initialisation reports E_ACCESSDENIED and the engine refuses every later request).
enum class CameraCondition { normal = 0, busy = 1, denied = 2 };
// Applies to every engine opened on a camera of that friendly name from now on, until set back or
// Reset(). False when no plugged camera has the name (nothing is changed then).
bool SetCameraCondition(const WideString& friendlyName, CameraCondition condition);
CameraCondition CameraConditionOf(const WideString& friendlyName);

// ---- Faults --------------------------------------------------------------------------------------
// Platform operations are named after the call, e.g. "MFCreateAttributes", "IMFCaptureEngine::TakePhoto"
// or "IMFMediaType::SetGUID"; src/platform/virtual/operation_names.h holds every name, and
// "CreateEventW" there fails with lastError as the thread's last error code (off Windows only).
// OperationNames() lists every name the platform counts.
std::vector<std::string> OperationNames();

// Makes the operation fail with hr: only its nth call from now (1-based), or every call (nth = 0).
void FailOperation(const std::string& operation, HRESULT hr, unsigned nth = 0, DWORD lastError = 0);
// Makes the nth platform operation from now (of any name) fail with hr.
void FailNthOperation(unsigned long long nth, HRESULT hr, DWORD lastError = 0);
void ClearFaults();
// Platform operations made since the last Reset, in all and by name.
unsigned long long OperationCount();
unsigned long long OperationCount(const std::string& operation);
// The names of the first 4,096 operations made since the last Reset, in order.
std::vector<std::string> OperationLog();

// ---- Engine events ---------------------------------------------------------------------------------
// Status that the next event of this type reports (once), instead of S_OK.
void SetNextEventStatus(REFGUID extendedType, HRESULT status);
// While held, events are queued instead of delivered; releasing delivers them in order.
void HoldEvents(bool hold);
// Delay before each event is delivered, in milliseconds.
void SetEventDelay(unsigned milliseconds);
// Makes the most recently created engine report MF_CAPTURE_ENGINE_ERROR with the given status.
bool RaiseEngineError(HRESULT status);
// Makes the most recently created engine report an event of any type with the given status.
bool RaiseEngineEvent(REFGUID extendedType, HRESULT status);

// ---- How the photo sink writes ------------------------------------------------------------------
// The photo sink writes its JPEG with sequential Write calls (the default), with BeginWrite/EndWrite
// pairs, or with zeros in place of its first 20 bytes that it patches at the end after seeking back.
// The bytes that end up in the stream are the same. Reset() goes back to sequential.
enum class PhotoWriteMode { kSequential = 0, kAsync = 1, kPatched = 2 };
void SetPhotoWriteMode(PhotoWriteMode mode);

// ---- What the sinks, engines and windows hold -------------------------------------------------------
struct SinkStream {
    DWORD sourceStreamIndex = 0;
    ComPtr<IMFMediaType> mediaType;  // the type given to AddStream (the caller's object)
};

struct PreviewSinkState {
    bool exists = false;
    HANDLE renderHandle = nullptr;
    std::vector<SinkStream> streams;
};

struct PhotoSinkState {
    bool exists = false;
    std::vector<SinkStream> streams;
    ComPtr<IMFByteStream> outputByteStream;
    unsigned removeAllStreamsCalls = 0;
};

struct EngineState {
    bool exists = false;        // an engine has been created and not yet destroyed
    bool initialized = false;   // Initialize accepted
    bool previewing = false;
    unsigned long long framesRendered = 0;
    ComPtr<IMFMediaType> appliedType;  // the current device media type of stream 0
};

// The most recently created engine and its sinks.
EngineState GetEngineState();
PreviewSinkState GetPreviewSinkState();
PhotoSinkState GetPhotoSinkState();

// Virtual platform objects alive now (attribute stores, media types, activations, events, engines,
// sinks, sources, devices); 0 once every reference has been given back.
long LiveObjectCount();

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
