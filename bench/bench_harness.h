// The measuring tools every benchmark shares: the clock, summaries of many samples (the median and
// the 99th percentile: this machine is shared and noisy, so means and single runs say little), the
// run's length and the formatting of the table's cells.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace lumicap::bench {

using Clock = std::chrono::steady_clock;

double NanosecondsBetween(Clock::time_point from, Clock::time_point to);

struct Summary {
    double median = 0;
    double p99 = 0;
    size_t count = 0;
};

// Summary of the samples, whatever their unit; all zero when there are none.
Summary Summarize(std::vector<double> samples);

// Keeps the compiler from dropping work whose result nobody reads (a copy into a block that is freed
// right away, for instance).
inline void KeepAlive(const void* pointer) { asm volatile("" : : "r"(pointer) : "memory"); }

// The short run keeps the program building and running inside the test script; its numbers are
// rougher but each row is still measured.
struct RunLength {
    bool brief = false;
    int Repetitions(int full, int shortRun) const { return brief ? shortRun : full; }
};

// A measured path and its baseline, each timing one round in nanoseconds.
struct Pair {
    Summary measured;
    Summary baseline;
};

// Runs the two interleaved, so both see the same moments of a noisy machine, for the repetitions
// after three rounds of warming up.
Pair MeasureInterleaved(int repetitions, const std::function<double()>& measured,
                        const std::function<double()>& baseline);

std::string FormatDuration(double nanoseconds);
// "median 1.20 ms, p99 1.45 ms"
std::string FormatSummary(const Summary& summary);
// Bytes per nanosecond as GB/s.
std::string FormatThroughput(double bytes, double nanoseconds);
std::string FormatFixed(double value, int decimals);
std::string FormatSize(size_t bytes);

}  // namespace lumicap::bench
