// Lumicap for .NET: P/Invoke declarations of lumicap.dll's eleven exports and the three messages.
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

        // Posted to the event window given to CreateInstance (WM_APP + 1, + 2, + 3).
        public const int WM_CAMERA_EVENT = 0x8001;
        public const int WM_CAMERA_READY = 0x8002;
        public const int WM_CAMERA_PHOTO_READY = 0x8003;

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
    }
}
