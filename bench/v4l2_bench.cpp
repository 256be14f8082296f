// lumicap_v4l2_bench: the library's preview, frames and photo paths on a real
// camera (run it inside scripts/v4l2-vm.sh, where the camera is vivid), each
// against what the same machine does without the library: v4l2-ctl streaming
// the same format, libyuv converting one frame, OpenCV's own V4L2 capture
// (lumicap_opencv_reader, where OpenCV is installed), TurboJPEG encoding one.
// Prints the same table as lumicap_bench. Missed goals are reported, never a failing exit code;
// only a path that stops working is.
#include "bench_harness.h"
#include "result_table.h"

#include <lumicap/lumicap.h>

#include <libyuv/convert_argb.h>
#include <sys/resource.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace lumicap::bench;

constexpr const char* kCamera = "vivid";
constexpr const char* kNode = "/dev/video4"; // the last camera named "vivid", the one the library opens
constexpr const char* kType = "1280 X 720 YUY2";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr double kPreviewSeconds = 5;
constexpr int kPhotos = 5;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The event window's pump: every WM_CAMERA_EVENT goes back to the library, the
// rest to notice.
class Host {
public:
    Host() : events_(LumicapCreateMessageWindow()), preview_(LumicapCreateMessageWindow()) { CreateInstance(events_); }
    ~Host()
    {
        DestroyWindow(preview_);
        DestroyWindow(events_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND Preview() const { return preview_; }

    // Pumps until done() holds or the timeout passes, waking at least every
    // slice milliseconds; returns done().
    bool PumpUntil(const std::function<bool()>& done, double seconds, const std::function<void(const MSG&)>& notice,
                   DWORD slice = 50)
    {
        const auto deadline =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (!done()) {
            if (Clock::now() >= deadline) return false;
            // Messages wake the wait at once; the timeout only ends a period, so the host's own
            // wake-ups stay out of the CPU time measured.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, events_, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_CAMERA_EVENT) {
                    OnCaptureEvent(msg.message, msg.wParam);
                } else {
                    notice(msg);
                }
            }
        }
        return true;
    }

    // Pumps until a message with this number came; its lParam in *status.
    bool WaitFor(UINT message, double seconds, LPARAM* status)
    {
        bool seen = false;
        return PumpUntil([&] { return seen; }, seconds,
                         [&](const MSG& msg) {
                             if (msg.message != message) return;
                             seen = true;
                             *status = msg.lParam;
                         });
    }

private:
    HWND events_;
    HWND preview_;
};

INT32 FindType(const char* prefix)
{
    SAFEARRAY* list = nullptr;
    GetMediaTypeList(&list);
    INT32 found = -1;
    LONG upper = -1;
    BSTR* lines = nullptr;
    if (list && SafeArrayGetUBound(list, 1, &upper) == S_OK &&
        SafeArrayAccessData(list, reinterpret_cast<void**>(&lines)) == S_OK) {
        const std::string wanted = std::string(prefix) + " FPS ";
        for (LONG i = 0; i <= upper && found < 0; ++i) {
            std::string line;
            for (UINT c = 0; c < SysStringLen(lines[i]); ++c) line.push_back(static_cast<char>(lines[i][c]));
            if (line.rfind(wanted, 0) == 0) found = static_cast<INT32>(i);
        }
        SafeArrayUnaccessData(list);
    }
    if (list) SafeArrayDestroy(list);
    return found;
}

// Seconds v4l2-ctl takes to stream count frames of the format at its highest
// rate; < 0 on failure.
double V4l2CtlSeconds(int count)
{
    const std::string command =
        std::string("v4l2-ctl -d ") + kNode + " --set-fmt-video=width=" + std::to_string(kWidth) +
        ",height=" + std::to_string(kHeight) +
        ",pixelformat=YUYV --set-parm=1000 --stream-mmap --stream-count=" + std::to_string(count) + " >/dev/null 2>&1";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return NanosecondsBetween(start, Clock::now()) / 1e9;
}

