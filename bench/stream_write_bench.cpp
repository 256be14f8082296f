// MemoryIMFByteStream::Write as the photo sink uses it, in chunks into a fresh stream, against one
// memcpy of the same total into a fresh malloc'd block.
#include "benches.h"

#include "stream/memory_byte_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lumicap::bench {
namespace {

double TimeChunkedWrites(const std::vector<BYTE>& source, size_t total, size_t chunk)
{
    const auto start = Clock::now();
    {
        ComPtr<MemoryIMFByteStream> stream = MemoryIMFByteStream::Create();
        if (!stream) throw std::runtime_error("cannot create a byte stream");
        for (size_t offset = 0; offset < total; offset += chunk) {
            ULONG written = 0;
            if (FAILED(stream->Write(source.data() + offset, static_cast<ULONG>(chunk), &written))) {
                throw std::runtime_error("Write failed");
            }
        }
        KeepAlive(stream.Get());
    }
    return NanosecondsBetween(start, Clock::now());
}

double TimeOneCopy(const std::vector<BYTE>& source, size_t total)
{
    const auto start = Clock::now();
    void* block = std::malloc(total);
    if (!block) throw std::runtime_error("malloc failed");
    std::memcpy(block, source.data(), total);
    KeepAlive(block);
    std::free(block);
    return NanosecondsBetween(start, Clock::now());
}

// Checks once, outside the timed loop, that chunked writes keep every byte in order.
void CheckContent(const std::vector<BYTE>& source, size_t total, size_t chunk)
{
    ComPtr<MemoryIMFByteStream> stream = MemoryIMFByteStream::Create();
    for (size_t offset = 0; stream && offset < total; offset += chunk) {
        stream->Write(source.data() + offset, static_cast<ULONG>(chunk), nullptr);
    }
    std::vector<BYTE> back(total);
    ULONG read = 0;
    if (!stream || FAILED(stream->ReadFromStart(back.data(), static_cast<ULONG>(total), &read)) || read != total ||
        std::memcmp(back.data(), source.data(), total) != 0) {
        throw std::runtime_error("the stream lost or reordered written bytes");
    }
}

void Measure(const RunLength& length, const std::vector<BYTE>& source, size_t total, size_t chunk,
             ResultTable& table)
{
    CheckContent(source, total, chunk);
    const int repetitions = length.Repetitions(static_cast<int>(std::max<size_t>(100, 1024 * 1024 * 1024 / total)), 20);
    const Pair times = MeasureInterleaved(
        repetitions, [&] { return TimeChunkedWrites(source, total, chunk); },
        [&] { return TimeOneCopy(source, total); });
    const Summary& measured = times.measured;
    const Summary& limit = times.baseline;
    const double ratio = limit.median / measured.median;
    table.AddAndShow({"Write " + FormatSize(chunk) + " chunks to " + FormatSize(total) + " (fresh stream)",
                      FormatThroughput(static_cast<double>(total), measured.median) + " (" +
                          FormatSummary(measured) + ")",
                      "malloc+memcpy: " + FormatThroughput(static_cast<double>(total), limit.median) + " (" +
                          FormatSummary(limit) + ")",
                      FormatFixed(ratio, 2) + "x throughput", ">= 0.50x throughput", AtLeast(ratio, 0.5)},
                     stdout);
}

}  // namespace

void RunStreamWriteBench(const RunLength& length, BenchHost&, ResultTable& table)
{
    constexpr size_t kMiB = 1024 * 1024;
    std::vector<BYTE> source(16 * kMiB);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<BYTE>(i * 7 + (i >> 16));
    for (size_t chunk : {4 * 1024, 64 * 1024}) {
        for (size_t total : {4 * kMiB, 16 * kMiB}) Measure(length, source, total, chunk, table);
    }
}

}  // namespace lumicap::bench
