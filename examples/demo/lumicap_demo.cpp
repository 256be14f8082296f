// lumicap-demo: the whole road a host takes, from the camera list to JPEG files on disk.
//
// It makes its message window, prints every log line, lists the cameras and the chosen camera's
// formats, starts the preview, takes photos back to back and writes them out. The same source
// builds for Linux (virtual cameras) and Windows (real cameras, or the camera-less DLL).
#include "control_options.h"
#include "png_writer.h"

#include "common/camera_error.h"
#include "common/media_foundation.h"

#include <lumicap/lumicap.h>
#ifdef LUMICAP_DEMO_VIRTUAL
#include <lumicap/lumicap_virtual.h>
#endif

#ifdef _WIN32
#include <objbase.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Text = std::basic_string<WCHAR>;

constexpr int kExitUsage = 1;
constexpr int kExitCamera = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitFailure = 4;

std::string Narrow(const WCHAR* text)
{
    std::string out;
    for (const WCHAR* p = text; p && *p; ++p) {
        uint32_t c = static_cast<uint16_t>(*p);
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(p[1]) - 0xDC00);
            ++p;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

Text Widen(const std::string& utf8)
{
    Text out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        uint32_t c = extra ? lead & (0x3F >> extra) : lead;
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            out.push_back(static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(c));
        }
    }
    return out;
}

void WINAPI PrintLog(LPCWSTR text) { std::printf("  [log] %s\n", Narrow(text).c_str()); }

std::vector<std::string> TakeStringList(SAFEARRAY* list)
{
    std::vector<std::string> strings;
    if (!list) return strings;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(list, 1, &lower);
    SafeArrayGetUBound(list, 1, &upper);
    BSTR* elements = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)))) {
        for (LONG i = 0; i <= upper - lower; ++i) strings.push_back(Narrow(elements[i]));
        SafeArrayUnaccessData(list);
    }
    SafeArrayDestroy(list);
    return strings;
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
    bool list = false;
    std::string camera;
    int format = -1;
    int photos = 1;
    std::string out = "lumicap-photo.jpg";
    double previewSeconds = 0;
    std::string snapshot;
    double timeoutSeconds = 10;
    std::string simulate;
    std::string link;
    bool listControls = false;
    std::vector<demo::ControlRequest> controls;
};

#ifdef LUMICAP_DEMO_VIRTUAL
bool IsSimulation(const std::string& name)
{
    return name == "busy" || name == "denied" || name == "unplugged" || name == "taken-over" || name == "device-reset";
}

// Failures a camera shows from the start.
void SimulateBeforeOpening(const std::string& simulate, const Text& camera)
{
    if (simulate == "busy") LumicapVirtualSetCameraCondition(camera.c_str(), LUMICAP_VIRTUAL_CAMERA_BUSY);
    if (simulate == "denied") LumicapVirtualSetCameraCondition(camera.c_str(), LUMICAP_VIRTUAL_CAMERA_DENIED);
}

// Failures that strike while the preview runs; true when one was made.
bool SimulateWhilePreviewing(const std::string& simulate, const Text& camera)
{
    if (simulate == "unplugged") return LumicapVirtualRemoveCamera(camera.c_str()) > 0;
    if (simulate == "taken-over") return SUCCEEDED(LumicapVirtualRaiseEngineError(static_cast<HRESULT>(0xC00D3EA3)));
    if (simulate == "device-reset") return SUCCEEDED(LumicapVirtualRaiseEngineError(static_cast<HRESULT>(0x887A0005)));
    return false;
}
#endif