// v4l2-ctl's rate: the difference of a short and a long run, so that opening
// and setting up the node count for neither.
double V4l2CtlFps()
{
    constexpr int kShort = 10;
    const int longer = kShort + static_cast<int>(2 * kPreviewSeconds * 12.5);
    const double a = V4l2CtlSeconds(kShort);
    const double b = V4l2CtlSeconds(longer);
    if (a < 0 || b <= a) return -1;
    return (longer - kShort) / (b - a);
}

double YuyvToArgbNanoseconds()
{
    std::vector<uint8_t> yuyv(static_cast<size_t>(kWidth) * kHeight * 2, 0x80);
    std::vector<uint8_t> argb(static_cast<size_t>(kWidth) * kHeight * 4);
    std::vector<double> samples;
    for (int i = 0; i < 40; ++i) {
        const auto start = Clock::now();
        libyuv::YUY2ToARGB(yuyv.data(), kWidth * 2, argb.data(), kWidth * 4, kWidth, kHeight);
        KeepAlive(argb.data());
        samples.push_back(NanosecondsBetween(start, Clock::now()));
    }
    return Summarize(samples).median;
}

// TurboJPEG's quality-90 encode of a same-size RGB32 frame of colour bars; < 0
// on failure.
double JpegEncodeNanoseconds()
{
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i / 4 % kWidth) * 8 / kWidth * 32);
    std::unique_ptr<void, int (*)(tjhandle)> encoder(tjInitCompress(), tjDestroy);
    if (!encoder) return -1;
    std::vector<double> samples;
    for (int i = 0; i < 10; ++i) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        const auto start = Clock::now();
        const int failed =
            tjCompress2(encoder.get(), pixels.data(), kWidth, 0, kHeight, TJPF_BGRX, &jpeg, &size, TJSAMP_420, 90, 0);
        samples.push_back(NanosecondsBetween(start, Clock::now()));
        tjFree(jpeg);
        if (failed) return -1;
    }
    return Summarize(samples).median;
}

// A copy of so many bytes between two blocks, the cost of each of the frame's hand-overs.
double CopyNanoseconds(size_t bytes)
{
    std::vector<uint8_t> from(bytes, 0x80);
    std::vector<uint8_t> to(bytes);
    std::vector<double> samples;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        std::copy(from.begin(), from.end(), to.begin());
        KeepAlive(to.data());
        samples.push_back(NanosecondsBetween(start, Clock::now()));
    }
    return Summarize(samples).median;
}

struct Preview {
    double fps = 0;
    double cpuPerFrameNs = 0;
};

// A new set-up of the camera, ready.
bool OpenCamera(Host& host)
{
    LPARAM status = -1;
    if (InitializeCamera(u"vivid") != S_OK || !host.WaitFor(WM_CAMERA_READY, 30, &status) || status != 0) {
        std::fprintf(stderr, "v4l2_bench: camera %s did not initialise\n", kCamera);
        return false;
    }
    return true;
}

bool MeasurePreview(Host& host, Preview* out)
{
    if (!OpenCamera(host)) return false;
    const INT32 index = FindType(kType);
    if (index < 0 || StartPreview(index, host.Preview()) != S_OK) {
        std::fprintf(stderr, "v4l2_bench: no preview of %s\n", kType);
        return false;
    }
    auto ignore = [](const MSG&) {};
    if (!host.PumpUntil([&] { return LumicapGetFrameCount(host.Preview()) > 0; }, 20, ignore)) {
        std::fprintf(stderr, "v4l2_bench: the preview showed no frame\n");
        return false;
    }
    const UINT64 first = LumicapGetFrameCount(host.Preview());
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    host.PumpUntil([] { return false; }, kPreviewSeconds, ignore);
    const UINT64 frames = LumicapGetFrameCount(host.Preview()) - first;
    const double seconds = NanosecondsBetween(start, Clock::now()) / 1e9;
    if (frames == 0) return false;
    out->fps = frames / seconds;
    out->cpuPerFrameNs = (CpuSeconds() - cpu) * 1e9 / frames;
    return true;
}

