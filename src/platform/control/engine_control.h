// Control of the capture engines: held and delayed events, status overrides, the photo sink's way of
// writing, and what the newest engine and its sinks hold.
#pragma once

#include "../com_ptr.h"
#include "../platform.h"

#include <vector>

namespace lumicap::virt {

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

// What the engines read of it.
struct EventControl {
    bool hold = false;
    unsigned delayMilliseconds = 0;
};
EventControl CurrentEventControl();
// The status to report for the next event of this type (consumed), or S_OK.
HRESULT TakeNextEventStatus(REFGUID extendedType);

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
