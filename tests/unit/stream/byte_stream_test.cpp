#include "stream/memory_byte_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace lumicap {
namespace {

std::vector<BYTE> Bytes(size_t count, BYTE first = 1)
{
    std::vector<BYTE> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

QWORD Length(IMFByteStream* stream)
{
    QWORD length = 12345;
    EXPECT_EQ(stream->GetLength(&length), S_OK);
    return length;
}

std::vector<BYTE> ReadAll(MemoryIMFByteStream* stream, ULONG count)
{
    std::vector<BYTE> buffer(count, 0xEE);
    ULONG read = 0xFFFFFFFF;
    EXPECT_EQ(stream->ReadFromStart(buffer.data(), count, &read), S_OK);
    buffer.resize(read);
    return buffer;
}

QWORD Position(IMFByteStream* stream)
{
    QWORD position = 12345;
    EXPECT_EQ(stream->GetCurrentPosition(&position), S_OK);
    return position;
}

TEST(MemoryByteStream, NewStreamIsEmptyAtPositionZero)
{
    auto stream = MemoryIMFByteStream::Create();
    ASSERT_TRUE(stream);
    EXPECT_EQ(Length(stream.Get()), 0u);
    QWORD position = 99;
    EXPECT_EQ(stream->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0u);
    BOOL end = FALSE;
    EXPECT_EQ(stream->IsEndOfStream(&end), S_OK);
    EXPECT_TRUE(end);
    DWORD capabilities = 0;
    EXPECT_EQ(stream->GetCapabilities(&capabilities), S_OK);
    EXPECT_EQ(capabilities,
              static_cast<DWORD>(MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE | MFBYTESTREAM_IS_SEEKABLE));
}

struct ReadCase {
    std::vector<ULONG> writes;
    ULONG readCount;
    ULONG expectedRead;
};

class StreamReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(StreamReads, AppendedBytesReadBackWholeFromTheStart)
{
    const ReadCase& c = GetParam();
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> written;
    BYTE next = 1;
    for (ULONG count : c.writes) {
        std::vector<BYTE> chunk = Bytes(count, next);
        next = static_cast<BYTE>(next + count);
        ULONG reported = 0xFFFFFFFF;
        ASSERT_EQ(stream->Write(chunk.data(), count, &reported), S_OK);
        EXPECT_EQ(reported, count);
        written.insert(written.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(Length(stream.Get()), written.size());
    EXPECT_EQ(Position(stream.Get()), written.size());
    const std::vector<BYTE> expected(written.begin(), written.begin() + c.expectedRead);
    // The library's own read starts from the first byte every time and leaves the position alone.
    EXPECT_EQ(ReadAll(stream.Get(), c.readCount), expected);
    EXPECT_EQ(ReadAll(stream.Get(), c.readCount), expected);
    EXPECT_EQ(Position(stream.Get()), written.size());
    // A caller's Read starts at the position: back at the start it copies the same bytes.
    ASSERT_EQ(stream->SetCurrentPosition(0), S_OK);
    std::vector<BYTE> buffer(c.readCount);
    ULONG read = 0;
    ASSERT_EQ(stream->Read(buffer.data(), c.readCount, &read), S_OK);
    EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + read), expected);
    EXPECT_EQ(Position(stream.Get()), c.expectedRead);
}

INSTANTIATE_TEST_SUITE_P(Cases, StreamReads,
                         ::testing::Values(ReadCase{{3, 5}, 100, 8}, ReadCase{{8}, 4, 4}, ReadCase{{}, 16, 0},
                                           ReadCase{{0}, 16, 0}, ReadCase{{5, 0, 5}, 10, 10},
                                           // Larger than the first block, across block boundaries.
                                           ReadCase{{70000, 70000, 200000}, 340000, 340000},
                                           ReadCase{{65536, 1}, 65537, 65537}));

TEST(MemoryByteStream, ReadIntoNullBufferIsRefusedAndLeavesCountAlone)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(8);
    stream->Write(data.data(), 8, nullptr);
    stream->SetCurrentPosition(0);
    ULONG read = 77;
    EXPECT_EQ(stream->Read(nullptr, 8, &read), E_POINTER);
    EXPECT_EQ(read, 77u);
    EXPECT_EQ(Position(stream.Get()), 0u);
}

TEST(MemoryByteStream, SetLengthZeroEmptiesAndTheStreamIsUsableAgain)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(10);
    stream->Write(data.data(), 10, nullptr);
    EXPECT_EQ(stream->SetLength(0), S_OK);
    EXPECT_EQ(Length(stream.Get()), 0u);
    EXPECT_EQ(Position(stream.Get()), 0u);
    std::vector<BYTE> again = Bytes(3, 50);
    stream->Write(again.data(), 3, nullptr);
    EXPECT_EQ(ReadAll(stream.Get(), 10), again);
}

