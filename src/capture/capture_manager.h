// The capture manager: the library's one stateful object, and everything that runs on the capture
// engine. All of its fields are read and written on the host's thread only.
#pragma once

#include "platform/com_ptr.h"
#include "platform/platform.h"
#include "platform/unique_event.h"
#include "photo_deadline.h"
#include "stream/memory_byte_stream.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lumicap {

class CaptureManager {
public:
    // The engine's event callback. It only posts window messages; the work happens in
    // HandleEngineEvent on the host's thread.
    class CaptureEngineCB final : public IMFCaptureEngineOnEventCallback {
    public:
        // previewStopped (owned from here on, may be null) is set on the engine's thread when the engine
        // confirms a stopped preview or gives up.
        CaptureEngineCB(HWND eventWindow, uint64_t setUp, HANDLE previewStopped = nullptr)
            : setUp(setUp), eventWindow(eventWindow)
        {
            this->previewStopped.Reset(previewStopped);
        }

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE OnEvent(IMFMediaEvent* event) override;

        // Called when the set-up it serves is torn down: from then on its events reach the host only
        // as WM_CAMERA_EVENT, with no notice that could be taken for the new set-up's.
        void Retire() { retired.store(true, std::memory_order_release); }

        // The engine set-up this callback serves, as its events are recorded.
        const uint64_t setUp;
        // Auto-reset; see the constructor. Cleared again when a preview starts.
        UniqueEvent previewStopped;
        // Between a preview the engine started and its confirmed stop (or the engine's error).
        bool PreviewDrawing() const { return previewDrawing.load(std::memory_order_acquire); }

    private:
        void PostNotices(REFGUID type, bool typeKnown, HRESULT status) const;
        void TrackPreview(REFGUID type, HRESULT status);

        std::atomic<LONG> refCount{1};
        const HWND eventWindow;
        std::atomic<bool> retired{false};
        std::atomic<bool> previewDrawing{false};
    };

    explicit CaptureManager(HWND eventWindow) : eventWindow(eventWindow) {}
    CaptureManager(const CaptureManager&) = delete;
    CaptureManager& operator=(const CaptureManager&) = delete;
    ~CaptureManager();

    HRESULT InitializeEngine(IMFActivate* camera);
    void ReleaseEngine();
    // Before a new set-up replaces this one: a running preview is stopped and its end awaited (bounded),
    // so the engine lets go of the preview window before it is released.
    void StopPreviewBeforeTearDown();
    void HandleEngineEvent(IMFMediaEvent* event);
    HRESULT BeginPreview(HWND window, INT32 mediaTypeIndex);
    void EndPreview();
    // A preview the engine could not start (a format it cannot show): the next start configures
    // afresh with its own index and window instead of failing the same way for good.
    void DropPreviewConfiguration();
    HRESULT CollectMediaTypeDescriptions(std::vector<std::string>& descriptions);
    HRESULT CapturePhoto();
    // Whether a photo request is still awaited: false once one timed out.
    bool PhotoPending();

    HWND eventWindow = nullptr;
    HWND previewWindow = nullptr;
    ComPtr<IMFCaptureEngine> engine;
    ComPtr<IMFCapturePreviewSink> previewSink;
    ComPtr<CaptureEngineCB> callback;
    bool isPreviewing = false;
    bool isPhotoPending = false;
    UniqueEvent stateEvent;
    ComPtr<MemoryIMFByteStream> photoStream;
    PhotoDeadline photoDeadline;

    // Beyond the eleven: how this engine set-up's previews are shown (preview_options.h).
    bool previewMirrored = false;

private:
    HRESULT ConfigurePreview(INT32 mediaTypeIndex);
    HRESULT CreateEngine(IMFAttributes** attributes);
    void WaitForStateChange();
};

// Makes the manager in the module state, posting to eventWindow. E_OUTOFMEMORY leaves none.
HRESULT CreateManagerInstance(HWND eventWindow);

// The video device, its multithread protection and the DXGI device manager of an engine set-up.
HRESULT CreateVideoDeviceManager();

// The two media types the preview and the photo are built from.
HRESULT MakeRgb32PreviewType(IMFMediaType* source, IMFMediaType** previewType);
HRESULT CopyMediaTypeItem(IMFMediaType* from, IMFMediaType* to, REFGUID key);
HRESULT MakeJpegPhotoType(IMFMediaType* source, IMFMediaType** photoType);

}  // namespace lumicap
