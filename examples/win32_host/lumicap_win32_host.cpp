// lumicap-win32-host: a plain Win32 window host for Lumicap (Windows only).
//
// One window (class "LumicapWin32Host", title "Lumicap") whose controls an automated test can reach
// with GetDlgItem(FindWindowW(L"LumicapWin32Host", nullptr), id):
//
//   id   control                        what it does
//   100  IDC_CAMERAS combo box          the names from LumicapGetCameras (CBS_DROPDOWNLIST); selecting
//                                       one (CBN_SELCHANGE) calls LumicapInitializeCameraByLink with
//                                       its symbolic link, so two cameras of one model are told
//                                       apart. The first camera is selected and opened at start. The
//                                       list follows plugging: on WM_CAMERA_DEVICES_CHANGED it is
//                                       filled again, the open camera kept selected, and a camera
//                                       plugged in while none is open is opened.
//   101  IDC_FORMATS list box           the lines of GetMediaTypeList, filled on WM_CAMERA_READY; the
//                                       selected index is handed to StartPreview. The library applies
//                                       it on the first start after opening a camera only, so the
//                                       list is disabled from then until a camera is opened again.
//   102  IDC_PREVIEW child window       class "LumicapPreview", 640x360 client area at first, given to
//                                       StartPreview as the preview window; it grows and shrinks with
//                                       the main window, and the library keeps the picture filling it.
//   103  IDC_START button "Start"       StartPreview; enabled while a camera is open and not previewing
//   104  IDC_STOP button "Stop"         StopPreview; enabled while previewing
//   105  IDC_PHOTO button "Take photo"  TakePhotoAsync; enabled while previewing and no photo pending
//   106  IDC_STATUS static              two lines: what happened last ("Photo saved to
//                                       lumicap-20261208-174501-123.jpg", or what failed in words:
//                                       "The camera stopped working: the camera was unplugged (error
//                                       0xC00D3EA2)."), then "Log: " and the library's latest log line
//        camera settings (below)        one row per control the open camera has (LumicapGetControlRange):
//                                       its name, a slider over its steps that sets it by hand, its
//                                       value, and an "Auto" box where the camera can choose it. The
//                                       window grows to show the rows when a camera is ready. Ids:
//                                       200 + control for its slider (brightness 200, focus 306),
//                                       400 + control for its Auto box.
//   107  IDC_MIRROR check box "Mirror"  LumicapSetPreviewMirror with its state; enabled while a camera
//                                       is open (the library keeps it for that camera's previews)
//   108  IDC_FRAMES check box "Frames"  LumicapSetPreviewFrames with its state, for the next camera
//                                       opened; in frames mode the library draws the preview itself
//   109  IDC_FRAME_COUNT static         "frames: N", the number of the newest frame the host can read
//                                       with LumicapGetPreviewFrame (read on a timer, 5 a second)
//
// Photos are saved as JPEG files named lumicap-YYYYMMDD-HHMMSS-mmm.jpg (local time) in the current
// directory. The window is also the library's event window: its procedure passes every
// WM_CAMERA_EVENT to OnCaptureEvent. lumicap.dll is loaded at start through its import library.
#include "common/camera_error.h"
#include "common/media_foundation.h"
#include "settings_panel.h"

#include <lumicap/lumicap.h>

#include <objbase.h>

#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int IDC_CAMERAS = 100;
constexpr int IDC_FORMATS = 101;
constexpr int IDC_PREVIEW = 102;
constexpr int IDC_START = 103;
constexpr int IDC_STOP = 104;
constexpr int IDC_PHOTO = 105;
constexpr int IDC_STATUS = 106;
constexpr int IDC_MIRROR = 107;
constexpr int IDC_FRAMES = 108;
constexpr int IDC_FRAME_COUNT = 109;
constexpr UINT_PTR kFrameTimer = 1;

constexpr wchar_t kWindowClass[] = L"LumicapWin32Host";
constexpr wchar_t kPreviewClass[] = L"LumicapPreview";

