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

// What WM_CAMERA_ERROR reports for a failed event of this type; other types and events whose type
// cannot be read count as a camera failure.
WPARAM ErrorKind(REFGUID type, bool typeKnown)
{
    if (!typeKnown) return LUMICAP_ERROR_CAMERA;
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_INITIALIZED)) return LUMICAP_ERROR_INITIALIZE;
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STARTED) || IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STOPPED)) {
        return LUMICAP_ERROR_PREVIEW;
    }
    if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PHOTO_TAKEN)) return LUMICAP_ERROR_PHOTO;
    return LUMICAP_ERROR_CAMERA;
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
    }
    const bool engineError = typeKnown && IsEqualGUID(type, MF_CAPTURE_ENGINE_ERROR);
    // An engine error ends the set-up whatever its status says, so it is never reported as success.
    if (engineError) {
        PostMessageW(eventWindow, WM_CAMERA_ERROR, LUMICAP_ERROR_CAMERA, StatusParam(FAILED(status) ? status : E_FAIL));
    } else if (FAILED(status)) {
        PostMessageW(eventWindow, WM_CAMERA_ERROR, ErrorKind(type, typeKnown), StatusParam(status));
    }
}

HRESULT CaptureManager::CaptureEngineCB::OnEvent(IMFMediaEvent* event)
{
    // Without an event window a message would go to this thread's own queue, which nobody reads.
    if (!event || !eventWindow) return S_OK;
    if (!retired.load(std::memory_order_acquire)) {
        GUID type = GUID_NULL;
        const bool typeKnown = SUCCEEDED(event->GetExtendedType(&type));
        HRESULT status = S_OK;
        const HRESULT hr = event->GetStatus(&status);
        PostNotices(type, typeKnown, FAILED(hr) ? hr : status);
    }
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
        } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PREVIEW_STOPPED)) {
            isPreviewing = false;
        } else if (IsEqualGUID(type, MF_CAPTURE_ENGINE_PHOTO_TAKEN)) {
            isPhotoPending = false;
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
