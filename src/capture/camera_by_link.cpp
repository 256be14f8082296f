// Opening a camera by its symbolic link, and telling which camera the current set-up shows.
#include "capture_control.h"
#include "capture_manager.h"
#include "discovery/camera_identity.h"
#include "interface/log.h"
#include "interface/module_state.h"

namespace lumicap {

HRESULT InitializeCameraByLink(LPCWSTR symbolicLink)
{
    EmitLog(TEXT("LumicapInitializeCameraByLink: ") + FromNullable(symbolicLink));
    CaptureManager* manager = Module().theManager.get();
    if (!manager) return MF_E_NOT_INITIALIZED;
    if (!symbolicLink) return E_POINTER;

    // Unlike a name, a link that matches nothing chooses nothing: the running set-up stays.
    IMFActivate* camera = SelectCameraByLink(symbolicLink);
    if (!camera) {
        return platform::MediaFoundationPresent() ? HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)
                                                  : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    return manager->InitializeEngine(camera);
}

HRESULT GetCurrentCamera(BSTR* friendlyName, BSTR* symbolicLink)
{
    EmitLog(TEXT("LumicapGetCurrentCamera"));
    const CaptureManager* manager = Module().theManager.get();
    IMFActivate* camera = SelectedCamera();
    // The set-up was built from the chosen entry of the module list, which only a new choice replaces.
    if (!manager || !manager->engine || !camera) return MF_E_NOT_INITIALIZED;
    return CopyCameraIdentity(camera, friendlyName, symbolicLink);
}

}  // namespace lumicap
