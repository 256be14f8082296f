/* Lumicap: cameras for Windows desktop applications.
 *
 * A host lists the cameras, opens one by friendly name, lists its picture formats, shows a live
 * preview in a window it owns and takes still photos that come back as JPEG bytes.
 *
 * Calling order: SetLogCallback (optional, any time), CreateInstance, GetCameraList,
 * InitializeCamera, wait for WM_CAMERA_READY, GetMediaTypeList, StartPreview, TakePhotoAsync, on
 * WM_CAMERA_PHOTO_READY GetLastPhoto and later FreePhotoMemory, StopPreview. Throughout, the window
 * procedure of the event window passes every WM_CAMERA_EVENT to OnCaptureEvent.
 *
 * All calls are made on one thread: the thread that owns the event window and runs its message
 * loop. Before the first call that thread has initialised COM and started Media Foundation. */
#ifndef LUMICAP_LUMICAP_H
#define LUMICAP_LUMICAP_H

/* The library's version (the DLL's version resource and the release archive carry the same). */
#define LUMICAP_VERSION_MAJOR 0
#define LUMICAP_VERSION_MINOR 1
#define LUMICAP_VERSION_PATCH 0
#define LUMICAP_VERSION_STRING "0.1.0"

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#else
#include <lumicap/portable/win32.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(LUMICAP_BUILDING)
#define LUMICAP_API
#else
#define LUMICAP_API __declspec(dllimport)
#endif
#else
#define LUMICAP_API __attribute__((visibility("default")))
#endif

/* Posted to the event window. WM_CAMERA_EVENT carries an engine event in wParam that belongs to
 * the message: pass the message number and wParam to OnCaptureEvent exactly once. The notices come
 * before the WM_CAMERA_EVENT of the same engine event, in the order notice, WM_CAMERA_ERROR,
 * WM_CAMERA_EVENT; they need nothing of the host. */
#define WM_CAMERA_EVENT 0x8001       /* WM_APP + 1 */
#define WM_CAMERA_READY 0x8002       /* the camera finished initialising; lParam: its HRESULT (0 = S_OK) */
#define WM_CAMERA_PHOTO_READY 0x8003 /* a photo can be fetched with GetLastPhoto; lParam: its HRESULT */
#define WM_CAMERA_ERROR 0x8004       /* something failed: wParam one of LUMICAP_ERROR_*, lParam the HRESULT */
#define WM_CAMERA_BLOCKED 0x8005     /* wParam 1: the camera's stream is blocked (privacy shutter, access
                                      * switched off while running; the preview shows black); 0: unblocked */

/* What failed, in the wParam of WM_CAMERA_ERROR. */
#define LUMICAP_ERROR_INITIALIZE 1 /* the camera could not be initialised (e.g. access denied) */
#define LUMICAP_ERROR_PREVIEW 2    /* the preview failed to start or stop (e.g. camera in use) */
#define LUMICAP_ERROR_PHOTO 3      /* a photo request was refused, failed, or not done within 10 s */
#define LUMICAP_ERROR_CAMERA 4     /* the camera set-up ended (unplugged, taken over, device lost) */
#define LUMICAP_ERROR_EVENT 5      /* another engine event failed; the set-up goes on */

/* Receives one UTF-16 line per step; the text is valid only during the call. */
typedef void(WINAPI* LogCallback)(LPCWSTR text);

/* Creates the capture manager once; later calls do nothing. eventWindow receives the messages. */
LUMICAP_API void WINAPI CreateInstance(HWND eventWindow);

/* Sets the logging function; null switches logging off. */
LUMICAP_API void WINAPI SetLogCallback(LogCallback callback);

/* Stores a new one-dimensional SAFEARRAY of BSTR (lower bound 0) with the friendly names of the
 * attached cameras; the caller owns it. Receives null when the array cannot be made. */
LUMICAP_API void WINAPI GetCameraList(SAFEARRAY** cameraNames);

/* Chooses the last camera whose friendly name equals the given one (exactly, case-sensitive); with
 * no match, the camera chosen before (the first one at start). Tears any earlier camera set-up down
 * and starts a new one; WM_CAMERA_READY follows when it has initialised.
 * Returns MF_E_NOT_INITIALIZED before CreateInstance, and
 * HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) when there is no camera to choose. */
LUMICAP_API HRESULT WINAPI InitializeCamera(LPCWSTR friendlyName);