// A log line travels to the window in a message of its own (wParam owns a std::wstring), since the
// library may log from any thread. Kept clear of the camera messages at WM_APP + 1 to + 4.
constexpr UINT WM_HOST_LOG_LINE = WM_APP + 0x100;

constexpr int kMargin = 10;
constexpr int kListWidth = 260;
constexpr int kPreviewWidth = 640;
constexpr int kPreviewHeight = 360;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 28;
constexpr int kStatusHeight = 40;

enum class Stage { NoCamera, Opening, Ready, Previewing, Stopped };

struct Host {
    HWND window = nullptr;
    HWND cameras = nullptr;
    HWND formats = nullptr;
    HWND preview = nullptr;
    HWND start = nullptr;
    HWND stop = nullptr;
    HWND photo = nullptr;
    HWND status = nullptr;
    HWND mirror = nullptr;
    HWND frames = nullptr;
    HWND frameCount = nullptr;
    Stage stage = Stage::NoCamera;
    std::wstring camera;        // the camera opened last
    std::wstring link;          // its symbolic link
    std::vector<std::wstring> cameraLinks;  // the links of the combo box's entries, by position
    bool photoPending = false;  // from the request until the photo's engine event was passed on
    bool photoNoticed = false;  // WM_CAMERA_PHOTO_READY came; the photo's own event is the next one
    std::wstring note = L"Starting";
    std::wstring logLine;
    std::unique_ptr<SettingsPanel> settings;
    int settingsHeight = 0;  // the rows below the status line, with their margin
};

Host host;

// What failed, in words a person understands (the text is ASCII).
std::wstring Words(WPARAM kind, HRESULT hr)
{
    const std::string text = lumicap_examples::DescribeCameraError(kind, hr);
    return std::wstring(text.begin(), text.end());
}

std::wstring ControlText(HWND control, UINT lengthMessage, UINT textMessage, WPARAM index)
{
    LRESULT length = SendMessageW(control, lengthMessage, index, 0);
    if (length < 0) return {};
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    SendMessageW(control, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

// ---------------------------------------------------------------------------------------------
// Status line and button states

void ShowStatus()
{
    const std::wstring text = host.note + L"\r\nLog: " + host.logLine;
    SetWindowTextW(host.status, text.c_str());
}

void Note(const std::wstring& what)
{
    host.note = what;
    ShowStatus();
}

void UpdateControls()
{
    const bool previewing = host.stage == Stage::Previewing;
    EnableWindow(host.start, host.stage == Stage::Ready || host.stage == Stage::Stopped);
    EnableWindow(host.stop, previewing);
    EnableWindow(host.photo, previewing && !host.photoPending);
    EnableWindow(host.formats, host.stage == Stage::Ready);
    EnableWindow(host.mirror, host.stage == Stage::Ready || previewing || host.stage == Stage::Stopped);
}

void WINAPI ForwardLogLine(LPCWSTR text) noexcept
{
    // Nothing may be thrown into the library: a line that cannot be copied is dropped.
    try {
        auto line = std::make_unique<std::wstring>(text ? text : L"");
        if (PostMessageW(host.window, WM_HOST_LOG_LINE, reinterpret_cast<WPARAM>(line.get()), 0)) line.release();
    } catch (const std::bad_alloc&) {
    }
}

void ShowLogLine(WPARAM wParam)
{
    std::unique_ptr<std::wstring> line(reinterpret_cast<std::wstring*>(wParam));
    host.logLine = *line;
    ShowStatus();
}

// ---------------------------------------------------------------------------------------------
// Lists from the library

std::vector<std::wstring> TakeStrings(SAFEARRAY* list)
{
    std::vector<std::wstring> strings;
    if (!list) return strings;
    LONG lower = 0;
    LONG upper = -1;
    BSTR* elements = nullptr;
    if (SUCCEEDED(SafeArrayGetLBound(list, 1, &lower)) && SUCCEEDED(SafeArrayGetUBound(list, 1, &upper)) &&
        SUCCEEDED(SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)))) {
        for (LONG i = 0; i <= upper - lower; ++i) strings.emplace_back(elements[i], SysStringLen(elements[i]));
        SafeArrayUnaccessData(list);
    }
    SafeArrayDestroy(list);
    return strings;
}