// Records the async result handed to it, as a caller waiting for its completion does.
class CompletionRecorder final : public IMFAsyncCallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMFAsyncCallback) return E_NOINTERFACE;
        *object = static_cast<IMFAsyncCallback*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetParameters(DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult* result) override
    {
        results.push_back(ComPtr<IMFAsyncResult>::Share(result));
        return S_OK;
    }

    std::vector<ComPtr<IMFAsyncResult>> results;

private:
    std::atomic<ULONG> refs_{1};
};

// One step on a stream: its call, its argument (text to write, or a count, position or length), the
// result it must give and, for reads, the bytes it must copy.
struct Step {
    enum Kind { kWrite, kBeginWrite, kRead, kBeginRead, kSeekBegin, kSeekCurrent, kSetPosition, kSetLength } kind;
    std::string text;
    LONGLONG value = 0;
    HRESULT hr = S_OK;
};

Step WriteStep(std::string text, Step::Kind kind = Step::kWrite) { return {kind, std::move(text)}; }
Step ReadStep(LONGLONG count, std::string expected, Step::Kind kind = Step::kRead)
{
    return {kind, expected, count};
}
Step MoveStep(Step::Kind kind, LONGLONG value, HRESULT hr = S_OK) { return {kind, "", value, hr}; }

struct StreamCase {
    const char* name;
    std::vector<Step> steps;
    std::string bytes;  // the stream's whole content afterwards
    QWORD position;
};

std::ostream& operator<<(std::ostream& out, const StreamCase& c) { return out << c.name; }

constexpr HRESULT kOverflow = static_cast<HRESULT>(0x80070216);
constexpr LONGLONG kTooFar = static_cast<LONGLONG>(MemoryIMFByteStream::kMaxLength) + 1;