// Frames mode without a window, as a host scanning each frame runs it: every
// new frame copied out on a 10 ms timer. Frames are counted by their numbers.
bool MeasureFrames(Host& host, Preview* out)
{
    // A set-up keeps its first preview's configuration: frames mode needs a new one.
    if (!OpenCamera(host)) return false;
    const INT32 index = FindType(kType);
    LumicapSetPreviewFrames(TRUE);
    const HRESULT started = index < 0 ? E_FAIL : StartPreview(index, nullptr);
    LumicapSetPreviewFrames(FALSE);
    if (started != S_OK) {
        std::fprintf(stderr, "v4l2_bench: no frames-mode preview of %s\n", kType);
        return false;
    }
    std::vector<UINT32> pixels(static_cast<size_t>(kWidth) * kHeight);
    UINT64 number = 0;
    UINT64 copied = 0;
    auto poll = [&] {
        UINT32 width = 0, height = 0;
        UINT64 newest = 0;
        if (LumicapGetPreviewFrame(&width, &height, pixels.data(), pixels.size(), &newest) == S_OK &&
            newest != number) {
            number = newest;
            ++copied;
        }
        return false;
    };
    auto ignore = [](const MSG&) {};
    if (!host.PumpUntil([&] { return poll(), number > 0; }, 20, ignore, 10)) {
        std::fprintf(stderr, "v4l2_bench: frames mode gave no frame\n");
        StopPreview();
        return false;
    }
    const UINT64 first = number;
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    host.PumpUntil(poll, kPreviewSeconds, ignore, 10);
    const UINT64 frames = number - first;
    const double seconds = NanosecondsBetween(start, Clock::now()) / 1e9;
    StopPreview();
    if (frames == 0 || copied == 0) return false;
    out->fps = frames / seconds;
    out->cpuPerFrameNs = (CpuSeconds() - cpu) * 1e9 / frames;
    return true;
}

// OpenCV's V4L2 capture of the same format, each frame as BGR, by
// lumicap_opencv_reader beside this program; false when it is not built or fails.
bool MeasureOpenCv(Preview* out)
{
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return false;
    std::string reader(self, static_cast<size_t>(length));
    reader = reader.substr(0, reader.rfind('/') + 1) + "lumicap_opencv_reader";
    if (access(reader.c_str(), X_OK) != 0) return false;
    const std::string command = reader + " " + kNode + " " + std::to_string(kWidth) + " " +
                                std::to_string(kHeight) + " " + std::to_string(static_cast<int>(kPreviewSeconds));
    std::unique_ptr<FILE, int (*)(FILE*)> output(popen(command.c_str(), "r"), pclose);
    if (!output) return false;
    return std::fscanf(output.get(), "fps %lf cpu_ns_per_frame %lf", &out->fps, &out->cpuPerFrameNs) == 2 &&
           out->fps > 0;
}

// Median time from TakePhotoAsync to WM_CAMERA_PHOTO_READY while the preview
// runs; < 0 on failure.
double PhotoLatencyNanoseconds(Host& host)
{
    std::vector<double> samples;
    for (int i = 0; i < kPhotos; ++i) {
        LPARAM status = -1;
        const auto start = Clock::now();
        TakePhotoAsync();
        if (!host.WaitFor(WM_CAMERA_PHOTO_READY, 20, &status) || status != 0) return -1;
        samples.push_back(NanosecondsBetween(start, Clock::now()));
        // The photo's engine event goes back before the next request, or it is
        // refused as pending.
        host.PumpUntil([] { return false; }, 0.2, [](const MSG&) {});
    }
    return Summarize(samples).median;
}

} // namespace