// Lists the cameras afresh, with the one opened last still selected when it is there.
void FillCameras()
{
    SendMessageW(host.cameras, CB_RESETCONTENT, 0, 0);
    host.cameraLinks.clear();
    SAFEARRAY* names = nullptr;
    SAFEARRAY* links = nullptr;
    if (FAILED(LumicapGetCameras(&names, &links))) return;
    const std::vector<std::wstring> nameList = TakeStrings(names);
    host.cameraLinks = TakeStrings(links);
    for (size_t i = 0; i < nameList.size() && i < host.cameraLinks.size(); ++i) {
        SendMessageW(host.cameras, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nameList[i].c_str()));
        if (!host.link.empty() && host.cameraLinks[i] == host.link) SendMessageW(host.cameras, CB_SETCURSEL, i, 0);
    }
}

size_t FillFormats()
{
    SendMessageW(host.formats, LB_RESETCONTENT, 0, 0);
    SAFEARRAY* list = nullptr;
    GetMediaTypeList(&list);
    const std::vector<std::wstring> formats = TakeStrings(list);
    for (const std::wstring& line : formats) {
        SendMessageW(host.formats, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    if (!formats.empty()) SendMessageW(host.formats, LB_SETCURSEL, 0, 0);
    return formats.size();
}

// ---------------------------------------------------------------------------------------------
// Actions

// The window's height follows the settings rows below the status line.
void FitSettings(int rowsHeight)
{
    host.settingsHeight = rowsHeight ? rowsHeight + kMargin : 0;
    RECT frame{0, 0, kMargin * 3 + kListWidth + kPreviewWidth,
               kMargin * 4 + kPreviewHeight + kButtonHeight + kStatusHeight + (rowsHeight ? rowsHeight + kMargin : 0)};
    AdjustWindowRect(&frame, static_cast<DWORD>(GetWindowLongPtrW(host.window, GWL_STYLE)), FALSE);
    SetWindowPos(host.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ClearSettings()
{
    host.settings->Clear();
    FitSettings(0);
}

void OpenSelectedCamera()
{
    const LRESULT index = SendMessageW(host.cameras, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    if (static_cast<size_t>(index) >= host.cameraLinks.size()) return;
    host.camera = ControlText(host.cameras, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(index));
    host.link = host.cameraLinks[static_cast<size_t>(index)];
    SendMessageW(host.formats, LB_RESETCONTENT, 0, 0);
    ClearSettings();
    host.photoPending = false;
    host.photoNoticed = false;
    // Like InitializeCamera, it tears an earlier set-up down, its preview and its mirroring included.
    SendMessageW(host.mirror, BM_SETCHECK, BST_UNCHECKED, 0);
    const HRESULT hr = LumicapInitializeCameraByLink(host.link.c_str());
    host.stage = SUCCEEDED(hr) ? Stage::Opening : Stage::NoCamera;
    Note(SUCCEEDED(hr) ? L"Opening " + host.camera + L"..." : Words(LUMICAP_ERROR_INITIALIZE, hr));
    UpdateControls();
}

// A camera came or went: the list follows. An open camera that left ends its set-up through
// WM_CAMERA_ERROR; one plugged in while none is open is opened.
void CamerasChanged(WPARAM change)
{
    FillCameras();
    const bool arrived = change == DBT_DEVICEARRIVAL;
    Note(arrived ? L"A camera was plugged in" : L"A camera was unplugged");
    if (arrived && host.stage == Stage::NoCamera && SendMessageW(host.cameras, CB_GETCOUNT, 0, 0) > 0) {
        SendMessageW(host.cameras, CB_SETCURSEL, 0, 0);
        OpenSelectedCamera();
    }
}

void CameraReady(HRESULT status)
{
    // A failed initialisation is told in words by the WM_CAMERA_ERROR that follows.
    if (FAILED(status)) {
        host.stage = Stage::NoCamera;
        UpdateControls();
        return;
    }
    const size_t count = FillFormats();
    host.stage = count ? Stage::Ready : Stage::NoCamera;
    FitSettings(host.settings->Fill());
    Note(count ? host.camera + L" ready: " + std::to_wstring(count) + L" formats"
               : host.camera + L" could not be initialised");
    UpdateControls();
}

void Start()
{
    LRESULT index = SendMessageW(host.formats, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) index = 0;
    const bool restart = host.stage == Stage::Stopped;
    const HRESULT hr = StartPreview(static_cast<INT32>(index), host.preview);
    if (FAILED(hr)) {
        Note(Words(LUMICAP_ERROR_PREVIEW, hr));
        return;
    }
    host.stage = Stage::Previewing;
    host.photoPending = false;
    const std::wstring format = ControlText(host.formats, LB_GETTEXTLEN, LB_GETTEXT, static_cast<WPARAM>(index));
    Note(restart ? L"Preview restarted" : L"Preview started: " + format);
    UpdateControls();
}

void Stop()
{
    StopPreview();
    host.stage = Stage::Stopped;
    host.photoPending = false;
    Note(L"Preview stopped");
    UpdateControls();
}

void TakePhoto()
{
    host.photoPending = true;
    host.photoNoticed = false;
    TakePhotoAsync();
    Note(L"Taking a photo...");
    UpdateControls();
}

// A name that no earlier photo took: the timestamp, with a counter should it be taken already.
HANDLE CreatePhotoFile(std::wstring& name)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"lumicap-%04u%02u%02u-%02u%02u%02u-%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        name = std::wstring(stamp) + (attempt > 1 ? L"-" + std::to_wstring(attempt) : L"") + L".jpg";
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool WritePhoto(const BYTE* bytes, INT32 size, std::wstring& name)
{
    HANDLE file = CreatePhotoFile(name);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) &&
                    written == static_cast<DWORD>(size);
    const bool closed = CloseHandle(file);
    if (ok && closed) return true;
    // A file that was not written whole is not left behind as if it were a photo.
    DeleteFileW(name.c_str());
    return false;
}

void SavePhoto(HRESULT status)
{
    host.photoNoticed = true;
    if (FAILED(status)) return;  // WM_CAMERA_ERROR follows with the words
    BYTE* bytes = nullptr;
    INT32 size = 0;
    GetLastPhoto(&bytes, &size);
    std::wstring name;
    if (size <= 0 || !bytes) {
        Note(L"The photo came back empty");
    } else if (WritePhoto(bytes, size, name)) {
        Note(L"Photo saved to " + name);
    } else {
        Note(L"Photo could not be saved to " + name);
    }
    FreePhotoMemory();
}

// Whatever failed, the status line says so; the controls follow what is still possible.
void CameraFailed(WPARAM kind, HRESULT hr)
{
    Note(Words(kind, hr));
    if (kind == LUMICAP_ERROR_INITIALIZE || kind == LUMICAP_ERROR_CAMERA) {
        // The camera set-up is over; choosing the camera again opens it afresh.
        host.stage = Stage::NoCamera;
        host.photoPending = false;
        ClearSettings();
    } else if (kind == LUMICAP_ERROR_PREVIEW && host.stage == Stage::Previewing) {
        host.stage = Stage::Stopped;
    } else if (kind == LUMICAP_ERROR_PHOTO && !host.photoNoticed) {
        // Refused at once: no event will follow.
        host.photoPending = false;
    }
    UpdateControls();
}

void PassEngineEvent(UINT message, WPARAM wParam)
{
    OnCaptureEvent(message, wParam);
    // The notice comes before the photo's own event; a new request is accepted once that is passed on.
    if (host.photoNoticed) {
        host.photoNoticed = false;
        host.photoPending = false;
        UpdateControls();
    }
}

// ---------------------------------------------------------------------------------------------
// Windows

HWND AddControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                int id)
{
    HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                   host.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
}

void CreateControls()
{
    const int left = kMargin;
    const int right = kMargin * 2 + kListWidth;
    AddControl(L"STATIC", L"Camera", SS_LEFT, left, kMargin, kListWidth, 18, -1);
    host.cameras = AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, left, kMargin + 20,
                              kListWidth, 200, IDC_CAMERAS);
    AddControl(L"STATIC", L"Formats", SS_LEFT, left, kMargin + 56, kListWidth, 18, -1);
    host.formats = AddControl(L"LISTBOX", L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                              left, kMargin + 76, kListWidth, kPreviewHeight - 76 - 40, IDC_FORMATS);
    host.preview = CreateWindowExW(0, kPreviewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, right, kMargin,
                                   kPreviewWidth, kPreviewHeight, host.window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PREVIEW)),
                                   GetModuleHandleW(nullptr), nullptr);
    const int buttonsTop = kMargin * 2 + kPreviewHeight;
    host.start = AddControl(L"BUTTON", L"Start", BS_PUSHBUTTON | WS_TABSTOP, right, buttonsTop, kButtonWidth,
                            kButtonHeight, IDC_START);
    host.stop = AddControl(L"BUTTON", L"Stop", BS_PUSHBUTTON | WS_TABSTOP, right + kButtonWidth + kMargin, buttonsTop,
                           kButtonWidth, kButtonHeight, IDC_STOP);
    host.photo = AddControl(L"BUTTON", L"Take photo", BS_PUSHBUTTON | WS_TABSTOP, right + 2 * (kButtonWidth + kMargin),
                            buttonsTop, kButtonWidth, kButtonHeight, IDC_PHOTO);
    host.status = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, left, buttonsTop + kButtonHeight + kMargin,
                             kListWidth + kMargin + kPreviewWidth, kStatusHeight, IDC_STATUS);
    host.settings = std::make_unique<SettingsPanel>(host.window, left,
                                                    buttonsTop + kButtonHeight + kStatusHeight + 2 * kMargin);
    host.mirror = AddControl(L"BUTTON", L"Mirror", BS_AUTOCHECKBOX | WS_TABSTOP, right + 3 * (kButtonWidth + kMargin),
                             buttonsTop, kButtonWidth, kButtonHeight, IDC_MIRROR);
    host.frames = AddControl(L"BUTTON", L"Frames", BS_AUTOCHECKBOX | WS_TABSTOP, left, kMargin + kPreviewHeight - 36,
                             kButtonWidth, kButtonHeight, IDC_FRAMES);
    host.frameCount = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, left + kButtonWidth + kMargin,
                                 kMargin + kPreviewHeight - 30, kListWidth - kButtonWidth - kMargin, 18, IDC_FRAME_COUNT);
}

