// Checks the C# wrapper (examples/dotnet/Lumicap.cs) against the native library it declares.
//
//   mono WrapperCheck.exe LUMICAP_DEF LUMICAP_H [run]
//
// Always: the DllImports name exactly the exports of the .def file, each once, all from "lumicap"
// with stdcall and the parameter types and marshalling of lumicap.h; the log delegate is stdcall and
// Unicode; the message constants have the header's values. With "run" (liblumicap.so on the loader's
// path) it also drives the library on the virtual camera through the wrapper: a UTF-16 name with a
// surrogate pair through InitializeCamera and back through the log callback, TakeLastPhoto with no
// photo, then a real photo: preview, TakePhotoAsync, TakeLastPhoto's JPEG bytes, FreePhotoMemory.
// The SAFEARRAY lists are not run: Mono marshals SAFEARRAYs only on Windows.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using LumicapInterop;

static class WrapperCheck
{
    static int passed;
    static int failed;

    static void Check(bool ok, string what)
    {
        Console.WriteLine("{0}: {1}", ok ? "PASS" : "FAIL", what);
        if (ok) passed++; else failed++;
    }

    // What lumicap.h declares, in the wrapper's C# types ("&" marks an out parameter).
    static readonly Dictionary<string, string> Signatures = new Dictionary<string, string>
    {
        { "CreateInstance", "Void(IntPtr)" },
        { "SetLogCallback", "Void(LogCallback)" },
        { "GetCameraList", "Void(String[]&:SafeArray)" },
        { "InitializeCamera", "Int32(String:LPWStr)" },
        { "GetMediaTypeList", "Void(String[]&:SafeArray)" },
        { "StartPreview", "Int32(Int32,IntPtr)" },
        { "StopPreview", "Void()" },
        { "TakePhotoAsync", "Void()" },
        { "GetLastPhoto", "Void(IntPtr&,Int32&)" },
        { "FreePhotoMemory", "Void()" },
        { "OnCaptureEvent", "Void(UInt32,IntPtr)" },
        { "LumicapGetCameras", "Int32(String[]&:SafeArray,String[]&:SafeArray)" },
        { "LumicapInitializeCameraByLink", "Int32(String:LPWStr)" },
        { "LumicapGetCurrentCamera", "Int32(String&:BStr,String&:BStr)" },
        { "LumicapGetControlRange", "Int32(Int32,Int32&,Int32&,Int32&,Int32&,Int32&)" },
        { "LumicapGetControl", "Int32(Int32,Int32&,Int32&)" },
        { "LumicapSetControl", "Int32(Int32,Int32,Int32)" },
        { "LumicapSetPreviewMirror", "Int32(Boolean:Bool)" },
        { "LumicapSetPreviewFrames", "Int32(Boolean:Bool)" },
        { "LumicapGetPreviewFrame", "Int32(UInt32&,UInt32&,Byte[],UInt64,UInt64&)" },
    };

    static string Describe(MethodInfo method)
    {
        var parameters = method.GetParameters().Select(p =>
        {
            var marshal = (MarshalAsAttribute)Attribute.GetCustomAttribute(p, typeof(MarshalAsAttribute));
            string type = p.ParameterType.Name;
            if (p.ParameterType.IsByRef && !p.IsOut) type += "(ref)";
            return marshal == null ? type : type + ":" + marshal.Value;
        });
        return method.ReturnType.Name + "(" + string.Join(",", parameters) + ")";
    }