void PrintUsage()
{
    std::puts(
        "usage: lumicap-demo [options]\n"
        "  --list               list the cameras and exit\n"
        "  --camera NAME        the camera to open (default: the first)\n"
        "  --link LINK          the camera to open by its symbolic link (two cameras of one model share\n"
        "                       a name, never a link; --list shows them)\n"
        "  --format INDEX       the format to preview and photograph (default: the first 1920 X 1080)\n"
        "  --photos N           photos to take back to back (default 1)\n"
        "  --out PATH           where to write them; %d in PATH is replaced by the photo's number\n"
        "                       (default lumicap-photo.jpg, numbered when N > 1)\n"
        "  --preview-seconds S  let the preview run S seconds before the photos (default 0)\n"
        "  --snapshot PATH      preview in frames mode and save the newest frame as PNG\n"
        "  --timeout S          how long to wait for each camera event (default 10)\n"
#ifdef LUMICAP_DEMO_VIRTUAL
        "  --simulate FAILURE   make the virtual camera fail as real ones do: busy, denied, unplugged,\n"
        "                       taken-over or device-reset\n"
#endif
        "  --control NAME=VALUE set a camera control once the camera is ready (NAME=auto lets the camera\n"
        "                       choose); names: brightness contrast hue saturation sharpness gamma\n"
        "                       color-enable white-balance backlight-compensation gain pan tilt roll\n"
        "                       zoom exposure iris focus; may be given more than once\n"
        "  --list-controls      list the camera's controls, their ranges and values\n"
        "  --help               this text");
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 < argc) return argv[++i];
            std::fprintf(stderr, "error: %s needs a value\n", name);
            return nullptr;
        };
        auto number = [&](const char* name, double& out) {
            const char* text = value(name);
            if (!text) return false;
            char* end = nullptr;
            out = std::strtod(text, &end);
            if (end == text || *end != '\0' || out < 0) {
                std::fprintf(stderr, "error: %s takes a number, not \"%s\"\n", name, text);
                return false;
            }
            return true;
        };
        double n = 0;
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            std::exit(0);
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--link") {
            const char* text = value("--link");
            if (!text) return false;
            options.link = text;
        } else if (arg == "--camera") {
            const char* text = value("--camera");
            if (!text) return false;
            options.camera = text;
        } else if (arg == "--format") {
            if (!number("--format", n)) return false;
            options.format = static_cast<int>(n);
        } else if (arg == "--photos") {
            if (!number("--photos", n)) return false;
            options.photos = static_cast<int>(n);
        } else if (arg == "--out") {
            const char* text = value("--out");
            if (!text) return false;
            options.out = text;
        } else if (arg == "--preview-seconds") {
            if (!number("--preview-seconds", options.previewSeconds)) return false;
        } else if (arg == "--snapshot") {
            const char* text = value("--snapshot");
            if (!text) return false;
            options.snapshot = text;
        } else if (arg == "--timeout") {
            if (!number("--timeout", options.timeoutSeconds)) return false;
#ifdef LUMICAP_DEMO_VIRTUAL
        } else if (arg == "--control") {
            const char* text = value("--control");
            demo::ControlRequest request;
            if (!text || !demo::ParseControlRequest(text, &request)) return false;
            options.controls.push_back(request);
        } else if (arg == "--list-controls") {
            options.listControls = true;
        } else if (arg == "--simulate") {
            const char* text = value("--simulate");
            if (!text) return false;
            options.simulate = text;
            if (!IsSimulation(options.simulate)) {
                std::fprintf(stderr, "error: --simulate takes busy, denied, unplugged, taken-over or device-reset\n");
                return false;
            }
#endif
        } else {
            std::fprintf(stderr, "error: unknown option %s (see --help)\n", arg.c_str());
            return false;
        }
    }
    return true;
}

std::string PhotoPath(const Options& options, int number)
{
    std::string path = options.out;
    const size_t marker = path.find("%d");
    if (marker != std::string::npos) return path.replace(marker, 2, std::to_string(number));
    if (options.photos == 1) return path;
    const size_t dot = path.rfind('.');
    const std::string suffix = "-" + std::to_string(number);
    return dot == std::string::npos ? path + suffix : path.insert(dot, suffix);
}

