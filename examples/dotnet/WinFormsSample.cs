// A Windows Forms host of Lumicap to copy from: the camera list, the chosen camera's formats, a
// preview panel, Start, Stop and "Take photo" (saved as a JPEG in the Pictures folder) and a status
// line that says in words what went wrong.
//
//   mcs -target:library -out:Lumicap.Interop.dll Lumicap.cs
//   mcs -target:winexe -r:Lumicap.Interop.dll -r:System.Windows.Forms.dll -r:System.Drawing.dll
//       -out:LumicapWinForms.exe WinFormsSample.cs
//
// Run it with lumicap.dll of the process's architecture beside it (x64 or x86; the camera-less
// lumicap.dll shows two virtual cameras on a machine without one). The form is the library's event
// window: its WndProc passes every WM_CAMERA_EVENT to Lumicap.OnCaptureEvent, and every call is
// made on the [STAThread] UI thread.
using System;
using System.Drawing;
using System.IO;
using System.Runtime.InteropServices;
using System.Windows.Forms;
using LumicapInterop;

sealed class CameraForm : Form
{
    readonly ComboBox cameras = new ComboBox { DropDownStyle = ComboBoxStyle.DropDownList, Bounds = new Rectangle(10, 30, 260, 24) };
    readonly ListBox formats = new ListBox { Bounds = new Rectangle(10, 86, 260, 284), IntegralHeight = false };
    readonly Panel preview = new Panel { Bounds = new Rectangle(280, 10, 640, 360), BackColor = Color.Black };
    readonly Button start = new Button { Text = "Start", Bounds = new Rectangle(280, 380, 100, 28) };
    readonly Button stop = new Button { Text = "Stop", Bounds = new Rectangle(390, 380, 100, 28) };
    readonly Button photo = new Button { Text = "Take photo", Bounds = new Rectangle(500, 380, 100, 28) };
    readonly Label status = new Label { Bounds = new Rectangle(10, 418, 910, 20), AutoEllipsis = true };
    readonly Label logLine = new Label { Bounds = new Rectangle(10, 440, 910, 20), AutoEllipsis = true, ForeColor = Color.DimGray };

    // The library may log from any thread: the delegate hands each line to the UI thread.
    readonly Lumicap.LogCallback log;
    bool cameraReady;
    bool configured;    // the first start after opening the camera fixed the format and the window
    bool previewing;
    bool photoPending;  // from the request until the photo's WM_CAMERA_EVENT was passed on
    bool photoNoticed;  // WM_CAMERA_PHOTO_READY (or a photo error) came; that event is the next one
    bool refilling;     // the camera list is being filled again after a device change: open nothing

    public CameraForm()
    {
        Text = "Lumicap";
        ClientSize = new Size(930, 466);
        FormBorderStyle = FormBorderStyle.FixedSingle;
        MaximizeBox = false;
        Controls.AddRange(new Control[] {
            new Label { Text = "Camera", Bounds = new Rectangle(10, 10, 260, 18) }, cameras,
            new Label { Text = "Formats", Bounds = new Rectangle(10, 66, 260, 18) }, formats,
            preview, start, stop, photo, status, logLine });
        cameras.SelectedIndexChanged += (sender, e) => { if (!refilling && cameras.SelectedIndex >= 0) OpenCamera((string)cameras.SelectedItem); };
        start.Click += (sender, e) => StartPreview();
        stop.Click += (sender, e) => StopPreview();
        photo.Click += (sender, e) => TakePhoto();
        log = line => { if (IsHandleCreated) BeginInvoke((Action)(() => logLine.Text = "Log: " + line)); };
        UpdateButtons();
    }

    protected override void OnHandleCreated(EventArgs e)
    {
        base.OnHandleCreated(e);
        Lumicap.SetLogCallback(log);
        Lumicap.CreateInstance(Handle);
        string[] names;
        Lumicap.GetCameraList(out names);
        if (names == null || names.Length == 0)
        {
            ShowStatus("No camera is attached.");
            return;
        }
        cameras.Items.AddRange(names);
        cameras.SelectedIndex = 0; // opens it
    }

    protected override void OnFormClosing(FormClosingEventArgs e)
    {
        if (previewing) Lumicap.StopPreview();
        Lumicap.SetLogCallback(null);
        base.OnFormClosing(e);
    }

    protected override void WndProc(ref Message m)
    {
        switch (m.Msg)
        {
            case Lumicap.WM_CAMERA_EVENT:
                Lumicap.OnCaptureEvent((uint)m.Msg, m.WParam);
                AfterEngineEvent();
                return;
            case Lumicap.WM_CAMERA_READY:
                // A failed initialisation is followed by WM_CAMERA_ERROR, which says why.
                if (Result(m.LParam) >= 0) CameraReady();
                return;
            case Lumicap.WM_CAMERA_PHOTO_READY:
                photoNoticed = true;
                if (Result(m.LParam) >= 0) SavePhoto();
                return;
            case Lumicap.WM_CAMERA_ERROR:
                CameraError((int)m.WParam.ToInt64(), Result(m.LParam));
                return;
            case Lumicap.WM_CAMERA_BLOCKED:
                ShowStatus(m.WParam != IntPtr.Zero
                    ? "The camera is blocked (privacy shutter, or camera access switched off): the picture stays black until it is unblocked"
                    : "The camera is unblocked");
                return;
            case Lumicap.WM_CAMERA_DEVICES_CHANGED:
                CamerasChanged(m.WParam.ToInt64() == Lumicap.DBT_DEVICEARRIVAL);
                return;
        }
        base.WndProc(ref m);
    }