    static void CheckBindings(string defPath, string headerPath)
    {
        string def = File.ReadAllText(defPath);
        var exports = def.Substring(def.IndexOf("EXPORTS", StringComparison.Ordinal) + 7)
            .Split(new[] { '\n', '\r', ' ', '\t' }, StringSplitOptions.RemoveEmptyEntries)
            .Where(word => !word.StartsWith(";")).OrderBy(name => name).ToList();
        var eleven = exports.Where(name => !name.StartsWith("Lumicap", StringComparison.Ordinal)).ToList();
        Check(eleven.Count == 11, "the .def file lists the eleven exports, and beyond them only Lumicap* (" + eleven.Count + ")");

        var imports = typeof(Lumicap).GetMethods(BindingFlags.Public | BindingFlags.NonPublic | BindingFlags.Static)
            .Select(m => new { Method = m, Import = (DllImportAttribute)Attribute.GetCustomAttribute(m, typeof(DllImportAttribute)) })
            .Where(x => x.Import != null).ToList();
        var entryPoints = imports.Select(x => x.Import.EntryPoint ?? x.Method.Name).OrderBy(name => name).ToList();
        Check(entryPoints.SequenceEqual(exports),
            "the DllImports are exactly the .def exports: " + string.Join(" ", entryPoints));

        foreach (var x in imports)
        {
            string name = x.Import.EntryPoint ?? x.Method.Name;
            Check(x.Import.Value == "lumicap" && x.Import.CallingConvention == CallingConvention.StdCall,
                name + " is imported from \"lumicap\" with stdcall (" + x.Import.Value + ", " + x.Import.CallingConvention + ")");
            string expected;
            if (!Signatures.TryGetValue(name, out expected)) continue;
            string actual = Describe(x.Method);
            Check(actual == expected, name + " is declared as " + expected + " (" + actual + ")");
        }

        Type callback = typeof(Lumicap.LogCallback);
        var pointer = (UnmanagedFunctionPointerAttribute)Attribute.GetCustomAttribute(callback, typeof(UnmanagedFunctionPointerAttribute));
        Check(pointer != null && pointer.CallingConvention == CallingConvention.StdCall && pointer.CharSet == CharSet.Unicode,
            "LogCallback is an stdcall, Unicode function pointer");
        Check(Describe(callback.GetMethod("Invoke")) == "Void(String:LPWStr)", "LogCallback takes one LPWStr line");

        string header = File.ReadAllText(headerPath);
        var defines = Regex.Matches(header, @"#define\s+(WM_CAMERA_\w+)\s+0x([0-9A-Fa-f]+)");
        Check(defines.Count >= 5, "lumicap.h defines its messages (" + defines.Count + ")");
        CheckConstants(defines, 16);
        var kinds = Regex.Matches(header, @"#define\s+(LUMICAP_ERROR_\w+)\s+([0-9]+)");
        Check(kinds.Count == 5, "lumicap.h defines five error kinds (" + kinds.Count + ")");
        CheckConstants(kinds, 10);
        var controls = Regex.Matches(header, @"#define\s+(LUMICAP_CONTROL_\w+)\s+([0-9]+)");
        Check(controls.Count == 19, "lumicap.h defines seventeen controls and two flags (" + controls.Count + ")");
        CheckConstants(controls, 10);
    }

    // Each #define NAME VALUE has a constant of that name and value in the wrapper.
    static void CheckConstants(MatchCollection defines, int radix)
    {
        foreach (Match define in defines)
        {
            FieldInfo field = typeof(Lumicap).GetField(define.Groups[1].Value);
            int value = Convert.ToInt32(define.Groups[2].Value, radix);
            Check(field != null && field.IsLiteral && (int)field.GetValue(null) == value,
                define.Groups[1].Value + " is 0x" + value.ToString("X4"));
        }
    }

    // Test-only access to the virtual platform's message windows (the Win32 subset in liblumicap.so).
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

    [DllImport("lumicap")]
    static extern IntPtr LumicapCreateMessageWindow();

    [DllImport("lumicap")]
    static extern int PeekMessageW(out Msg message, IntPtr window, uint first, uint last, uint remove);

    [DllImport("lumicap")]
    static extern uint MsgWaitForMultipleObjects(uint count, IntPtr handles, int waitAll, uint milliseconds, uint wakeMask);

    static readonly List<string> logLines = new List<string>();
    static readonly List<uint> received = new List<uint>();

    // Pumps the thread's queue, passing every WM_CAMERA_EVENT on, until done() or 60 s have passed.
    static bool PumpUntil(Func<bool> done)
    {
        DateTime deadline = DateTime.UtcNow.AddSeconds(60);
        while (!done())
        {
            if (DateTime.UtcNow > deadline) return false;
            MsgWaitForMultipleObjects(0, IntPtr.Zero, 0, 50, 0x04FF);
            Msg message;
            while (PeekMessageW(out message, IntPtr.Zero, 0, 0, 1) != 0)
            {
                received.Add(message.message);
                if (message.message == Lumicap.WM_CAMERA_EVENT) Lumicap.OnCaptureEvent(message.message, message.wParam);
            }
        }
        return true;
    }

    static int Count(int message)
    {
        return received.Count(m => m == (uint)message);
    }