// The number of the newest frame the host could read, as a host scanning frames on a timer sees it.
void ShowFrameCount()
{
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 number = 0;
    const HRESULT hr = LumicapGetPreviewFrame(&width, &height, nullptr, 0, &number);
    const bool frames = hr == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    SetWindowTextW(host.frameCount, frames ? (L"frames: " + std::to_wstring(number)).c_str() : L"");
}

// The preview takes whatever room the list leaves; the buttons and the status stay below it.
void LayOut(int width, int height)
{
    if (!host.preview || !host.settings) return;
    const int left = kMargin;
    const int right = kMargin * 2 + kListWidth;
    const int previewWidth = width - right - kMargin;
    // The settings rows keep their height below the status line; the preview takes the rest.
    const int previewHeight = height - kMargin * 4 - kButtonHeight - kStatusHeight - host.settingsHeight;
    if (previewWidth <= 0 || previewHeight <= 0) return;
    const int buttonsTop = kMargin * 2 + previewHeight;
    // Moved first: the rows are found below their old top, where the status line may be going.
    host.settings->MoveTo(buttonsTop + kButtonHeight + kStatusHeight + 2 * kMargin);
    MoveWindow(host.preview, right, kMargin, previewWidth, previewHeight, TRUE);
    HWND buttons[] = {host.start, host.stop, host.photo, host.mirror};
    for (int i = 0; i < 4; ++i) {
        MoveWindow(buttons[i], right + i * (kButtonWidth + kMargin), buttonsTop, kButtonWidth, kButtonHeight, TRUE);
    }
    MoveWindow(host.status, left, buttonsTop + kButtonHeight + kMargin, width - 2 * kMargin, kStatusHeight, TRUE);
}