/* Stores a new SAFEARRAY of BSTR, one line per format of the open camera such as
 * "1280 X 720 YUY2 FPS 30"; empty while the preview runs and before a camera is open. */
LUMICAP_API void WINAPI GetMediaTypeList(SAFEARRAY** mediaTypes);

/* Starts the preview in previewWindow with the format at mediaTypeIndex of GetMediaTypeList. Only
 * the first start after InitializeCamera applies the window and format; later starts restart the
 * preview as it was configured. S_OK while a preview runs; MF_E_NOT_INITIALIZED without a camera. */
LUMICAP_API HRESULT WINAPI StartPreview(INT32 mediaTypeIndex, HWND previewWindow);

/* Stops the preview. Never blocks the thread that dispatches the engine's messages. */
LUMICAP_API void WINAPI StopPreview(void);

/* Asks for one photo while the preview runs; WM_CAMERA_PHOTO_READY follows. One photo at a time. */
LUMICAP_API void WINAPI TakePhotoAsync(void);

/* Hands out a copy of the latest photo (JPEG bytes) in a block of the library's; give it back with
 * FreePhotoMemory before the next call. Size 0 and photo untouched when there is no photo. */
LUMICAP_API void WINAPI GetLastPhoto(BYTE** photo, INT32* size);

/* Frees the block handed out by the latest GetLastPhoto. */
LUMICAP_API void WINAPI FreePhotoMemory(void);

/* Call for every WM_CAMERA_EVENT: OnCaptureEvent(msg.message, msg.wParam). Other numbers are ignored. */
LUMICAP_API void WINAPI OnCaptureEvent(UINT message, WPARAM wParam);

/* ---- Choosing a camera by its symbolic link, and hearing when cameras come and go ------------- */

/* Posted to the event window from CreateInstance on when a video capture device arrives (wParam
 * DBT_DEVICEARRIVAL) or leaves (wParam DBT_DEVICEREMOVECOMPLETE); lParam 0. List the cameras again.
 * Devices that come together are folded: at most one message per direction per 250 ms. */
#define WM_CAMERA_DEVICES_CHANGED 0x8006
#ifndef DBT_DEVICEARRIVAL
#define DBT_DEVICEARRIVAL 0x8000
#endif
#ifndef DBT_DEVICEREMOVECOMPLETE
#define DBT_DEVICEREMOVECOMPLETE 0x8004
#endif

/* Stores, from one enumeration, new lists (SAFEARRAY of BSTR, lower bound 0) of the attached
 * cameras' friendly names and symbolic links, element i of each for camera i, in GetCameraList's
 * order; either pointer may be null (that list is not made). S_OK, or E_OUTOFMEMORY with nothing
 * stored. Needs no CreateInstance. */
LUMICAP_API HRESULT WINAPI LumicapGetCameras(SAFEARRAY** friendlyNames, SAFEARRAY** symbolicLinks);

/* Chooses the camera whose symbolic link equals the given one (ignoring case) and does what
 * InitializeCamera does with it: tears the earlier set-up down, builds a new one, WM_CAMERA_READY
 * follows. HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) when no camera has the link (the current
 * set-up and choice stay), E_POINTER for null, MF_E_NOT_INITIALIZED before CreateInstance. */
LUMICAP_API HRESULT WINAPI LumicapInitializeCameraByLink(LPCWSTR symbolicLink);

/* The friendly name and symbolic link of the camera of the current set-up, as new BSTRs the caller
 * frees (either pointer may be null). S_OK, or MF_E_NOT_INITIALIZED without a camera set-up. */
LUMICAP_API HRESULT WINAPI LumicapGetCurrentCamera(BSTR* friendlyName, BSTR* symbolicLink);

/* ---- Beyond the eleven: camera controls --------------------------------------------------------
 * The picture and camera controls of the camera of the current set-up, numbered and valued as
 * DirectShow's VideoProcAmpProperty (0-9) and 100 + CameraControlProperty (100-106): exposure in log2
 * seconds, white balance in kelvin. Available once WM_CAMERA_READY reported success, previewing or
 * not; a value set shows in the following preview frames and photos; nothing is kept across set-ups.
 * Results: S_OK; MF_E_NOT_INITIALIZED without a camera set-up (or before CreateInstance);
 * HRESULT_FROM_WIN32(ERROR_NOT_FOUND) for a control this camera does not have; E_INVALIDARG for an
 * unknown control, flags other than AUTO or MANUAL, AUTO where the camera cannot choose, or a value off
 * the range or off its step grid (counted from the minimum); E_POINTER for a null out argument;
 * otherwise the device's failure. */
