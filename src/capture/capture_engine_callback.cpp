#include "capture_manager.h"

#include "capture_control.h"
#include "posted_events.h"
#include "interface/module_state.h"
#include "platform/com_object.h"

#include <lumicap/lumicap.h>


namespace lumicap {

HRESULT CaptureManager::CaptureEngineCB::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {
        QITABENT(CaptureEngineCB, IMFCaptureEngineOnEventCallback),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, object);
}

ULONG CaptureManager::CaptureEngineCB::AddRef() { return static_cast<ULONG>(++refCount); }

ULONG CaptureManager::CaptureEngineCB::Release()
{
    LONG count = --refCount;
    if (count == 0) DeleteComObject(this);
    return static_cast<ULONG>(count);
}

namespace {

// What WM_CAMERA_ERROR reports for a failed event of this type. Only an engine error ends the set-up;
// a refused media type concerns the preview; any other failed event, or one whose type cannot be
// read, is news the set-up survives.
WPARAM ErrorKind(REFGUID type, bool typeKnown)
{
    if (!typeKnown) return LUMICAP_ERROR_EVENT;
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_INITIALIZED)) return LUMICAP_ERROR_INITIALIZE;
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STARTED) || IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STOPPED) ||
        IsEqualGUID(type, MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET)) {
        return LUMICAP_ERROR_PREVIEW;
    }
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PHOTO_TAKEN)) return LUMICAP_ERROR_PHOTO;
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_ERROR)) return LUMICAP_ERROR_CAMERA;
    return LUMICAP_ERROR_EVENT;
}

LPARAM StatusParam(HRESULT status) { return static_cast<LPARAM>(status); }

}  // namespace

// The notice first, then WM_CAMERA_ERROR: a host that waits for the notice learns the outcome from
// its lParam, one that waits for errors sees what failed.
void CaptureManager::CaptureEngineCB::PostNotices(REFGUID type, bool typeKnown, HRESULT status) const
{
    if (typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_INITIALIZED)) {
        PostMessageW(eventWindow, WM_CAMERA_READY, 0, StatusParam(status));
    } else if (typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_PHOTO_TAKEN)) {
        PostMessageW(eventWindow, WM_CAMERA_PHOTO_READY, 0, StatusParam(status));
    } else if (typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_CAMERA_STREAM_BLOCKED)) {
        PostMessageW(eventWindow, WM_CAMERA_BLOCKED, 1, 0);
    } else if (typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_CAMERA_STREAM_UNBLOCKED)) {
        PostMessageW(eventWindow, WM_CAMERA_BLOCKED, 0, 0);
    }
    const bool engineError = typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_ERROR);
    // An engine error ends the set-up whatever its status says, so it is never reported as success.
    if (engineError) {
        PostMessageW(eventWindow, WM_CAMERA_ERROR, LUMICAP_ERROR_CAMERA, StatusParam(FAILED(status) ? status : E_FAIL));
    } else if (FAILED(status)) {
        PostMessageW(eventWindow, WM_CAMERA_ERROR, ErrorKind(type, typeKnown), StatusParam(status));
    }
}

// A tear-down waits for the end of the preview without the host's message loop, so the engine's
// thread tells it directly. After an engine error no stop will be confirmed: that ends the wait too.
void CaptureManager::CaptureEngineCB::TrackPreview(REFGUID type, HRESULT status)
{
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STARTED)) {
        if (FAILED(status)) return;
        if (previewStopped) ResetEvent(previewStopped.Get());
        previewDrawing.store(true, std::memory_order_release);
    } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STOPPED) || IsEqualGUID(type, MF_CAPTURE_ENGINE_ERROR)) {
        previewDrawing.store(false, std::memory_order_release);
        if (previewStopped) SetEvent(previewStopped.Get());
    }
}

HRESULT CaptureManager::CaptureEngineCB::OnEvent(IMFMediaEvent* event)
{
    if (!event) return S_OK;
    GUID type = GUID_NULL;
    const bool typeKnown = SUCCEEDED(event->GetExtendedType(&type));
    // Without an event window a message would go to this thread's own queue, which nobody reads.
    const bool notify = eventWindow && !retired.load(std::memory_order_acquire);
    HRESULT status = S_OK;
    if (notify || (typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STARTED))) {
        const HRESULT hr = event->GetStatus(&status);
        if (FAILED(hr)) status = hr;
    }
    if (typeKnown) TrackPreview(type, status);
    if (!eventWindow) return S_OK;
    if (notify) PostNotices(type, typeKnown, status);
    // The record has room reserved for every message the queue can hold, so this never fails.
    ThePostedEvents().Add(event, setUp);
    // The reference travels with the message; if the message cannot be posted nobody will give it back.
    event->AddRef();
    if (!PostMessageW(eventWindow, WM_CAMERA_EVENT, reinterpret_cast<WPARAM>(event), 0)) {
        ThePostedEvents().Take(event, nullptr);
        event->Release();
    }
    return S_OK;
}

void CaptureManager::HandleEngineEvent(IMFMediaEvent* event)
{
    // Only a value the library posted and has not had back is touched: one passed twice, or never
    // posted, could be an object already freed.
    uint64_t sender = 0;
    if (!ThePostedEvents().Take(event, &sender)) return;
    // An event of an engine set-up that InitializeCamera or an engine error ended meanwhile belongs to
    // nothing now: given back unread, so it cannot change the state of the set-up that replaced it.
    if (!callback || callback->setUp != sender) {
        event->Release();
        return;
    }
    HRESULT status = S_OK;
    HRESULT hr = event->GetStatus(&status);
    if (FAILED(hr)) status = hr;

    // Initialised, record started and record stopped change nothing, nor does any other type.
    GUID type = GUID_NULL;
    if (SUCCEEDED(event->GetExtendedType(&type))) {
        if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STARTED)) {
            isPreviewing = SUCCEEDED(status);
            if (FAILED(status)) DropPreviewConfiguration();
        } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STOPPED)) {
            isPreviewing = false;
        } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PHOTO_TAKEN)) {
            isPhotoPending = false;
            photoDeadline.Disarm();
        } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_ERROR)) {
            ReleaseEngine();
        }
    }
    event->Release();
    // After an engine error the event is closed already, and nothing is signalled.
    if (stateEvent) SetEvent(stateEvent.Get());
}

}  // namespace lumicap

namespace lumicap {

void OnCaptureEvent(UINT message, WPARAM wParam)
{
    CaptureManager* manager = Module().theManager.get();
    // A null event cannot be handled or given back; it is not one the library posted.
    if (!manager || message != WM_CAMERA_EVENT || wParam == 0) return;
    manager->HandleEngineEvent(reinterpret_cast<IMFMediaEvent*>(wParam));
}

}  // namespace lumicap
