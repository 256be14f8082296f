#include "preview_options.h"

#include "capture_manager.h"
#include "preview_window_follower.h"

namespace lumicap {

HRESULT ApplyPreviewOptions(CaptureManager& manager)
{
    IMFCapturePreviewSink* sink = manager.previewSink.Get();
    if (!sink) return S_OK;
    // The sink accepted the state when the host asked; a configuration may have reset it since.
    if (manager.previewMirrored) sink->SetMirrorState(TRUE);
    FollowPreviewWindow(manager.previewWindow, sink);
    return S_OK;
}

void DropPreviewOptions(CaptureManager& manager)
{
    StopFollowingPreviewWindow();
    manager.previewMirrored = false;
}

}  // namespace lumicap