int main()
{
    if (access(kNode, F_OK) != 0) {
        std::fprintf(stderr, "v4l2_bench: no %s; run it in scripts/v4l2-vm.sh\n", kNode);
        return 1;
    }
    std::printf("V4L2 camera %s (%s), preview %s for %.0f s\n", kNode, kCamera, kType, kPreviewSeconds);
    // The baseline first, while nothing of the library's holds the node.
    const double ctlFps = V4l2CtlFps();
    const double convertNs = YuyvToArgbNanoseconds();
    const double encodeNs = JpegEncodeNanoseconds();
    if (ctlFps <= 0 || encodeNs < 0) {
        std::fprintf(stderr, "v4l2_bench: the baselines could not be measured\n");
        return 1;
    }
    Preview opencv;
    const bool haveOpenCv = MeasureOpenCv(&opencv);

    Host host;
    Preview preview;
    if (!MeasurePreview(host, &preview)) return 1;
    const double photoNs = PhotoLatencyNanoseconds(host);
    StopPreview();
    if (photoNs < 0) {
        std::fprintf(stderr, "v4l2_bench: a photo failed\n");
        return 1;
    }
    Preview frames;
    if (!MeasureFrames(host, &frames)) return 1;

    ResultTable table;
    const double rate = preview.fps / ctlFps;
    table.AddAndShow({std::string("preview ") + kType + " fps", FormatFixed(preview.fps, 2) + " fps",
                      "v4l2-ctl --stream-mmap " + FormatFixed(ctlFps, 2) + " fps", FormatFixed(rate, 3) + "x",
                      ">= 0.95x", AtLeast(rate, 0.95)},
                     stdout);
    const double cpu = preview.cpuPerFrameNs / convertNs;
    table.AddAndShow({"preview CPU per frame", FormatDuration(preview.cpuPerFrameNs),
                      "libyuv YUY2ToARGB " + FormatDuration(convertNs), FormatFixed(cpu, 2) + "x", "<= 1.3x",
                      AtMost(cpu, 1.3)},
                     stdout);
    const std::string framesMeasured =
        FormatFixed(frames.fps, 2) + " fps; CPU " + FormatDuration(frames.cpuPerFrameNs) + "/frame";
    if (haveOpenCv) {
        const double peer = frames.cpuPerFrameNs / opencv.cpuPerFrameNs;
        const double peerRate = frames.fps / opencv.fps;
        table.AddAndShow({"frames mode, no window (host copies each frame)", framesMeasured,
                          "OpenCV V4L2 capture as BGR " + FormatFixed(opencv.fps, 2) + " fps; CPU " +
                              FormatDuration(opencv.cpuPerFrameNs) + "/frame",
                          FormatFixed(peer, 2) + "x CPU at " + FormatFixed(peerRate, 3) + "x rate",
                          "<= 1.0x CPU at >= 0.95x rate",
                          AtLeast(peerRate, 0.95) == Verdict::kMet ? AtMost(peer, 1.0) : Verdict::kMissed},
                         stdout);
    } else {
        table.AddAndShow({"frames mode, no window (host copies each frame)", framesMeasured,
                          "OpenCV not installed: lumicap_opencv_reader not built", "-", "reported",
                          Verdict::kReported},
                         stdout);
    }
    const double intervalNs = 1e9 / ctlFps;
    const double photo = photoNs / (intervalNs + encodeNs);
    table.AddAndShow({"photo latency (median of " + std::to_string(kPhotos) + ")", FormatDuration(photoNs),
                      "frame interval " + FormatDuration(intervalNs) + " + TurboJPEG q90 " + FormatDuration(encodeNs),
                      FormatFixed(photo, 2) + "x", "<= 1.3x", AtMost(photo, 1.3)},
                     stdout);
    std::printf("\n");
    table.Print(stdout);
    // What the CPU row's baseline leaves out: the frame is copied out of the driver's buffer and into
    // the window besides being converted.
    const size_t yuyv = static_cast<size_t>(kWidth) * kHeight * 2;
    std::printf("\nA frame's copies here: %s of YUY2 %s, %s of RGB32 %s\n", FormatSize(yuyv).c_str(),
                FormatDuration(CopyNanoseconds(yuyv)).c_str(), FormatSize(yuyv * 2).c_str(),
                FormatDuration(CopyNanoseconds(yuyv * 2)).c_str());
    return 0;
}
