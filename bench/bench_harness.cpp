#include "bench_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace lumicap::bench {

double NanosecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::nano>(to - from).count();
}

Summary Summarize(std::vector<double> samples)
{
    Summary summary;
    summary.count = samples.size();
    if (samples.empty()) return summary;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    summary.median = samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
    // Nearest rank: the smallest sample that at least 99% of the samples do not exceed.
    const auto rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(samples.size())));
    summary.p99 = samples[std::max<size_t>(rank, 1) - 1];
    return summary;
}

Pair MeasureInterleaved(int repetitions, const std::function<double()>& measured,
                        const std::function<double()>& baseline)
{
    constexpr int kWarmUp = 3;
    std::vector<double> library;
    std::vector<double> limit;
    for (int i = 0; i < repetitions + kWarmUp; ++i) {
        const double lib = measured();
        const double base = baseline();
        if (i < kWarmUp) continue;
        library.push_back(lib);
        limit.push_back(base);
    }
    return {Summarize(std::move(library)), Summarize(std::move(limit))};
}

std::string FormatFixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FormatDuration(double nanoseconds)
{
    if (nanoseconds >= 1e9) return FormatFixed(nanoseconds / 1e9, 2) + " s";
    if (nanoseconds >= 1e6) return FormatFixed(nanoseconds / 1e6, 2) + " ms";
    if (nanoseconds >= 1e3) return FormatFixed(nanoseconds / 1e3, 2) + " us";
    return FormatFixed(nanoseconds, 0) + " ns";
}

std::string FormatSummary(const Summary& summary)
{
    return "median " + FormatDuration(summary.median) + ", p99 " + FormatDuration(summary.p99);
}

std::string FormatThroughput(double bytes, double nanoseconds)
{
    if (nanoseconds <= 0) return "n/a";
    return FormatFixed(bytes / nanoseconds, 2) + " GB/s";
}

std::string FormatSize(size_t bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " B";
}

}  // namespace lumicap::bench
