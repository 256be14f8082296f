// LumicapGetPreviewFrame of a 1920x1080 frame held for the host, against the copy it cannot avoid: a
// memcpy of the frame's bytes into the host's buffer.
#include "benches.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace lumicap::bench {
namespace {

constexpr UINT32 kWidth = 1920;
constexpr UINT32 kHeight = 1080;

double TimeGetPreviewFrame(std::vector<UINT32>& pixels)
{
    UINT32 width = 0;
    UINT32 height = 0;
    UINT64 number = 0;
    const auto start = Clock::now();
    const HRESULT hr = LumicapGetPreviewFrame(&width, &height, pixels.data(), pixels.size(), &number);
    const auto end = Clock::now();
    KeepAlive(pixels.data());
    if (hr != S_OK || width != kWidth || height != kHeight) throw std::runtime_error("LumicapGetPreviewFrame failed");
    return NanosecondsBetween(start, end);
}

double TimeCopy(const std::vector<UINT32>& source, std::vector<UINT32>& destination)
{
    const auto start = Clock::now();
    std::memcpy(destination.data(), source.data(), source.size() * sizeof(UINT32));
    KeepAlive(destination.data());
    return NanosecondsBetween(start, Clock::now());
}

}  // namespace

void RunPreviewFrameBench(const RunLength& length, BenchHost& host, ResultTable& table)
{
    LumicapSetPreviewFrames(TRUE);
    host.OpenCamera(u"Lumicap Virtual Camera");
    host.StartPreview(3);
    bool arrived = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!arrived && Clock::now() < deadline) {
        host.PumpFor(std::chrono::milliseconds(20));
        UINT32 width = 0;
        UINT32 height = 0;
        UINT64 number = 0;
        arrived = LumicapGetPreviewFrame(&width, &height, nullptr, 0, &number) ==
                  HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    // Stopped, so no new frame competes with the copies; the newest stays held.
    host.StopPreview();
    LumicapSetPreviewFrames(FALSE);
    if (!arrived) throw std::runtime_error("no preview frame arrived in frames mode");

    std::vector<UINT32> pixels(static_cast<size_t>(kWidth) * kHeight);
    std::vector<UINT32> source(pixels.size(), 0x00123456);
    std::vector<UINT32> copy(pixels.size());
    const int repetitions = length.Repetitions(300, 30);
    const Pair times = MeasureInterleaved(
        repetitions, [&] { return TimeGetPreviewFrame(pixels); }, [&] { return TimeCopy(source, copy); });
    const Summary& measured = times.measured;
    const Summary& limit = times.baseline;
    const double ratio = measured.median / limit.median;
    table.AddAndShow({"LumicapGetPreviewFrame 1920x1080 (frames mode)", FormatSummary(measured),
                      "memcpy of its 8 MB: " + FormatSummary(limit), FormatFixed(ratio, 2) + "x time",
                      "<= 1.10x time", AtMost(ratio, 1.10)},
                     stdout);
}

}  // namespace lumicap::bench