// The host's side of the message loop: every WM_CAMERA_EVENT goes back to the library.
class MessageLoop {
public:
    explicit MessageLoop(HWND window, double timeoutSeconds)
        : window_(window), timeout_(std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(timeoutSeconds)))
    {
    }

    // Pumps until done() holds; false when the timeout passes first.
    bool WaitFor(const std::function<bool()>& done) { return PumpUntil(done, Clock::now() + timeout_); }

    // Pumps for a while, whatever arrives.
    void RunFor(double seconds)
    {
        PumpUntil([] { return false; },
                  Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    }

    unsigned Count(UINT message) const
    {
        unsigned n = 0;
        for (const MSG& m : received_) n += m.message == message;
        return n;
    }

    // The status the latest notice of this number carried (S_OK when none came).
    HRESULT LastStatus(UINT message) const
    {
        for (auto m = received_.rbegin(); m != received_.rend(); ++m) {
            if (m->message == message) return static_cast<HRESULT>(m->lParam);
        }
        return S_OK;
    }

    // The first WM_CAMERA_ERROR that stops the road, in words, or empty while none came. A failed
    // event the set-up survives (LUMICAP_ERROR_EVENT) does not.
    std::string FirstError() const
    {
        for (const MSG& m : received_) {
            if (m.message == WM_CAMERA_ERROR && m.wParam != LUMICAP_ERROR_EVENT) {
                return lumicap_examples::DescribeCameraError(m.wParam, static_cast<HRESULT>(m.lParam));
            }
        }
        return {};
    }

private:
    bool PumpUntil(const std::function<bool()>& done, Clock::time_point deadline)
    {
        while (!done()) {
            const auto now = Clock::now();
            if (now >= deadline) return false;
            // Short slices: some conditions (frames shown) arrive without a message.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left, 5)),
                                      QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == window_) received_.push_back(msg);
                if (msg.hwnd == window_ && msg.message == WM_CAMERA_DEVICES_CHANGED) {
                    std::printf("A camera was %s; the list may have changed\n",
                                msg.wParam == DBT_DEVICEARRIVAL ? "plugged in" : "unplugged");
                }
                if (msg.message == WM_CAMERA_EVENT) OnCaptureEvent(msg.message, msg.wParam);
#ifdef _WIN32
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
#endif
                if (done()) return true;
            }
        }
        return true;
    }

    HWND window_;
    Clock::duration timeout_;
    std::vector<MSG> received_;
};

HWND MakeWindow()
{
#ifdef _WIN32
    // A visible window, so the preview has somewhere to be drawn.
    return CreateWindowExW(0, L"STATIC", L"Lumicap demo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                           CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
#else
    return LumicapCreateMessageWindow();
#endif
}

uint64_t FramesShown(HWND window)
{
#ifdef _WIN32
    (void)window;
    return 0;
#else
    return LumicapGetFrameCount(window);
#endif
}

// The frames the preview delivered so far: in frames mode (--snapshot) the number of the newest frame
// the library holds for the host, otherwise what the window was shown.
uint64_t FramesSeen(HWND window, bool framesMode)
{
    if (!framesMode) return FramesShown(window);
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 number = 0;
    LumicapGetPreviewFrame(&width, &height, nullptr, 0, &number);
    return number;
}

// The newest preview frame, as a host reads it, written as PNG.
bool SaveSnapshot(const std::string& path)
{
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 number = 0;
    HRESULT hr = LumicapGetPreviewFrame(&width, &height, nullptr, 0, &number);
    if (hr != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)) return false;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    hr = LumicapGetPreviewFrame(&width, &height, pixels.data(), pixels.size(), &number);
    return SUCCEEDED(hr) && demo::WritePng(path, pixels.data(), width, height);
}

bool WriteFile(const std::string& path, const BYTE* data, INT32 size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
    return std::fclose(file) == 0 && ok;
}

int ChooseFormat(const std::vector<std::string>& formats)
{
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].rfind("1920 X 1080 ", 0) == 0) return static_cast<int>(i);
    }
    return 0;
}


int Failed(WPARAM kind, HRESULT status)
{
    std::fprintf(stderr, "error: %s\n", lumicap_examples::DescribeCameraError(kind, status).c_str());
    return kExitCamera;
}

