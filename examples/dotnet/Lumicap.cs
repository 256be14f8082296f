// Lumicap for .NET: P/Invoke declarations of lumicap.dll's eleven exports, its four messages and
// the error codes cameras report most often, then the Lumicap* exports beyond the eleven.
//
// Add this file to a project (or build it as a library) and put lumicap.dll beside the program,
// built for the same architecture as the process (x64 or x86). The rules of lumicap.h apply: every
// call on the thread that owns the event window and runs its message loop (an [STAThread] UI
// thread, so COM is initialised), Media Foundation started first (MFStartup), and every
// WM_CAMERA_EVENT passed to OnCaptureEvent exactly once.
using System;
using System.Runtime.InteropServices;

namespace LumicapInterop
{
    // The camera's picture and camera controls, numbered as lumicap.h's LUMICAP_CONTROL_* (DirectShow's
    // VideoProcAmpProperty, and 100 + CameraControlProperty).
    public enum CameraControl
    {
        Brightness = Lumicap.LUMICAP_CONTROL_BRIGHTNESS,
        Contrast = Lumicap.LUMICAP_CONTROL_CONTRAST,
        Hue = Lumicap.LUMICAP_CONTROL_HUE,
        Saturation = Lumicap.LUMICAP_CONTROL_SATURATION,
        Sharpness = Lumicap.LUMICAP_CONTROL_SHARPNESS,
        Gamma = Lumicap.LUMICAP_CONTROL_GAMMA,
        ColorEnable = Lumicap.LUMICAP_CONTROL_COLOR_ENABLE,
        WhiteBalance = Lumicap.LUMICAP_CONTROL_WHITE_BALANCE,
        BacklightCompensation = Lumicap.LUMICAP_CONTROL_BACKLIGHT_COMPENSATION,
        Gain = Lumicap.LUMICAP_CONTROL_GAIN,
        Pan = Lumicap.LUMICAP_CONTROL_PAN,
        Tilt = Lumicap.LUMICAP_CONTROL_TILT,
        Roll = Lumicap.LUMICAP_CONTROL_ROLL,
        Zoom = Lumicap.LUMICAP_CONTROL_ZOOM,
        Exposure = Lumicap.LUMICAP_CONTROL_EXPOSURE,
        Iris = Lumicap.LUMICAP_CONTROL_IRIS,
        Focus = Lumicap.LUMICAP_CONTROL_FOCUS,
    }

    public static class Lumicap
    {
        const string Library = "lumicap";

        // Posted to the event window given to CreateInstance (WM_APP + 1 and on). The notices'
        // LParam is the HRESULT of what they announce (0 on success).
        public const int WM_CAMERA_EVENT = 0x8001;
        public const int WM_CAMERA_READY = 0x8002;
        public const int WM_CAMERA_PHOTO_READY = 0x8003;
        // WParam: what failed (LUMICAP_ERROR_*), LParam: the HRESULT, e.g. for Describe.
        public const int WM_CAMERA_ERROR = 0x8004;
        // WParam 1: the camera's stream is blocked (privacy shutter; the preview shows black), 0: unblocked.
        public const int WM_CAMERA_BLOCKED = 0x8005;

        public const int LUMICAP_ERROR_INITIALIZE = 1;
        public const int LUMICAP_ERROR_PREVIEW = 2;
        public const int LUMICAP_ERROR_PHOTO = 3;
        public const int LUMICAP_ERROR_CAMERA = 4;
        public const int LUMICAP_ERROR_EVENT = 5;

        // What real cameras report most often.
        public const int MF_E_HW_MFT_FAILED_START_STREAMING = unchecked((int)0xC00D3704);
        public const int E_ACCESSDENIED = unchecked((int)0x80070005);
        public const int MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED = unchecked((int)0xC00D3EA2);
        public const int MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED = unchecked((int)0xC00D3EA3);
        public const int DXGI_ERROR_DEVICE_REMOVED = unchecked((int)0x887A0005);
        public const int MF_E_NO_CAPTURE_DEVICES_AVAILABLE = unchecked((int)0xC00DABE0);
        public const int MF_E_TOPO_CODEC_NOT_FOUND = unchecked((int)0xC00D5212);
        public const int ERROR_MOD_NOT_FOUND_HRESULT = unchecked((int)0x8007007E);
        public const int ERROR_TIMEOUT_HRESULT = unchecked((int)0x800705B4);

