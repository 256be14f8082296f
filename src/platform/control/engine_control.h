// Control of the capture engines: held and delayed events, status overrides, the photo sink's way of
// writing, and what the newest engine and its sinks hold.
#pragma once

#include "../com_ptr.h"
#include "../platform.h"
#include "platform/capture_engine/camera_record.h"

#include <vector>

namespace lumicap::virt {

// ---- Engine events ---------------------------------------------------------------------------------
// Status that the next event of this type reports (once), instead of S_OK.
void SetNextEventStatus(REFGUID extendedType, HRESULT status);
// The next event of this type is never delivered, as an engine that never completes a request.
void DropNextEvent(REFGUID extendedType);
// Whether the event of this type about to be delivered is dropped (consumed).
bool TakeDroppedEvent(REFGUID extendedType);
// While held, events are queued instead of delivered; releasing delivers them in order.
void HoldEvents(bool hold);
// Delay before each event is delivered, in milliseconds.
void SetEventDelay(unsigned milliseconds);
// Waits (bounded) until no engine has work or events left: what they report has reached the
// callbacks. False when the bound passed first.
bool WaitForEnginesIdle();
// Makes the most recently created engine report MF_CAPTURE_ENGINE_ERROR with the given status.
bool RaiseEngineError(HRESULT status);
// Makes the most recently created engine report an event of any type with the given status.
bool RaiseEngineEvent(REFGUID extendedType, HRESULT status);

// What the engines read of it.
struct EventControl {
    bool hold = false;
    unsigned delayMilliseconds = 0;
};
EventControl CurrentEventControl();
// The status to report for the next event of this type (consumed), or S_OK.
HRESULT TakeNextEventStatus(REFGUID extendedType);

// ---- The default microphone -------------------------------------------------------------------------
// How the microphone an engine opens besides its camera behaves (unless told to use video only):
// busy or denied fail that engine's initialisation as a camera would. Reset() goes back to normal.
void SetMicrophoneCondition(CameraCondition condition);
CameraCondition CurrentMicrophoneCondition();

// ---- How the photo sink writes ------------------------------------------------------------------
// The photo sink writes its JPEG with sequential Write calls (the default), with BeginWrite/EndWrite
// pairs, or with zeros in place of its first 20 bytes that it patches at the end after seeking back.
// The bytes that end up in the stream are the same. Reset() goes back to sequential.
enum class PhotoWriteMode { kSequential = 0, kAsync = 1, kPatched = 2 };
void SetPhotoWriteMode(PhotoWriteMode mode);
PhotoWriteMode CurrentPhotoWriteMode();

// ---- What the sinks and engines hold ----------------------------------------------------------------
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

// Back to no held events, no delays, no status overrides and sequential photo writes.
void ResetEngines();

}  // namespace lumicap::virt
