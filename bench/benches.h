// The benchmarks, one per hot path. Each measures the library's path and its limit interleaved in
// the same run, adds its rows to the table and throws std::runtime_error when the path itself fails
// (a missed goal is a row, never an error).
#pragma once

#include "bench_harness.h"
#include "bench_host.h"
#include "result_table.h"

namespace lumicap::bench {

void RunPhotoCopyBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunStreamWriteBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunEngineEventBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunVirtualPhotoBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunPreviewRateBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunCameraStartBench(const RunLength& length, BenchHost& host, ResultTable& table);
void RunPreviewFrameBench(const RunLength& length, BenchHost& host, ResultTable& table);

}  // namespace lumicap::bench