int Run(const Options& options, HWND window)
{
    MessageLoop loop(window, options.timeoutSeconds);
    // Waits for done(); a camera error on the way ends the wait and is told in words.
    auto wait = [&](const std::function<bool()>& done, const std::string& what) {
        if (loop.WaitFor([&] { return done() || !loop.FirstError().empty(); }) && done()) return 0;
        const std::string error = loop.FirstError();
        if (!error.empty()) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return kExitCamera;
        }
        std::fprintf(stderr, "error: timed out waiting for %s\n", what.c_str());
        return kExitTimeout;
    };
    SetLogCallback(PrintLog);
    CreateInstance(window);

    SAFEARRAY* cameraList = nullptr;
    GetCameraList(&cameraList);
    const std::vector<std::string> cameras = TakeStringList(cameraList);
    SAFEARRAY* linkList = nullptr;
    std::vector<std::string> links;
    if (SUCCEEDED(LumicapGetCameras(nullptr, &linkList))) links = TakeStringList(linkList);
    std::printf("Cameras:\n");
    for (size_t i = 0; i < cameras.size(); ++i) {
        std::printf("  %zu: %s\n", i, cameras[i].c_str());
        // A camera plugged in or out between the two enumerations would pair names with wrong links.
        if (links.size() == cameras.size()) std::printf("     link: %s\n", links[i].c_str());
    }
    if (cameras.empty()) {
        std::fprintf(stderr, "error: no camera found\n");
        return kExitCamera;
    }
    if (options.list) return 0;

    std::string camera = options.camera.empty() ? cameras.front() : options.camera;
    bool known = !options.link.empty();
    for (const std::string& name : cameras) known = known || name == camera;
    if (!known) {
        std::fprintf(stderr,
                     "error: no camera is named \"%s\"; the library would open another camera instead "
                     "(see the list above)\n",
                     camera.c_str());
        return kExitCamera;
    }

#ifdef LUMICAP_DEMO_VIRTUAL
    SimulateBeforeOpening(options.simulate, Widen(camera));
#endif
    auto start = Clock::now();
    const HRESULT initialized = options.link.empty() ? InitializeCamera(Widen(camera).c_str())
                                                     : LumicapInitializeCameraByLink(Widen(options.link).c_str());
    if (!options.link.empty() && initialized == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)) {
        std::fprintf(stderr, "error: no camera has the link \"%s\" (see the list above)\n", options.link.c_str());
        return kExitCamera;
    }
    if (FAILED(initialized)) return Failed(LUMICAP_ERROR_INITIALIZE, initialized);
    BSTR currentName = nullptr;
    if (SUCCEEDED(LumicapGetCurrentCamera(&currentName, nullptr))) camera = Narrow(currentName);
    SysFreeString(currentName);
    if (const int waited = wait([&] { return loop.Count(WM_CAMERA_READY) > 0; }, "the camera to initialise")) {
        return waited;
    }
    if (FAILED(loop.LastStatus(WM_CAMERA_READY))) return Failed(LUMICAP_ERROR_INITIALIZE, loop.LastStatus(WM_CAMERA_READY));
    std::printf("Camera \"%s\" ready in %.1f ms\n", camera.c_str(), MillisecondsSince(start));
    if (!demo::ApplyControls(options.controls)) return kExitUsage;
    if (options.listControls) demo::ListControls();

    SAFEARRAY* formatList = nullptr;
    GetMediaTypeList(&formatList);
    const std::vector<std::string> formats = TakeStringList(formatList);
    std::printf("Formats:\n");
    for (size_t i = 0; i < formats.size(); ++i) std::printf("  %zu: %s\n", i, formats[i].c_str());
    const int format = options.format >= 0 ? options.format : ChooseFormat(formats);
    if (format >= static_cast<int>(formats.size())) {
        std::fprintf(stderr, "error: format index %d is out of range (0 to %d)\n", format,
                     static_cast<int>(formats.size()) - 1);
        return kExitUsage;
    }

    start = Clock::now();
    const unsigned eventsBefore = loop.Count(WM_CAMERA_EVENT);
    const bool framesMode = !options.snapshot.empty();
    if (framesMode) LumicapSetPreviewFrames(TRUE);
    const HRESULT started = StartPreview(format, window);
    if (FAILED(started)) return Failed(LUMICAP_ERROR_PREVIEW, started);
    // Off Windows the window counts the frames it was shown; on Windows the engine's start event stands in.
    const int firstFrame = wait(
        [&] {
#ifdef _WIN32
            if (!framesMode) return loop.Count(WM_CAMERA_EVENT) > eventsBefore;
#else
            (void)eventsBefore;
#endif
            return FramesSeen(window, framesMode) > 0;
        },
        "the preview to start");
    if (firstFrame) return firstFrame;
    std::printf("Preview of format %d (%s) started; first frame after %.1f ms\n", format, formats[format].c_str(),
                MillisecondsSince(start));
    if (options.previewSeconds > 0) {
        const uint64_t framesBefore = FramesSeen(window, framesMode);
        loop.RunFor(options.previewSeconds);
        std::printf("Preview ran %.1f s", options.previewSeconds);
        if (const uint64_t framesAfter = FramesSeen(window, framesMode)) {
            std::printf(", %.1f frames a second",
                        static_cast<double>(framesAfter - framesBefore) / options.previewSeconds);
        }
        std::printf("\n");
    }