class StreamSteps : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamSteps, GiveTheBytesAndPosition)
{
    auto stream = MemoryIMFByteStream::Create();
    CompletionRecorder callback;
    for (const Step& step : GetParam().steps) {
        const BYTE* text = reinterpret_cast<const BYTE*>(step.text.data());
        const ULONG size = static_cast<ULONG>(step.text.size());
        const bool reads = step.kind == Step::kRead || step.kind == Step::kBeginRead;
        std::vector<BYTE> buffer(reads ? static_cast<size_t>(step.value) : 0);
        ULONG count = 0xFFFFFFFF;
        QWORD moved = 0;
        HRESULT hr = E_UNEXPECTED;
        switch (step.kind) {
        case Step::kWrite:
            hr = stream->Write(text, size, &count);
            break;
        case Step::kRead:
            hr = stream->Read(buffer.data(), static_cast<ULONG>(step.value), &count);
            break;
        case Step::kBeginWrite:
        case Step::kBeginRead: {
            const bool write = step.kind == Step::kBeginWrite;
            callback.results.clear();
            hr = write ? stream->BeginWrite(text, size, &callback, stream.Get())
                       : stream->BeginRead(buffer.data(), static_cast<ULONG>(step.value), &callback, stream.Get());
            ASSERT_EQ(callback.results.size(), 1u) << "the callback completes the call once";
            IMFAsyncResult* result = callback.results[0].Get();
            EXPECT_EQ(result->GetStateNoAddRef(), static_cast<IUnknown*>(stream.Get()));
            // The other End call does not take this result.
            EXPECT_EQ(write ? stream->EndRead(result, &count) : stream->EndWrite(result, &count), E_INVALIDARG);
            if (SUCCEEDED(hr)) hr = write ? stream->EndWrite(result, &count) : stream->EndRead(result, &count);
            break;
        }
        case Step::kSeekBegin:
        case Step::kSeekCurrent:
            hr = stream->Seek(step.kind == Step::kSeekBegin ? msoBegin : msoCurrent, step.value, 0, &moved);
            if (SUCCEEDED(hr)) {
                EXPECT_EQ(moved, Position(stream.Get()));
            }
            break;
        case Step::kSetPosition:
            hr = stream->SetCurrentPosition(static_cast<QWORD>(step.value));
            break;
        case Step::kSetLength:
            hr = stream->SetLength(static_cast<QWORD>(step.value));
            break;
        }
        ASSERT_EQ(hr, step.hr) << "step " << (&step - GetParam().steps.data());
        if (step.kind == Step::kWrite || step.kind == Step::kBeginWrite) {
            EXPECT_EQ(count, size);
        }
        if (reads) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + count), step.text);
        }
    }
    const std::vector<BYTE> content = ReadAll(stream.Get(), 1000);
    EXPECT_EQ(std::string(content.begin(), content.end()), GetParam().bytes);
    EXPECT_EQ(Length(stream.Get()), GetParam().bytes.size());
    EXPECT_EQ(Position(stream.Get()), GetParam().position);
    BOOL end = FALSE;
    EXPECT_EQ(stream->IsEndOfStream(&end), S_OK);
    EXPECT_EQ(end != FALSE, GetParam().position == GetParam().bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamSteps,
    ::testing::Values(
        StreamCase{"OverwriteInside",
                   {WriteStep("abcdef"), MoveStep(Step::kSetPosition, 2), WriteStep("XY"), ReadStep(1, "e")},
                   "abXYef",
                   5},
        StreamCase{"OverwritePastTheEndExtends",
                   {WriteStep("abcd"), MoveStep(Step::kSeekCurrent, -2), WriteStep("XYZ")},
                   "abXYZ",
                   5},
        StreamCase{"ExtendFillsWithZeros",
                   {WriteStep("ab"), MoveStep(Step::kSetLength, 5), ReadStep(10, std::string(3, '\0'))},
                   std::string("ab") + std::string(3, '\0'),
                   5},
        StreamCase{"TruncateBringsThePositionIn",
                   {WriteStep("abcdef"), MoveStep(Step::kSetLength, 3), ReadStep(4, ""), WriteStep("Z")},
                   "abcZ",
                   4},
        StreamCase{"TruncateBehindThePositionKeepsIt",
                   {WriteStep("abcdef"), MoveStep(Step::kSeekBegin, 1), MoveStep(Step::kSetLength, 4),
                    ReadStep(9, "bcd")},
                   "abcd",
                   4},
        StreamCase{"SeeksStayWithinTheStream",
                   {WriteStep("abc"), MoveStep(Step::kSeekBegin, 4, E_INVALIDARG),
                    MoveStep(Step::kSeekCurrent, -4, E_INVALIDARG), MoveStep(Step::kSeekBegin, -1, E_INVALIDARG),
                    MoveStep(Step::kSetPosition, 4, E_INVALIDARG), MoveStep(Step::kSeekCurrent, -2),
                    ReadStep(1, "b"), MoveStep(Step::kSeekCurrent, 1), ReadStep(5, "")},
                   "abc",
                   3},
        StreamCase{"AsynchronousWriteAndRead",
                   {WriteStep("hello", Step::kBeginWrite), MoveStep(Step::kSeekBegin, 1),
                    ReadStep(3, "ell", Step::kBeginRead), WriteStep("!", Step::kBeginWrite)},
                   "hell!",
                   5},
        StreamCase{"PlaceholderPatchedLikeAnEncoder",
                   {WriteStep("0000"), WriteStep("body"), MoveStep(Step::kSetPosition, 0), WriteStep("HEAD"),
                    MoveStep(Step::kSetPosition, 8)},
                   "HEADbody",
                   8},
        StreamCase{"OverflowIsRefusedAndChangesNothing",
                   {WriteStep("ab"), MoveStep(Step::kSetLength, kTooFar, kOverflow),
                    MoveStep(Step::kSetPosition, kTooFar, E_INVALIDARG),
                    MoveStep(Step::kSeekCurrent, INT64_MAX, E_INVALIDARG),
                    MoveStep(Step::kSeekCurrent, INT64_MIN, E_INVALIDARG)},
                   "ab",
                   2}));

TEST(MemoryByteStream, WriteThatWouldPassTheLongestStreamIsRefused)
{
    auto stream = MemoryIMFByteStream::Create();
    ASSERT_EQ(stream->SetLength(3), S_OK);
    ASSERT_EQ(stream->SetCurrentPosition(3), S_OK);
    // The count is checked before any room is sought, so nothing near 2 GiB is allocated.
    BYTE byte = 0;
    ULONG written = 7;
    EXPECT_EQ(stream->Write(&byte, static_cast<ULONG>(MemoryIMFByteStream::kMaxLength - 2), &written), kOverflow);
    EXPECT_EQ(written, 7u);
    EXPECT_EQ(Length(stream.Get()), 3u);
}

