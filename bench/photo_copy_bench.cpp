// GetLastPhoto of a photo already in the stream, against the copy it cannot avoid: malloc, memcpy
// and free of the same bytes.
#include "benches.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"
#include "stream/memory_byte_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lumicap::bench {
namespace {

// The photo sink writes in chunks of this size, so the stream's blocks are laid out as after a photo.
constexpr size_t kSinkChunk = 64 * 1024;

ComPtr<MemoryIMFByteStream> FilledStream(const std::vector<BYTE>& bytes)
{
    ComPtr<MemoryIMFByteStream> stream = MemoryIMFByteStream::Create();
    if (!stream) throw std::runtime_error("cannot create a byte stream");
    for (size_t offset = 0; offset < bytes.size(); offset += kSinkChunk) {
        const auto count = static_cast<ULONG>(std::min(kSinkChunk, bytes.size() - offset));
        ULONG written = 0;
        if (FAILED(stream->Write(bytes.data() + offset, count, &written)) || written != count) {
            throw std::runtime_error("cannot fill the photo stream");
        }
    }
    return stream;
}

double TimeGetLastPhoto(const std::vector<BYTE>& expected)
{
    BYTE* photo = nullptr;
    INT32 size = 0;
    const auto start = Clock::now();
    ::GetLastPhoto(&photo, &size);
    KeepAlive(photo);
    ::FreePhotoMemory();
    const auto end = Clock::now();
    if (static_cast<size_t>(size) != expected.size()) throw std::runtime_error("GetLastPhoto returned a wrong size");
    return NanosecondsBetween(start, end);
}

double TimeMallocCopy(const std::vector<BYTE>& source)
{
    const auto start = Clock::now();
    void* block = std::malloc(source.size());
    if (!block) throw std::runtime_error("malloc failed");
    std::memcpy(block, source.data(), source.size());
    KeepAlive(block);
    std::free(block);
    return NanosecondsBetween(start, Clock::now());
}

// Checks once, outside the timed loop, that the bytes handed out are the photo's.
void CheckContent(const std::vector<BYTE>& expected)
{
    BYTE* photo = nullptr;
    INT32 size = 0;
    ::GetLastPhoto(&photo, &size);
    const bool same = photo && static_cast<size_t>(size) == expected.size() &&
                      std::memcmp(photo, expected.data(), expected.size()) == 0;
    ::FreePhotoMemory();
    if (!same) throw std::runtime_error("GetLastPhoto handed out other bytes than the stream holds");
}

void MeasureSize(const RunLength& length, size_t bytes, ResultTable& table)
{
    std::vector<BYTE> photo(bytes);
    for (size_t i = 0; i < bytes; ++i) photo[i] = static_cast<BYTE>(i * 131 + (i >> 12));
    std::vector<BYTE> source = photo;

    CaptureManager& manager = *Module().theManager;
    manager.photoStream = FilledStream(photo);
    CheckContent(photo);

    const int repetitions = length.Repetitions(static_cast<int>(std::max<size_t>(100, 1024 * 1024 * 400 / bytes)), 30);
    const Pair times = MeasureInterleaved(
        repetitions, [&] { return TimeGetLastPhoto(photo); }, [&] { return TimeMallocCopy(source); });
    manager.photoStream.Reset();

    const Summary& measured = times.measured;
    const Summary& limit = times.baseline;
    const double ratio = measured.median / limit.median;
    table.AddAndShow({"GetLastPhoto " + FormatSize(bytes) + " (+FreePhotoMemory)", FormatSummary(measured),
                      "malloc+memcpy+free: " + FormatSummary(limit), FormatFixed(ratio, 2) + "x time",
                      "<= 1.10x time", AtMost(ratio, 1.10)},
                     stdout);
}

}  // namespace

void RunPhotoCopyBench(const RunLength& length, BenchHost&, ResultTable& table)
{
    for (size_t mebibytes : {1, 4, 16}) MeasureSize(length, mebibytes * 1024 * 1024, table);
}

}  // namespace lumicap::bench