#ifdef LUMICAP_DEMO_VIRTUAL
    if (SimulateWhilePreviewing(options.simulate, Widen(camera))) {
        return wait([] { return false; }, "the camera's error");
    }
#endif

    for (int number = 1; number <= options.photos; ++number) {
        start = Clock::now();
        const unsigned notices = loop.Count(WM_CAMERA_PHOTO_READY);
        TakePhotoAsync();
        if (const int waited = wait([&] { return loop.Count(WM_CAMERA_PHOTO_READY) > notices; },
                                    "photo " + std::to_string(number))) {
            return waited;
        }
        if (FAILED(loop.LastStatus(WM_CAMERA_PHOTO_READY))) {
            return Failed(LUMICAP_ERROR_PHOTO, loop.LastStatus(WM_CAMERA_PHOTO_READY));
        }
        const double elapsed = MillisecondsSince(start);
        // The photo's own event follows its notice; it must be passed on before the next request, or
        // that request is refused as still pending.
        const unsigned eventsAtNotice = loop.Count(WM_CAMERA_EVENT);
        BYTE* photo = nullptr;
        INT32 size = 0;
        GetLastPhoto(&photo, &size);
        const std::string path = PhotoPath(options, number);
        const bool written = size > 0 && WriteFile(path, photo, size);
        FreePhotoMemory();
        if (!written) {
            std::fprintf(stderr, "error: photo %d (%d bytes) could not be written to %s\n", number, size, path.c_str());
            return kExitFailure;
        }
        std::printf("Photo %d ready in %.1f ms: %d bytes written to %s\n", number, elapsed, size, path.c_str());
        if (const int waited = wait([&] { return loop.Count(WM_CAMERA_EVENT) > eventsAtNotice; },
                                    "the event of photo " + std::to_string(number))) {
            return waited;
        }
    }

    if (!options.snapshot.empty()) {
        if (!SaveSnapshot(options.snapshot)) {
            std::fprintf(stderr, "error: no preview frame to save to %s\n", options.snapshot.c_str());
            return kExitFailure;
        }
        std::printf("Last preview frame saved to %s\n", options.snapshot.c_str());
    }
    StopPreview();
    loop.RunFor(0.05);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) return kExitUsage;
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Where Media Foundation is missing the library says so (InitializeCamera's error).
    const lumicap_examples::MediaFoundationSession mediaFoundation;
#endif
    HWND window = MakeWindow();
    if (!window) {
        std::fprintf(stderr, "error: could not make the message window\n");
        return kExitFailure;
    }
    const int result = Run(options, window);
    std::fflush(stdout);
#ifdef _WIN32
    CoUninitialize();
#endif
    return result;
}