TEST(MemoryByteStream, AsynchronousCallsCheckTheirArguments)
{
    auto stream = MemoryIMFByteStream::Create();
    CompletionRecorder callback;
    BYTE buffer[4] = {};
    ULONG count = 55;
    EXPECT_EQ(stream->BeginWrite(buffer, 4, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(stream->BeginRead(buffer, 4, nullptr, nullptr), E_INVALIDARG);
    // A failed call does its work not at all and never calls back.
    EXPECT_EQ(stream->BeginWrite(nullptr, 4, &callback, nullptr), E_POINTER);
    EXPECT_TRUE(callback.results.empty());
    EXPECT_EQ(Length(stream.Get()), 0u);
    EXPECT_EQ(stream->EndWrite(nullptr, &count), E_INVALIDARG);
    EXPECT_EQ(stream->EndRead(nullptr, &count), E_INVALIDARG);
    // A result that is not the stream's own.
    ComPtr<IMFAsyncResult> foreign;
    ASSERT_EQ(platform::MFCreateAsyncResult(nullptr, &callback, nullptr, foreign.Put()), S_OK);
    EXPECT_EQ(stream->EndWrite(foreign.Get(), &count), E_INVALIDARG);
    EXPECT_EQ(count, 55u);
    EXPECT_EQ(stream->Seek(msoBegin, 0, 2, nullptr), E_INVALIDARG);
}

TEST(MemoryByteStream, ClosedStreamRefusesUseButKeepsItsBytes)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(4);
    stream->Write(data.data(), 4, nullptr);
    EXPECT_EQ(stream->Flush(), S_OK);
    EXPECT_EQ(stream->Close(), S_OK);
    BYTE buffer[4] = {};
    CompletionRecorder callback;
    EXPECT_EQ(stream->Read(buffer, 4, nullptr), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->Write(buffer, 4, nullptr), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->BeginWrite(buffer, 4, &callback, nullptr), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->SetCurrentPosition(0), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->Seek(msoBegin, 0, 0, nullptr), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->SetLength(0), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->Flush(), MF_E_SHUTDOWN);
    EXPECT_TRUE(callback.results.empty());
    EXPECT_EQ(Length(stream.Get()), 4u);
    EXPECT_EQ(Position(stream.Get()), 4u);
    EXPECT_EQ(ReadAll(stream.Get(), 4), data);
}

TEST(MemoryByteStream, NullOutArgumentsAreRefused)
{
    auto stream = MemoryIMFByteStream::Create();
    EXPECT_EQ(stream->GetLength(nullptr), E_POINTER);
    EXPECT_EQ(stream->GetCapabilities(nullptr), E_POINTER);
    EXPECT_EQ(stream->GetCurrentPosition(nullptr), E_POINTER);
    EXPECT_EQ(stream->IsEndOfStream(nullptr), E_POINTER);
    EXPECT_EQ(stream->Write(nullptr, 4, nullptr), E_POINTER);
    EXPECT_EQ(stream->Write(nullptr, 0, nullptr), S_OK);
    EXPECT_EQ(Length(stream.Get()), 0u);
}

TEST(MemoryByteStream, ReferenceCountAndInterfaces)
{
    IMFByteStream* stream = MemoryIMFByteStream::Create().Detach();
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(stream->Release(), 1u);

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(stream->QueryInterface(IID_IMFCaptureEngineOnEventCallback, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    for (const IID* iid : {&IID_IMFByteStream, &IID_IUnknown}) {
        ASSERT_EQ(stream->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<void*>(stream));
        EXPECT_EQ(stream->Release(), 1u);
    }
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(MemoryByteStream, ReaderSeesAConsistentPrefixWhileAWriterAppends)
{
    auto stream = MemoryIMFByteStream::Create();
    constexpr ULONG kChunk = 4096;
    constexpr int kChunks = 256;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<BYTE> chunk(kChunk);
        for (int i = 0; i < kChunks; ++i) {
            for (ULONG j = 0; j < kChunk; ++j) chunk[j] = static_cast<BYTE>((i * kChunk + j) % 251);
            stream->Write(chunk.data(), kChunk, nullptr);
        }
        done = true;
    });
    std::vector<BYTE> buffer(kChunk * kChunks);
    bool finished = false;
    while (!finished) {
        finished = done;
        QWORD length = 0;
        stream->GetLength(&length);
        ULONG read = 0;
        stream->ReadFromStart(buffer.data(), static_cast<ULONG>(length), &read);
        ASSERT_EQ(read, length);
        for (ULONG k = 0; k < read; ++k) ASSERT_EQ(buffer[k], static_cast<BYTE>(k % 251)) << "at " << k;
    }
    writer.join();
    EXPECT_EQ(Length(stream.Get()), static_cast<QWORD>(kChunk) * kChunks);
}

TEST(MemoryByteStream, ReleasedFromAnotherThreadWhileUsed)
{
    for (int round = 0; round < 50; ++round) {
        IMFByteStream* stream = MemoryIMFByteStream::Create().Detach();
        stream->AddRef();
        std::thread other([stream] {
            BYTE byte = 1;
            stream->Write(&byte, 1, nullptr);
            stream->Release();
        });
        QWORD length = 0;
        stream->GetLength(&length);
        other.join();
        EXPECT_EQ(stream->Release(), 0u);
    }
}

}  // namespace
}  // namespace lumicap
