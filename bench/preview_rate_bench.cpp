// The preview's delivered frame rate against its format's rate, and the processor time each frame
// costs (the whole process's, so the engine's, the renderer's and the host's threads all count).
#include "benches.h"

#include <ctime>
#include <stdexcept>
#include <string>
#include <thread>

namespace lumicap::bench {
namespace {

struct PreviewCase {
    std::u16string camera;
    INT32 formatIndex;
    const char* format;
    double rate;
    bool frames;  // frames mode: the host's copy kept and drawn by the library, counted by its numbers
};

double ProcessCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

struct FrameMark {
    UINT64 frames = 0;
    Clock::time_point when;
    double cpu = 0;
};

// Frames so far: those the window was shown, or in frames mode the newest frame's number.
UINT64 FramesSoFar(HWND window, bool frames)
{
    if (!frames) return LumicapGetFrameCount(window);
    UINT32 width = 0, height = 0;
    UINT64 number = 0;
    LumicapGetPreviewFrame(&width, &height, nullptr, 0, &number);
    return number;
}

// The moment a new frame arrives, seen within half a millisecond: rates are counted between frame
// arrivals, so a run of a few frames is not off by a fraction of a frame.
FrameMark NextFrame(HWND window, bool frames)
{
    const UINT64 before = FramesSoFar(window, frames);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        const UINT64 now = FramesSoFar(window, frames);
        if (now != before) return {now, Clock::now(), ProcessCpuNanoseconds()};
        if (Clock::now() >= deadline) throw std::runtime_error("the preview stopped delivering frames");
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

void Measure(const RunLength& length, BenchHost& host, const PreviewCase& preview, ResultTable& table)
{
    host.OpenCamera(preview.camera);
    LumicapSetPreviewFrames(preview.frames ? TRUE : FALSE);
    host.StartPreview(preview.formatIndex);
    const HWND window = host.PreviewWindow();
    const auto period = std::chrono::duration<double>(1.0 / preview.rate);
    const auto span = std::chrono::seconds(length.brief ? 1 : 10);

    // The first frame and the one after it: the start-up is not part of the steady rate.
    NextFrame(window, preview.frames);
    const FrameMark first = NextFrame(window, preview.frames);
    host.PumpFor(span - std::chrono::duration_cast<Clock::duration>(period));
    const FrameMark last = NextFrame(window, preview.frames);
    host.StopPreview();
    LumicapSetPreviewFrames(FALSE);

    const double frames = static_cast<double>(last.frames - first.frames);
    const double seconds = NanosecondsBetween(first.when, last.when) / 1e9;
    const double delivered = frames / seconds;
    const double cpuPerFrame = (last.cpu - first.cpu) / frames;
    const double ratio = delivered / preview.rate;
    table.AddAndShow({std::string("preview ") + preview.format + (preview.frames ? " frames mode" : "") + " for " +
                          FormatFixed(seconds, 1) + " s",
                      FormatFixed(delivered, 2) + " fps; CPU " + FormatDuration(cpuPerFrame) + "/frame (" +
                          FormatFixed(cpuPerFrame * preview.rate / 1e7, 1) + "% of a core)",
                      "format rate " + FormatFixed(preview.rate, 2) + " fps", FormatFixed(ratio, 3) + "x rate",
                      ">= 0.98x rate", AtLeast(ratio, 0.98)},
                     stdout);
}

}  // namespace

void RunPreviewRateBench(const RunLength& length, BenchHost& host, ResultTable& table)
{
    const PreviewCase cases[] = {
        {u"Lumicap Virtual Camera", 3, "1920x1080 30 fps", 30.0, false},
        {u"Lumicap Virtual Camera", 3, "1920x1080 30 fps", 30.0, true},
        {u"Lumicap Virtual Rear Camera", 1, "2592x1944 5 fps", 5.0, false},
    };
    for (const PreviewCase& preview : cases) Measure(length, host, preview, table);
}

}  // namespace lumicap::bench