    // A camera came or went: the list is read again (names and links from one enumeration). An open
    // camera that left has ended its set-up through WM_CAMERA_ERROR already.
    void CamerasChanged(bool arrived)
    {
        string[] names, links;
        if (Lumicap.LumicapGetCameras(out names, out links) < 0 || names == null) return;
        string open = cameras.SelectedIndex >= 0 ? (string)cameras.SelectedItem : null;
        refilling = true;
        cameras.Items.Clear();
        cameras.Items.AddRange(names);
        if (open != null) cameras.SelectedIndex = Array.IndexOf(names, open);
        refilling = false;
        ShowStatus((arrived ? "A camera was plugged in: " : "A camera was unplugged: ") + names.Length + " attached.");
    }

    // An HRESULT travels in lParam as a 32-bit value, widened on x64.
    static int Result(IntPtr lParam)
    {
        return unchecked((int)lParam.ToInt64());
    }

    void OpenCamera(string name)
    {
        formats.Items.Clear();
        cameraReady = configured = previewing = photoPending = photoNoticed = false;
        // InitializeCamera tears an earlier set-up down, its preview included.
        int result = Lumicap.InitializeCamera(name);
        ShowStatus(result >= 0 ? "Opening " + name + "..." : Lumicap.Describe(Lumicap.LUMICAP_ERROR_INITIALIZE, result));
        UpdateButtons();
    }

    void CameraReady()
    {
        string[] lines;
        Lumicap.GetMediaTypeList(out lines);
        formats.Items.AddRange(lines ?? new string[0]);
        if (formats.Items.Count > 0) formats.SelectedIndex = 0;
        cameraReady = formats.Items.Count > 0;
        ShowStatus(cameras.SelectedItem + " ready: " + formats.Items.Count + " formats");
        UpdateButtons();
    }

    void StartPreview()
    {
        // The library applies the format and the window on the first start after InitializeCamera;
        // later starts restart the preview as it was.
        int index = Math.Max(formats.SelectedIndex, 0);
        int result = Lumicap.StartPreview(index, preview.Handle);
        if (result < 0)
        {
            ShowStatus(Lumicap.Describe(Lumicap.LUMICAP_ERROR_PREVIEW, result));
            return;
        }
        configured = previewing = true;
        ShowStatus("Preview: " + formats.Items[index]);
        UpdateButtons();
    }

    void StopPreview()
    {
        Lumicap.StopPreview();
        previewing = photoPending = false;
        ShowStatus("Preview stopped");
        UpdateButtons();
    }

    void TakePhoto()
    {
        photoPending = true;
        photoNoticed = false;
        Lumicap.TakePhotoAsync();
        ShowStatus("Taking a photo...");
        UpdateButtons();
    }

    void SavePhoto()
    {
        byte[] jpeg = Lumicap.TakeLastPhoto();
        if (jpeg.Length == 0)
        {
            ShowStatus("The photo came back empty.");
            return;
        }
        string folder = Environment.GetFolderPath(Environment.SpecialFolder.MyPictures);
        string path = Path.Combine(folder, "lumicap-" + DateTime.Now.ToString("yyyyMMdd-HHmmss-fff") + ".jpg");
        try
        {
            File.WriteAllBytes(path, jpeg);
            ShowStatus("Photo saved to " + path);
        }
        catch (Exception e)
        {
            ShowStatus("The photo could not be saved to " + path + ": " + e.Message);
        }
    }

    void AfterEngineEvent()
    {
        // A photo request is accepted again once the photo's own event was passed on.
        if (!photoNoticed) return;
        photoNoticed = photoPending = false;
        UpdateButtons();
    }

    void CameraError(int what, int result)
    {
        switch (what)
        {
            case Lumicap.LUMICAP_ERROR_INITIALIZE:
                cameraReady = false;
                ShowStatus(Lumicap.Describe(what, result));
                break;
            case Lumicap.LUMICAP_ERROR_PREVIEW:
                previewing = false;
                ShowStatus(Lumicap.Describe(what, result));
                break;
            case Lumicap.LUMICAP_ERROR_PHOTO:
                // A request refused at once has no WM_CAMERA_PHOTO_READY and no engine event to wait for.
                if (!photoNoticed) photoPending = false;
                ShowStatus(Lumicap.Describe(what, result));
                break;
            case Lumicap.LUMICAP_ERROR_CAMERA:
                cameraReady = previewing = false;
                // No camera is selected, so choosing any one, the same included, opens it again.
                cameras.SelectedIndex = -1;
                ShowStatus(Lumicap.Describe(what, result) + " Choose a camera to open it again.");
                break;
            default:
                ShowStatus(Lumicap.Describe(what, result));
                break;
        }
        UpdateButtons();
    }

    void ShowStatus(string text)
    {
        status.Text = text;
    }

    void UpdateButtons()
    {
        formats.Enabled = cameraReady && !configured;
        start.Enabled = cameraReady && !previewing;
        stop.Enabled = previewing;
        photo.Enabled = previewing && !photoPending;
    }
}

static class WinFormsSample
{
    [STAThread]
    static void Main()
    {
        // Without Media Foundation the form still opens and says what is missing.
        MediaFoundation.Start();
        try
        {
            Application.EnableVisualStyles();
            Application.Run(new CameraForm());
        }
        finally
        {
            MediaFoundation.Stop();
        }
    }
}
