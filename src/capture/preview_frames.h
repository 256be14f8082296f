// Frames for the host: in frames mode the preview sink hands each RGB32 sample to the library, which
// keeps the newest one for LumicapGetPreviewFrame (any thread) and draws it into the preview window
// itself. The store is the module's; every function here may be called from any thread.
#pragma once

#include "platform/platform.h"

namespace lumicap {

// Wanted for the next preview configuration; kept until changed.
HRESULT SetPreviewFrames(BOOL enabled);
bool PreviewFramesWanted();
HRESULT GetPreviewFrame(UINT32* width, UINT32* height, UINT32* pixels, UINT64 capacity, UINT64* frameNumber);

// A camera set-up begins or ends: frames are forgotten, and without a set-up none can be asked for.
void OpenPreviewFrames();
void ClosePreviewFrames();
// A preview was configured. In frames mode the sink's samples come to the library from now on, at
// the size of the sink's stream, drawn into window (null: frames only).
HRESULT ConfigurePreviewFrames(IMFCapturePreviewSink* sink, HWND window);
// Whether the configured preview is in frames mode, where the library mirrors its own drawing.
bool PreviewFramesActive();
void SetPreviewFramesMirrored(bool mirrored);

}  // namespace lumicap
