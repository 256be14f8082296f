/* Lumicap virtual cameras: control of the camera-less build.
 *
 * The virtual build of the library (liblumicap.so on Linux, the virtual lumicap.dll on Windows)
 * exports these functions beside the eleven of lumicap.h; so does the stand-in mf.dll that lets the
 * real lumicap.dll run on virtual cameras under Wine (docs/BUILDING-WINDOWS.md). A host's own tests use them to choose the
 * cameras it sees, to unplug a camera while it runs, to make a platform call fail and to check what
 * the preview drew into its window. The library built on the real camera platform exports none of
 * them.
 *
 * Every function may be called from any thread, at any time. The effects show through the exports
 * and their messages, as real cameras would: a new camera set is seen by the next GetCameraList or
 * InitializeCamera, an unplugged open camera ends its engine with an error event (the host's next
 * WM_CAMERA_EVENT tears the camera set-up down), and plugging cameras in or out posts
 * WM_CAMERA_DEVICES_CHANGED as a real device's arrival or removal does (the only message these
 * functions post themselves). */
#ifndef LUMICAP_LUMICAP_VIRTUAL_H
#define LUMICAP_LUMICAP_VIRTUAL_H

#include <lumicap/lumicap.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of LumicapVirtualGetLatestFrame besides S_OK, E_POINTER and E_OUTOFMEMORY. */
#define LUMICAP_VIRTUAL_E_NO_FRAME ((HRESULT)0x80070490L)         /* HRESULT_FROM_WIN32(ERROR_NOT_FOUND) */
#define LUMICAP_VIRTUAL_E_BUFFER_TOO_SMALL ((HRESULT)0x8007007AL) /* HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) */

/* One picture format a camera offers on its video stream, as a device media type: frame size,
 * subtype (MFVideoFormat_YUY2, MFVideoFormat_MJPG, ...) and frame rate numerator/denominator. */
typedef struct LumicapVirtualFormat {
    UINT32 width;
    UINT32 height;
    GUID subtype;
    UINT32 rateNumerator;
    UINT32 rateDenominator;
} LumicapVirtualFormat;

/* A camera as device enumeration lists it. A null friendlyName or symbolicLink leaves that
 * attribute out, as a faulty driver would; category is the device category GUID
 * (CLSID_VideoInputDeviceCategory or KSCATEGORY_VIDEO_CAMERA for ordinary cameras). formats points
 * to formatCount formats, in the order the camera lists them (it may be null when formatCount is 0). */
typedef struct LumicapVirtualCamera {
    LPCWSTR friendlyName;
    LPCWSTR symbolicLink;
    GUID category;
    const LumicapVirtualFormat* formats;
    UINT32 formatCount;
} LumicapVirtualCamera;

#if defined(_WIN32) && !defined(LUMICAP_BUILDING)
/* Only the virtual lumicap.dll has these: a host that must also load the real DLL resolves them with
 * GetProcAddress instead of linking to them. */
#define LUMICAP_VIRTUAL_API __declspec(dllimport)
#else
#define LUMICAP_VIRTUAL_API LUMICAP_API
#endif

/* Back to a fresh library's cameras ("Lumicap Virtual Camera" and "Lumicap Virtual Rear Camera",
 * see README.md), with no injected faults, no held or delayed events, sequential photo writes and an
 * empty operation log.
 * Engines already running on earlier cameras go on. */
LUMICAP_VIRTUAL_API void WINAPI LumicapVirtualReset(void);

/* Replaces the whole camera set with count cameras (0 leaves none attached). Cameras left out are
 * forgotten, not unplugged: an engine already running on one goes on. Watchers hear of a removal
 * when a camera (by name and link) left and of an arrival when one came; of the same set, nothing. The strings and formats are
 * copied. Returns S_OK, E_POINTER for a null array or format list that should hold entries, or
 * E_OUTOFMEMORY; on failure the camera set is unchanged. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameras(const LumicapVirtualCamera* cameras, UINT32 count);

/* Plugs one more camera in, after the others. Same results as LumicapVirtualSetCameras. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualAddCamera(const LumicapVirtualCamera* camera);

/* Unplugs every camera with exactly this friendly name and returns how many there were (0 for a
 * null name; then nothing is posted). An engine running on one reports MF_CAPTURE_ENGINE_ERROR with
 * MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED, as unplugging a real camera does. */
LUMICAP_VIRTUAL_API INT32 WINAPI LumicapVirtualRemoveCamera(LPCWSTR friendlyName);

/* Makes a platform operation fail with the given failure code: its nth call from now (1-based), or
 * every call from now on when nth is 0. Operations are named after the call, for example
 * "MFEnumDeviceSources", "IMFCaptureEngine::Initialize", "IMFCaptureEngine::TakePhoto",
 * "IMFCapturePhotoSink::SetOutputByteStream" or "IMFMediaType::GetUINT64" (the full list is in
 * src/platform/control/operation_names.h). "CreateEventW" can be made to fail only off Windows: the
 * Windows build creates its event objects with the system's own CreateEventW, where no failure can
 * be injected. The newest rule for a name wins.
 * Returns S_OK; E_POINTER for a null name; E_INVALIDARG for a name the platform does not count or a
 * code that is not a failure; E_OUTOFMEMORY. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualFailOperation(const char* operation, HRESULT failure, UINT32 nth);

/* Forgets every injected failure that has not happened yet. */
LUMICAP_VIRTUAL_API void WINAPI LumicapVirtualClearFaults(void);

