#include "preview_options.h"

#include "capture_manager.h"
#include "preview_frames.h"
#include "preview_window_follower.h"

namespace lumicap {

HRESULT ApplyPreviewOptions(CaptureManager& manager)
{
    IMFCapturePreviewSink* sink = manager.previewSink.Get();
    if (!sink) return S_OK;
    HRESULT hr = ConfigurePreviewFrames(sink, manager.previewWindow);
    if (FAILED(hr)) {
        // As for any failed configuration, the next start configures afresh.
        manager.previewSink.Reset();
        return hr;
    }
    if (PreviewFramesActive()) {
        // The library draws the picture itself, mirrored when asked; the host's frames stay as the
        // camera sees them.
        if (manager.previewMirrored) sink->SetMirrorState(FALSE);
        SetPreviewFramesMirrored(manager.previewMirrored);
        // The sink draws nothing now: the library follows the window itself, frame by frame.
        StopFollowingPreviewWindow();
        return S_OK;
    }
    // The sink accepted the state when the host asked; a configuration may have reset it since.
    if (manager.previewMirrored) sink->SetMirrorState(TRUE);
    FollowPreviewWindow(manager.previewWindow, sink);
    return S_OK;
}

void OpenPreviewOptions() { OpenPreviewFrames(); }

void DropPreviewOptions(CaptureManager& manager)
{
    StopFollowingPreviewWindow();
    ClosePreviewFrames();
    manager.previewMirrored = false;
}

}  // namespace lumicap
