// Lumicap for .NET: P/Invoke declarations of lumicap.dll's eleven exports, its four messages and
// the error codes cameras report most often.
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
    public static class Lumicap
    {
        const string Library = "lumicap";

        // Posted to the event window given to CreateInstance (WM_APP + 1 to + 4). The notices'
        // LParam is the HRESULT of what they announce (0 on success).
        public const int WM_CAMERA_EVENT = 0x8001;
        public const int WM_CAMERA_READY = 0x8002;
        public const int WM_CAMERA_PHOTO_READY = 0x8003;
        // WParam: what failed (LUMICAP_ERROR_*), LParam: the HRESULT, e.g. for Describe.
        public const int WM_CAMERA_ERROR = 0x8004;

        public const int LUMICAP_ERROR_INITIALIZE = 1;
        public const int LUMICAP_ERROR_PREVIEW = 2;
        public const int LUMICAP_ERROR_PHOTO = 3;
        public const int LUMICAP_ERROR_CAMERA = 4;

        // What real cameras report most often.
        public const int MF_E_HW_MFT_FAILED_START_STREAMING = unchecked((int)0xC00D3704);
        public const int E_ACCESSDENIED = unchecked((int)0x80070005);
        public const int MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED = unchecked((int)0xC00D3EA2);
        public const int MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED = unchecked((int)0xC00D3EA3);
        public const int DXGI_ERROR_DEVICE_REMOVED = unchecked((int)0x887A0005);
        public const int MF_E_NO_CAPTURE_DEVICES_AVAILABLE = unchecked((int)0xC00DABE0);

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

        public const int ERROR_NOT_FOUND_HRESULT = unchecked((int)0x80070490);
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
}