/* How a camera behaves when a camera set-up opens it, as real cameras fail. */
#define LUMICAP_VIRTUAL_CAMERA_NORMAL 0
/* Another application streams from it: StartPreview is accepted, then MF_CAPTURE_ENGINE_PREVIEW_STARTED
 * reports MF_E_HW_MFT_FAILED_START_STREAMING (0xC00D3704) and the engine reports
 * MF_CAPTURE_ENGINE_ERROR with the same code. */
#define LUMICAP_VIRTUAL_CAMERA_BUSY 1
/* Camera access is turned off in the privacy settings: MF_CAPTURE_ENGINE_INITIALIZED reports
 * E_ACCESSDENIED (0x80070005) and that engine refuses every later request with MF_E_INVALIDREQUEST. */
#define LUMICAP_VIRTUAL_CAMERA_DENIED 2

/* Applies the condition to every camera set-up opened on a camera of this friendly name from now
 * on, until set back to LUMICAP_VIRTUAL_CAMERA_NORMAL or LumicapVirtualReset. Returns S_OK,
 * E_POINTER for a null name, E_INVALIDARG for an unknown condition, HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
 * when no attached camera has the name. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraCondition(LPCWSTR friendlyName, UINT32 condition);

/* The newest live engine reports MF_CAPTURE_ENGINE_ERROR with this status, as a camera taken over
 * (MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED) or a lost graphics device (DXGI_ERROR_DEVICE_REMOVED)
 * does. Returns S_OK, or HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no engine is running. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualRaiseEngineError(HRESULT status);

/* The next engine event of this extended type (MF_CAPTURE_ENGINE_INITIALIZED, ..._PREVIEW_STARTED,
 * ..._PHOTO_TAKEN, ...) reports status instead of S_OK. Returns S_OK, or E_POINTER for a null type. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetNextEventStatus(const GUID* extendedType, HRESULT status);

/* How many preview frames the library has drawn into the window (0 for a window it never drew into).
 * Read from what the preview handed to the window, not from the screen. */
LUMICAP_VIRTUAL_API UINT64 WINAPI LumicapVirtualGetFrameCount(HWND window);

/* The latest preview frame drawn into the window: its size, and when pixels is not null a copy of
 * its width * height pixels as 0x00RRGGBB, top row first (capacity counts UINT32 values). The test
 * pattern is described in README.md.
 * Returns S_OK; LUMICAP_VIRTUAL_E_NO_FRAME when the window has received no frame (sizes 0);
 * LUMICAP_VIRTUAL_E_BUFFER_TOO_SMALL when capacity is below width * height (sizes reported, nothing
 * copied); E_POINTER for a null width or height. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualGetLatestFrame(HWND window, UINT32* width, UINT32* height,
                                                                UINT32* pixels, UINT64 capacity);

/* How the virtual photo sink writes each JPEG into the host's byte stream: with sequential Write calls
 * (LUMICAP_VIRTUAL_PHOTO_WRITE_SEQUENTIAL, the default), with BeginWrite/EndWrite pairs
 * (LUMICAP_VIRTUAL_PHOTO_WRITE_ASYNC), or with zeros in place of its first 20 bytes that it patches at
 * the end after seeking back, as an image encoder does (LUMICAP_VIRTUAL_PHOTO_WRITE_PATCHED). The
 * photo's bytes are the same in every mode. LumicapVirtualReset goes back to the default.
 * Returns S_OK, or E_INVALIDARG for another value (the mode is then unchanged). */
#define LUMICAP_VIRTUAL_PHOTO_WRITE_SEQUENTIAL 0
#define LUMICAP_VIRTUAL_PHOTO_WRITE_ASYNC 1
#define LUMICAP_VIRTUAL_PHOTO_WRITE_PATCHED 2
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetPhotoWriteMode(UINT32 mode);

/* The default microphone, which a capture engine opens besides the camera unless its attributes say
 * MF_CAPTURE_ENGINE_USE_VIDEO_DEVICE_ONLY (or it is given an audio source), as the system's does.
 * LUMICAP_VIRTUAL_CAMERA_DENIED (microphone access turned off) makes such an engine's
 * MF_CAPTURE_ENGINE_INITIALIZED report E_ACCESSDENIED, LUMICAP_VIRTUAL_CAMERA_BUSY
 * MF_E_HW_MFT_FAILED_START_STREAMING; the engine then refuses every later request. Applies to engines
 * initialised from now on, until LUMICAP_VIRTUAL_CAMERA_NORMAL or LumicapVirtualReset.
 * Returns S_OK, or E_INVALIDARG for an unknown condition. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetMicrophoneCondition(UINT32 condition);

/* Blocks or unblocks the stream of every running engine on a camera of this name, as a privacy
 * shutter or camera access switched off while running does: the engine reports
 * MF_CAPTURE_ENGINE_CAMERA_STREAM_BLOCKED (or ..._UNBLOCKED) and draws black frames while blocked.
 * Returns S_OK, E_POINTER for a null name, HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no attached
 * camera has the name. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraBlocked(LPCWSTR friendlyName, BOOL blocked);

/* The next engine event of this extended type is never sent, as by an engine that never completes
 * a request (each call drops one more). LumicapVirtualReset forgets them.
 * Returns S_OK, or E_POINTER for a null type. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualDropNextEvent(const GUID* extendedType);

/* Gives every attached camera of this friendly name the default camera controls (enabled) or none
 * (not enabled), for the camera set-ups opened on it from now on. The default cameras have them; a
 * camera made with LumicapVirtualSetCameras or LumicapVirtualAddCamera has none until this call.
 * Returns S_OK, E_POINTER for a null name, HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no attached camera
 * has the name. */
LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraControls(LPCWSTR friendlyName, BOOL enabled);

#ifdef __cplusplus
}
#endif

#endif