#define LUMICAP_CONTROL_BRIGHTNESS 0
#define LUMICAP_CONTROL_CONTRAST 1
#define LUMICAP_CONTROL_HUE 2
#define LUMICAP_CONTROL_SATURATION 3
#define LUMICAP_CONTROL_SHARPNESS 4
#define LUMICAP_CONTROL_GAMMA 5
#define LUMICAP_CONTROL_COLOR_ENABLE 6
#define LUMICAP_CONTROL_WHITE_BALANCE 7
#define LUMICAP_CONTROL_BACKLIGHT_COMPENSATION 8
#define LUMICAP_CONTROL_GAIN 9
#define LUMICAP_CONTROL_PAN 100
#define LUMICAP_CONTROL_TILT 101
#define LUMICAP_CONTROL_ROLL 102
#define LUMICAP_CONTROL_ZOOM 103
#define LUMICAP_CONTROL_EXPOSURE 104
#define LUMICAP_CONTROL_IRIS 105
#define LUMICAP_CONTROL_FOCUS 106

/* The camera chooses the value / the value given is used. */
#define LUMICAP_CONTROL_AUTO 1
#define LUMICAP_CONTROL_MANUAL 2

/* The control's range, its step (values lie on minimum + n * step), its default and which of
 * LUMICAP_CONTROL_AUTO and LUMICAP_CONTROL_MANUAL it accepts. Logs "LumicapGetControlRange: <control>". */
LUMICAP_API HRESULT WINAPI LumicapGetControlRange(INT32 control, INT32* minimum, INT32* maximum, INT32* step,
                                                  INT32* defaultValue, INT32* capsFlags);

/* The control's value now, and LUMICAP_CONTROL_AUTO while the camera chooses it (else MANUAL).
 * Logs "LumicapGetControl: <control>". */
LUMICAP_API HRESULT WINAPI LumicapGetControl(INT32 control, INT32* value, INT32* flags);

/* LUMICAP_CONTROL_MANUAL sets the value (the camera stops choosing it); LUMICAP_CONTROL_AUTO lets the
 * camera choose, whatever the value. Logs "LumicapSetControl: <control>". */
LUMICAP_API HRESULT WINAPI LumicapSetControl(INT32 control, INT32 value, INT32 flags);

/* ---- Beyond the eleven: the preview ------------------------------------------------------------ */
/* The picture follows its window: the first StartPreview of a camera set-up subclasses the preview
 * window (on the calling thread, which must own it) so the picture keeps filling the client area,
 * letterboxed with black bars, as the window is resized or repainted. */

/* Mirrors the preview left to right (TRUE) or not (FALSE): the running preview and later ones of
 * this camera set-up; photos are never mirrored. MF_E_NOT_INITIALIZED before InitializeCamera; a
 * refusal of the preview sink is returned as it is. */
LUMICAP_API HRESULT WINAPI LumicapSetPreviewMirror(BOOL mirrored);

/* Frames for the host. With TRUE, the next preview configuration (the first StartPreview of a camera
 * set-up) runs in frames mode: the library receives every frame, keeps the newest for
 * LumicapGetPreviewFrame and draws it into the preview window itself (letterboxed, mirrored when
 * asked, following the window's size); a null window gives frames only. Kept until changed; S_OK. */
LUMICAP_API HRESULT WINAPI LumicapSetPreviewFrames(BOOL enabled);

/* Copies the newest frame of a frames-mode preview as 0x00RRGGBB pixels, top row first, at the
 * chosen format's size, with its number (1 for the first frame, one more for each frame the camera
 * delivered since). Callable from any thread; never waits for the camera. Results: S_OK;
 * HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no frame has arrived (sizes 0);
 * HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when capacity (in pixels) is below width x height
 * (sizes reported, nothing copied); E_POINTER for a null width, height or frameNumber;
 * MF_E_NOT_INITIALIZED without a camera set-up. */
LUMICAP_API HRESULT WINAPI LumicapGetPreviewFrame(UINT32* width, UINT32* height, UINT32* pixels, UINT64 capacity,
                                                  UINT64* frameNumber);

#ifdef __cplusplus
}
#endif

#endif
