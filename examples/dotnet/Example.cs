// A console sketch of a C# host: lists the cameras, opens the first, previews its first format in a
// plain window (in frames mode, with a timer reading the newest frame on a pool thread, as a barcode
// scanner would), takes one photo, writes it to lumicap-photo.jpg and quits. No WinForms: a
// message-only window receives the camera messages and a GetMessage loop runs on the [STAThread]
// main thread, the thread every Lumicap call is made on.
//
//   mcs -target:library -out:Lumicap.Interop.dll Lumicap.cs
//   mcs -target:exe -r:Lumicap.Interop.dll -out:LumicapExample.exe Example.cs
//
// Run it with lumicap.dll of the process's architecture beside it.
using System;
using System.IO;
using System.Runtime.InteropServices;
using System.Threading;
using LumicapInterop;

static class Example
{
    delegate IntPtr WindowProcedure(IntPtr window, uint message, IntPtr wParam, IntPtr lParam);

    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)]
    struct WindowClass
    {
        public uint cbSize;
        public uint style;
        public IntPtr lpfnWndProc;
        public int cbClsExtra;
        public int cbWndExtra;
        public IntPtr hInstance;
        public IntPtr hIcon;
        public IntPtr hCursor;
        public IntPtr hbrBackground;
        public string lpszMenuName;
        public string lpszClassName;
        public IntPtr hIconSm;
    }

    [StructLayout(LayoutKind.Sequential)]
    struct Msg
    {
        public IntPtr hwnd;
        public uint message;
        public IntPtr wParam;
        public IntPtr lParam;
        public uint time;
        public int x;
        public int y;
    }

    [DllImport("user32.dll", CharSet = CharSet.Unicode, SetLastError = true)]
    static extern ushort RegisterClassExW(ref WindowClass windowClass);

    [DllImport("user32.dll", CharSet = CharSet.Unicode, SetLastError = true)]
    static extern IntPtr CreateWindowExW(uint exStyle, string className, string title, uint style, int x, int y,
        int width, int height, IntPtr parent, IntPtr menu, IntPtr instance, IntPtr param);

    [DllImport("user32.dll")]
    static extern IntPtr DefWindowProcW(IntPtr window, uint message, IntPtr wParam, IntPtr lParam);

    [DllImport("user32.dll")]
    static extern bool DestroyWindow(IntPtr window);

    [DllImport("user32.dll")]
    static extern int GetMessageW(out Msg message, IntPtr window, uint first, uint last);

    [DllImport("user32.dll")]
    static extern bool TranslateMessage(ref Msg message);

    [DllImport("user32.dll")]
    static extern IntPtr DispatchMessageW(ref Msg message);

    [DllImport("user32.dll")]
    static extern void PostQuitMessage(int exitCode);

    [DllImport("kernel32.dll", CharSet = CharSet.Unicode)]
    static extern IntPtr GetModuleHandleW(string moduleName);

    const uint WS_OVERLAPPEDWINDOW = 0x00CF0000;
    const uint WS_VISIBLE = 0x10000000;
    const uint WM_DESTROY = 0x0002;
    static readonly IntPtr HWND_MESSAGE = new IntPtr(-3);

    // Kept in a field: the window class holds only a pointer to its thunk.
    static readonly WindowProcedure procedure = HandleMessage;
    static IntPtr previewWindow;
    static bool photoDone;
    static Timer frameTimer;
    static readonly object frameLock = new object();
    static ulong lastFrame;
    static ulong framesRead;
    static ulong framesMissed;
    static int exitCode = 1;

    [STAThread]
    static int Main()
    {
        // Without Media Foundation the example still runs and says what is missing.
        MediaFoundation.Start();
        try
        {
            return Run();
        }
        finally
        {
            Lumicap.SetLogCallback(null);
            MediaFoundation.Stop();
        }
    }

    static int Run()
    {
        IntPtr instance = GetModuleHandleW(null);
        WindowClass windowClass = new WindowClass
        {
            cbSize = (uint)Marshal.SizeOf(typeof(WindowClass)),
            lpfnWndProc = Marshal.GetFunctionPointerForDelegate(procedure),
            hInstance = instance,
            lpszClassName = "LumicapExampleEvents",
        };
        if (RegisterClassExW(ref windowClass) == 0) return Fail("could not register the window class");
        IntPtr eventWindow = CreateWindowExW(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
            IntPtr.Zero, instance, IntPtr.Zero);
        previewWindow = CreateWindowExW(0, "STATIC", "Lumicap preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
            640, 400, IntPtr.Zero, IntPtr.Zero, instance, IntPtr.Zero);
        if (eventWindow == IntPtr.Zero || previewWindow == IntPtr.Zero) return Fail("could not create the windows");

        Lumicap.SetLogCallback(line => Console.WriteLine("  [log] " + line));
        Lumicap.CreateInstance(eventWindow);

        string[] cameras;
        Lumicap.GetCameraList(out cameras);
        if (cameras == null || cameras.Length == 0) return Fail("no camera found");
        for (int i = 0; i < cameras.Length; i++) Console.WriteLine("Camera {0}: {1}", i, cameras[i]);

        int result = Lumicap.InitializeCamera(cameras[0]);
        if (result < 0) return Fail(string.Format("InitializeCamera failed with 0x{0:X8}", result));

        Msg message;
        while (GetMessageW(out message, IntPtr.Zero, 0, 0) > 0)
        {
            TranslateMessage(ref message);
            DispatchMessageW(ref message);
        }
        DestroyWindow(previewWindow);
        return exitCode;
    }

    static IntPtr HandleMessage(IntPtr window, uint message, IntPtr wParam, IntPtr lParam)
    {
        switch (message)
        {
            case Lumicap.WM_CAMERA_EVENT:
                Lumicap.OnCaptureEvent(message, wParam);
                AfterEngineEvent(window);
                return IntPtr.Zero;
            case Lumicap.WM_CAMERA_READY:
                StartFirstFormat(window);
                return IntPtr.Zero;
            case Lumicap.WM_CAMERA_PHOTO_READY:
                SavePhoto();
                return IntPtr.Zero;
            case WM_DESTROY:
                PostQuitMessage(0);
                return IntPtr.Zero;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static void StartFirstFormat(IntPtr window)
    {
        string[] formats;
        Lumicap.GetMediaTypeList(out formats);
        if (formats == null || formats.Length == 0)
        {
            Fail("the camera did not initialise");
            DestroyWindow(window);
            return;
        }
        for (int i = 0; i < formats.Length; i++) Console.WriteLine("Format {0}: {1}", i, formats[i]);
        // Frames mode: the library draws the preview itself and keeps the newest frame for the timer.
        Lumicap.SetPreviewFrames(true);
        int result = Lumicap.StartPreview(0, previewWindow);
        if (result >= 0) frameTimer = new Timer(ReadFrame, null, 0, 100);
        if (result < 0)
        {
            Fail(string.Format("StartPreview failed with 0x{0:X8}", result));
            DestroyWindow(window);
        }
    }

    // The library applies each engine event in OnCaptureEvent, so the preview counts as running only
    // after its start event was passed on: until then (and while a photo is pending) the library
    // ignores the request, and the next event asks again.
    static void AfterEngineEvent(IntPtr window)
    {
        if (photoDone)
        {
            if (frameTimer != null) frameTimer.Dispose();
            lock (frameLock) Console.WriteLine("Frames read: {0} (the newest, number {1}); {2} went by unread", framesRead, lastFrame, framesMissed);
            Lumicap.StopPreview();
            DestroyWindow(window);
        }
        else
        {
            Lumicap.TakePhotoAsync();
        }
    }

    // On a pool thread: any thread may ask, and the call never waits for the camera.
    static void ReadFrame(object state)
    {
        int width, height;
        ulong number;
        byte[] frame = Lumicap.GetPreviewFrame(out width, out height, out number);
        lock (frameLock)
        {
            if (frame == null || number == lastFrame) return;
            if (lastFrame != 0) framesMissed += number - lastFrame - 1;
            lastFrame = number;
            framesRead++;
        }
        // frame: width * height * 4 bytes, blue, green, red, unused, top row first; scan it here.
    }

    static void SavePhoto()
    {
        photoDone = true;
        byte[] jpeg = Lumicap.TakeLastPhoto();
        if (jpeg.Length == 0)
        {
            Fail("the photo came back empty");
            return;
        }
        File.WriteAllBytes("lumicap-photo.jpg", jpeg);
        Console.WriteLine("Photo: {0} bytes written to lumicap-photo.jpg", jpeg.Length);
        exitCode = 0;
    }

    static int Fail(string what)
    {
        Console.Error.WriteLine("error: " + what);
        return 1;
    }
}