void SetMirror()
{
    const bool mirrored = SendMessageW(host.mirror, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const HRESULT hr = LumicapSetPreviewMirror(mirrored ? TRUE : FALSE);
    if (FAILED(hr)) {
        SendMessageW(host.mirror, BM_SETCHECK, mirrored ? BST_UNCHECKED : BST_CHECKED, 0);
        Note(Words(LUMICAP_ERROR_PREVIEW, hr));
    }
}

void OnCommand(int id, int code, HWND control)
{
    if (host.settings->OnCommand(control, code)) return;
    if (id == IDC_CAMERAS && code == CBN_SELCHANGE) OpenSelectedCamera();
    if (code != BN_CLICKED) return;
    if (id == IDC_START) Start();
    if (id == IDC_STOP) Stop();
    if (id == IDC_PHOTO) TakePhoto();
    if (id == IDC_MIRROR) SetMirror();
    if (id == IDC_FRAMES) LumicapSetPreviewFrames(SendMessageW(host.frames, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CAMERA_EVENT:
        PassEngineEvent(message, wParam);
        return 0;
    case WM_CAMERA_READY:
        CameraReady(static_cast<HRESULT>(lParam));
        return 0;
    case WM_CAMERA_PHOTO_READY:
        SavePhoto(static_cast<HRESULT>(lParam));
        return 0;
    case WM_CAMERA_ERROR:
        CameraFailed(wParam, static_cast<HRESULT>(lParam));
        return 0;
    case WM_CAMERA_BLOCKED:
        Note(wParam ? L"The camera is blocked (privacy shutter, or camera access switched off): the picture stays "
                      L"black until it is unblocked"
                    : L"The camera is unblocked");
        return 0;
    case WM_CAMERA_DEVICES_CHANGED:
        CamerasChanged(wParam);
        return 0;
    case WM_HOST_LOG_LINE:
        ShowLogLine(wParam);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_HSCROLL:
        if (lParam) host.settings->OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SIZE:
        LayOut(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_TIMER:
        ShowFrameCount();
        return 0;
    case WM_DESTROY:
        if (host.stage == Stage::Previewing) StopPreview();
        SetLogCallback(nullptr);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    // Nothing may be thrown through the system's frames: a step that runs out of memory is dropped.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool RegisterClasses(HINSTANCE instance)
{
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = MainWindowProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    main.lpszClassName = kWindowClass;
    // The engine paints the preview itself; a black background fills it until the first frame.
    WNDCLASSEXW preview{};
    preview.cbSize = sizeof preview;
    preview.lpfnWndProc = DefWindowProcW;
    preview.hInstance = instance;
    preview.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    preview.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    preview.lpszClassName = kPreviewClass;
    return RegisterClassExW(&main) && RegisterClassExW(&preview);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, kMargin * 3 + kListWidth + kPreviewWidth,
               kMargin * 4 + kPreviewHeight + kButtonHeight + kStatusHeight};
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExW(0, kWindowClass, L"Lumicap", style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
}

int RunMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int Run(HINSTANCE instance, int show)
{
    if (!RegisterClasses(instance)) return 1;
    host.window = CreateMainWindow(instance);
    if (!host.window) return 1;
    CreateControls();
    ShowStatus();
    UpdateControls();

    SetLogCallback(ForwardLogLine);
    CreateInstance(host.window);
    SetTimer(host.window, kFrameTimer, 200, nullptr);
    FillCameras();
    if (SendMessageW(host.cameras, CB_GETCOUNT, 0, 0) > 0) {
        SendMessageW(host.cameras, CB_SETCURSEL, 0, 0);
        OpenSelectedCamera();
    } else {
        Note(L"No camera found");
    }
    ShowWindow(host.window, show);
    UpdateWindow(host.window);
    return RunMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        // Where Media Foundation is missing the library says so, and the window shows it.
        const lumicap_examples::MediaFoundationSession mediaFoundation;
        result = Run(instance, show);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
