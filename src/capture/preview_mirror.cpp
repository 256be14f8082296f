#include "capture_manager.h"
#include "preview_frames.h"
#include "preview_options.h"

#include "interface/log.h"
#include "interface/module_state.h"

namespace lumicap {
namespace {

// The engine's one preview sink, configured or not: the mirror state is the sink's whatever its
// streams.
HRESULT EnginePreviewSink(IMFCaptureEngine* engine, ComPtr<IMFCapturePreviewSink>& previewSink)
{
    ComPtr<IMFCaptureSink> sink;
    HRESULT hr = engine->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, sink.Put());
    if (SUCCEEDED(hr)) hr = sink->QueryInterface(IID_IMFCapturePreviewSink, previewSink.PutVoid());
    return hr;
}

}  // namespace

HRESULT SetPreviewMirror(BOOL mirrored)
{
    EmitLog(TEXT("LumicapSetPreviewMirror: ") + SignedDecimal(mirrored ? 1 : 0));
    CaptureManager* manager = Module().theManager.get();
    if (!manager || !manager->engine) return MF_E_NOT_INITIALIZED;
    // In frames mode the library draws the picture, and mirrors it itself.
    if (manager->previewSink && PreviewFramesActive()) {
        SetPreviewFramesMirrored(mirrored != FALSE);
        manager->previewMirrored = mirrored != FALSE;
        return S_OK;
    }
    ComPtr<IMFCapturePreviewSink> sink = manager->previewSink;
    HRESULT hr = sink ? S_OK : EnginePreviewSink(manager->engine.Get(), sink);
    if (SUCCEEDED(hr)) hr = sink->SetMirrorState(mirrored);
    // Only a state the sink took is kept for the set-up's later previews.
    if (SUCCEEDED(hr)) manager->previewMirrored = mirrored != FALSE;
    return hr;
}

}  // namespace lumicap