        // Results of InitializeCamera and StartPreview besides S_OK (0).
        public const int MF_E_NOT_INITIALIZED = unchecked((int)0xC00D36B6);
        public const int MF_E_NO_MORE_TYPES = unchecked((int)0xC00D36B9);
        public const int ERROR_DEVICE_NOT_CONNECTED_HRESULT = unchecked((int)0x8007048F);

        // One log line; the text is copied into the string, so it may be kept.
        [UnmanagedFunctionPointer(CallingConvention.StdCall, CharSet = CharSet.Unicode)]
        public delegate void LogCallback([MarshalAs(UnmanagedType.LPWStr)] string text);

        // The library keeps only a function pointer: the delegate behind it must stay alive for as
        // long as it is registered, or the garbage collector frees the thunk the library calls. The
        // field is never read; being a root is its whole job.
#pragma warning disable 414
        static LogCallback registeredLogCallback;
#pragma warning restore 414

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void CreateInstance(IntPtr eventWindow);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall, EntryPoint = "SetLogCallback")]
        static extern void NativeSetLogCallback(LogCallback callback);

        // The camera names; the marshaller copies them and destroys the library's SAFEARRAY.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void GetCameraList(
            [MarshalAs(UnmanagedType.SafeArray, SafeArraySubType = VarEnum.VT_BSTR)] out string[] cameraNames);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern int InitializeCamera([MarshalAs(UnmanagedType.LPWStr)] string friendlyName);

        // Lines such as "1280 X 720 YUY2 FPS 30"; empty while the preview runs.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void GetMediaTypeList(
            [MarshalAs(UnmanagedType.SafeArray, SafeArraySubType = VarEnum.VT_BSTR)] out string[] mediaTypes);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern int StartPreview(int mediaTypeIndex, IntPtr previewWindow);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void StopPreview();

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void TakePhotoAsync();

        // Prefer TakeLastPhoto, which copies the bytes and gives the block back.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void GetLastPhoto(out IntPtr photo, out int size);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void FreePhotoMemory();

        // Message.Msg and Message.WParam of a WM_CAMERA_EVENT, as a WndProc receives them.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern void OnCaptureEvent(uint message, IntPtr wParam);

        // ---- Choosing a camera by its symbolic link, and hearing when cameras come and go ----------

        // Posted from CreateInstance on when a camera arrives (WParam DBT_DEVICEARRIVAL) or leaves
        // (DBT_DEVICEREMOVECOMPLETE): list the cameras again. At most one per direction per 250 ms.
        public const int WM_CAMERA_DEVICES_CHANGED = 0x8006;
        public const int DBT_DEVICEARRIVAL = 0x8000;
        public const int DBT_DEVICEREMOVECOMPLETE = 0x8004;

        // Names and symbolic links from one enumeration, element i of each for camera i (two cameras
        // of one model share a name, never a link).
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern int LumicapGetCameras(
            [MarshalAs(UnmanagedType.SafeArray, SafeArraySubType = VarEnum.VT_BSTR)] out string[] friendlyNames,
            [MarshalAs(UnmanagedType.SafeArray, SafeArraySubType = VarEnum.VT_BSTR)] out string[] symbolicLinks);

        // Opens the camera with this link (case does not matter) as InitializeCamera opens one by
        // name; ERROR_DEVICE_NOT_CONNECTED_HRESULT, with the current camera left running, when none has it.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern int LumicapInitializeCameraByLink([MarshalAs(UnmanagedType.LPWStr)] string symbolicLink);

        // The camera now open; MF_E_NOT_INITIALIZED when none is.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        public static extern int LumicapGetCurrentCamera([MarshalAs(UnmanagedType.BStr)] out string friendlyName,
            [MarshalAs(UnmanagedType.BStr)] out string symbolicLink);

        // ---- Camera controls (beyond the eleven) ----
        public const int LUMICAP_CONTROL_BRIGHTNESS = 0;
        public const int LUMICAP_CONTROL_CONTRAST = 1;
        public const int LUMICAP_CONTROL_HUE = 2;
        public const int LUMICAP_CONTROL_SATURATION = 3;
        public const int LUMICAP_CONTROL_SHARPNESS = 4;
        public const int LUMICAP_CONTROL_GAMMA = 5;
        public const int LUMICAP_CONTROL_COLOR_ENABLE = 6;
        public const int LUMICAP_CONTROL_WHITE_BALANCE = 7;
        public const int LUMICAP_CONTROL_BACKLIGHT_COMPENSATION = 8;
        public const int LUMICAP_CONTROL_GAIN = 9;
        public const int LUMICAP_CONTROL_PAN = 100;
        public const int LUMICAP_CONTROL_TILT = 101;
        public const int LUMICAP_CONTROL_ROLL = 102;
        public const int LUMICAP_CONTROL_ZOOM = 103;
        public const int LUMICAP_CONTROL_EXPOSURE = 104;
        public const int LUMICAP_CONTROL_IRIS = 105;
        public const int LUMICAP_CONTROL_FOCUS = 106;
        // The camera chooses / the value given is used.
        public const int LUMICAP_CONTROL_AUTO = 1;
        public const int LUMICAP_CONTROL_MANUAL = 2;
        // A control this camera does not have (HRESULT_FROM_WIN32(ERROR_NOT_FOUND)).
        public const int ERROR_NOT_FOUND_HRESULT = unchecked((int)0x80070490);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        static extern int LumicapGetControlRange(int control, out int minimum, out int maximum, out int step,
            out int defaultValue, out int capsFlags);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        static extern int LumicapGetControl(int control, out int value, out int flags);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall)]
        static extern int LumicapSetControl(int control, int value, int flags);

        // The control's range, step, default and LUMICAP_CONTROL_AUTO/MANUAL abilities; an HRESULT.
        public static int GetControlRange(CameraControl control, out int minimum, out int maximum, out int step,
            out int defaultValue, out int capsFlags)
        {
            return LumicapGetControlRange((int)control, out minimum, out maximum, out step, out defaultValue, out capsFlags);
        }

        // The value now; automatic is true while the camera chooses it. An HRESULT.
        public static int GetControl(CameraControl control, out int value, out bool automatic)
        {
            int flags;
            int result = LumicapGetControl((int)control, out value, out flags);
            automatic = flags == LUMICAP_CONTROL_AUTO;
            return result;
        }

        // automatic: the camera chooses and value is ignored; otherwise value, on the range's grid. An HRESULT.
        public static int SetControl(CameraControl control, int value, bool automatic)
        {
            return LumicapSetControl((int)control, value, automatic ? LUMICAP_CONTROL_AUTO : LUMICAP_CONTROL_MANUAL);
        }

        // A sentence for a person: what failed, why in words where the code is a known one, and the code.
        public static string Describe(int kind, int status)
        {
            string what;
            switch (kind)
            {
                case LUMICAP_ERROR_INITIALIZE: what = "The camera could not be opened"; break;
                case LUMICAP_ERROR_PREVIEW: what = "The preview could not be started"; break;
                case LUMICAP_ERROR_PHOTO: what = "The photo could not be taken"; break;
                case LUMICAP_ERROR_CAMERA: what = "The camera stopped working"; break;
                case LUMICAP_ERROR_EVENT: what = "The camera reported a problem"; break;
                default: what = "The camera reported an error"; break;
            }
            string why = Reason(status);
            return what + (why != null ? ": " + why : "") + " (error 0x" + status.ToString("X8") + ").";
        }

        // The known codes in words, or null.
        public static string Reason(int status)
        {
            switch (status)
            {
                case MF_E_HW_MFT_FAILED_START_STREAMING: return "it is in use by another application";
                case E_ACCESSDENIED: return "camera access is turned off in Settings > Privacy > Camera";
                case MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED: return "it was unplugged";
                case MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED: return "another application has taken it over";
                case DXGI_ERROR_DEVICE_REMOVED: return "the graphics device was reset";
                case MF_E_NO_CAPTURE_DEVICES_AVAILABLE:
                case ERROR_DEVICE_NOT_CONNECTED_HRESULT: return "no camera is attached";
                case MF_E_TOPO_CODEC_NOT_FOUND: return "this format cannot be previewed; choose another";
                case ERROR_MOD_NOT_FOUND_HRESULT: return "Media Foundation is not installed (Windows N: install the Media Feature Pack)";
                case ERROR_TIMEOUT_HRESULT: return "the camera did not answer in time";
                default: return null;
            }
        }

        // Registers the log function (null switches logging off) and keeps it alive while it is.
        public static void SetLogCallback(LogCallback callback)
        {
            // Referenced before the library can call it, released only after it no longer can.
            if (callback != null) registeredLogCallback = callback;
            NativeSetLogCallback(callback);
            registeredLogCallback = callback;
        }

        // The latest photo's JPEG bytes (empty when there is none), with the library's block freed.
        public static byte[] TakeLastPhoto()
        {
            IntPtr photo = IntPtr.Zero;
            int size = 0;
            try
            {
                GetLastPhoto(out photo, out size);
                if (photo == IntPtr.Zero || size <= 0) return new byte[0];
                byte[] bytes = new byte[size];
                Marshal.Copy(photo, bytes, 0, size);
                return bytes;
            }
            finally
            {
                FreePhotoMemory();
            }
        }

        // ---- Beyond the eleven: the preview ----

        // Mirrors the preview left to right (photos never are); kept for the camera's later previews.
        [DllImport(Library, CallingConvention = CallingConvention.StdCall, EntryPoint = "LumicapSetPreviewMirror")]
        public static extern int SetPreviewMirror([MarshalAs(UnmanagedType.Bool)] bool mirrored);

        // Frames mode for the next preview of a camera (call before StartPreview): the library keeps
        // the newest frame for GetPreviewFrame and draws the picture itself (null window: frames only).
        [DllImport(Library, CallingConvention = CallingConvention.StdCall, EntryPoint = "LumicapSetPreviewFrames")]
        public static extern int SetPreviewFrames([MarshalAs(UnmanagedType.Bool)] bool enabled);

        [DllImport(Library, CallingConvention = CallingConvention.StdCall, EntryPoint = "LumicapGetPreviewFrame")]
        static extern int NativeGetPreviewFrame(out uint width, out uint height, [Out] byte[] pixels, ulong capacity,
            out ulong frameNumber);

        // No frame yet: ERROR_NOT_FOUND_HRESULT (above); the buffer is too small:
        public const int ERROR_INSUFFICIENT_BUFFER_HRESULT = unchecked((int)0x8007007A);

        // The newest preview frame as 4 bytes a pixel (blue, green, red, unused), top row first: the
        // layout of a Bitmap in PixelFormat.Format32bppRgb with a stride of width * 4. Null when no
        // frame has arrived yet (or without a camera); frameNumber grows by one per camera frame. Any
        // thread may ask; it never waits for the camera.
        public static byte[] GetPreviewFrame(out int width, out int height, out ulong frameNumber)
        {
            for (;;)
            {
                uint w, h;
                int result = NativeGetPreviewFrame(out w, out h, null, 0, out frameNumber);
                width = (int)w;
                height = (int)h;
                if (result != ERROR_INSUFFICIENT_BUFFER_HRESULT) return null;
                byte[] pixels = new byte[(long)w * h * 4];
                result = NativeGetPreviewFrame(out w, out h, pixels, (ulong)w * h, out frameNumber);
                // A new configuration between the two calls may change the size: ask again.
                if (result == ERROR_INSUFFICIENT_BUFFER_HRESULT) continue;
                return result == 0 ? pixels : null;
            }
        }
    }

    // Media Foundation, started as a host that must also run where it is missing (Windows N and KN
    // without the Media Feature Pack) starts it: the library then returns ERROR_MOD_NOT_FOUND from
    // InitializeCamera, which Lumicap.Describe puts in words, instead of the host failing to start.
    public static class MediaFoundation
    {
        const uint MF_VERSION = 0x00020070;

        [DllImport("mfplat.dll")]
        static extern int MFStartup(uint version, uint flags);

        [DllImport("mfplat.dll")]
        static extern int MFShutdown();

        // True when it started; false when it is not installed or refused to start.
        public static bool Start()
        {
            try { return MFStartup(MF_VERSION, 0) >= 0; }
            catch (DllNotFoundException) { return false; }
            catch (EntryPointNotFoundException) { return false; }
        }

        public static void Stop()
        {
            try { MFShutdown(); }
            catch (DllNotFoundException) { }
            catch (EntryPointNotFoundException) { }
        }
    }
}