    static void CheckRun()
    {
        Lumicap.SetLogCallback(line => logLines.Add(line));
        // Forces a collection: a delegate the wrapper failed to keep alive would be gone now.
        GC.Collect();
        GC.WaitForPendingFinalizers();

        const string name = "Kamera \u00fc \U0001F4F7";
        int result = Lumicap.InitializeCamera(name);
        Check(result == Lumicap.MF_E_NOT_INITIALIZED, "InitializeCamera before CreateInstance is MF_E_NOT_INITIALIZED (0x" + result.ToString("X8") + ")");
        Check(logLines.Contains("InitializeCamera: " + name), "a UTF-16 name with a surrogate pair goes out and comes back through the log intact");
        Check(Lumicap.TakeLastPhoto().Length == 0, "TakeLastPhoto with no photo is empty");
        result = Lumicap.SetPreviewMirror(true);
        Check(result == Lumicap.MF_E_NOT_INITIALIZED && logLines.Contains("LumicapSetPreviewMirror: 1"),
            "SetPreviewMirror before a camera is MF_E_NOT_INITIALIZED and logs (0x" + result.ToString("X8") + ")");

        IntPtr window = LumicapCreateMessageWindow();
        Lumicap.CreateInstance(window);
        result = Lumicap.InitializeCamera("Lumicap Virtual Camera");
        Check(result == 0 && PumpUntil(() => Count(Lumicap.WM_CAMERA_READY) > 0), "the virtual camera initialises (0x" + result.ToString("X8") + ")");
        Check(Lumicap.SetPreviewFrames(true) == 0, "SetPreviewFrames(true) before the preview");
        result = Lumicap.StartPreview(0, window);
        Check(result == 0, "StartPreview of format 0 (0x" + result.ToString("X8") + ")");
        int width = 0, height = 0;
        ulong number = 0;
        byte[] frame = null;
        PumpUntil(() => (frame = Lumicap.GetPreviewFrame(out width, out height, out number)) != null);
        // The first bar is white: blue, green and red all full.
        bool white = frame != null && frame.Length == 640 * 480 * 4 && frame[(200 * 640 + 40) * 4] == 0xFF &&
            frame[(200 * 640 + 40) * 4 + 1] == 0xFF && frame[(200 * 640 + 40) * 4 + 2] == 0xFF;
        Check(white && width == 640 && height == 480 && number > 0,
            "GetPreviewFrame gives the 640x480 frame with its white first bar (" + width + "x" + height + ", number " + number + ")");

        // One request only: asking again once the photo's event is passed on would start a new photo,
        // and TakeLastPhoto would then read that one's stream, still empty.
        Lumicap.TakePhotoAsync();
        Check(logLines.Contains("TakePhoto"), "the photo request is accepted while the preview runs");
        bool ready = PumpUntil(() => Count(Lumicap.WM_CAMERA_PHOTO_READY) > 0);
        Check(ready, "WM_CAMERA_PHOTO_READY arrives");
        byte[] jpeg = Lumicap.TakeLastPhoto();
        bool isJpeg = jpeg.Length > 4 && jpeg[0] == 0xFF && jpeg[1] == 0xD8 && jpeg[jpeg.Length - 2] == 0xFF && jpeg[jpeg.Length - 1] == 0xD9;
        Check(isJpeg, "TakeLastPhoto copies a whole JPEG (" + jpeg.Length + " bytes)");

        result = Lumicap.SetControl(CameraControl.Exposure, -7, false);
        int exposure;
        bool automatic;
        int read = Lumicap.GetControl(CameraControl.Exposure, out exposure, out automatic);
        Check(result == 0 && read == 0 && exposure == -7 && !automatic, "a manual exposure goes to the camera and reads back");
        Check(Lumicap.SetControl(CameraControl.Exposure, 0, true) == 0 && Lumicap.GetControl(CameraControl.Exposure, out exposure, out automatic) == 0 && automatic,
            "the camera chooses the exposure again");
        int minimum, maximum, step, defaultValue, caps;
        result = Lumicap.GetControlRange(CameraControl.Pan, out minimum, out maximum, out step, out defaultValue, out caps);
        Check(result == Lumicap.ERROR_NOT_FOUND_HRESULT, "the virtual camera has no pan (0x" + result.ToString("X8") + ")");

        Lumicap.StopPreview();
        Lumicap.SetLogCallback(null);
        int lines = logLines.Count;
        Lumicap.InitializeCamera("Lumicap Virtual Camera");
        Check(logLines.Count == lines, "SetLogCallback(null) switches logging off");
    }

    static int Main(string[] args)
    {
        if (args.Length < 2)
        {
            Console.Error.WriteLine("usage: WrapperCheck.exe LUMICAP_DEF LUMICAP_H [run]");
            return 2;
        }
        CheckBindings(args[0], args[1]);
        if (args.Length > 2 && args[2] == "run") CheckRun();
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 && passed > 0 ? 0 : 1;
    }
}
