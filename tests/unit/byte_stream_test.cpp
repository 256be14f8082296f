#include "stream/memory_byte_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
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

std::vector<BYTE> ReadAll(IMFByteStream* stream, ULONG count)
{
    std::vector<BYTE> buffer(count, 0xEE);
    ULONG read = 0xFFFFFFFF;
    EXPECT_EQ(stream->Read(buffer.data(), count, &read), S_OK);
    buffer.resize(read);
    return buffer;
}

TEST(MemoryByteStream, NewStreamIsEmptyWithoutPosition)
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
    EXPECT_EQ(capabilities, static_cast<DWORD>(MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE));
}

struct ReadCase {
    std::vector<ULONG> writes;
    ULONG readCount;
    ULONG expectedRead;
};

class StreamReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(StreamReads, ReadCopiesFromTheFirstByteEveryTime)
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
    const std::vector<BYTE> expected(written.begin(), written.begin() + c.expectedRead);
    EXPECT_EQ(ReadAll(stream.Get(), c.readCount), expected);
    // Nothing moves: a second read starts from the first byte again.
    EXPECT_EQ(ReadAll(stream.Get(), c.readCount), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StreamReads,
                         ::testing::Values(ReadCase{{3, 5}, 100, 8}, ReadCase{{8}, 4, 4}, ReadCase{{}, 16, 0},
                                           ReadCase{{0}, 16, 0}, ReadCase{{5, 0, 5}, 10, 10},
                                           // Larger than the first block, across block boundaries.
                                           ReadCase{{70000, 70000, 200000}, 340000, 340000},
                                           ReadCase{{65536, 1}, 65537, 65537}));

TEST(MemoryByteStream, ReadIntoNullBufferReportsFalseAndLeavesCountAlone)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(8);
    stream->Write(data.data(), 8, nullptr);
    ULONG read = 77;
    EXPECT_EQ(stream->Read(nullptr, 8, &read), S_FALSE);
    EXPECT_EQ(read, 77u);
}

TEST(MemoryByteStream, SetLengthEmptiesOnlyForZero)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(10);
    stream->Write(data.data(), 10, nullptr);
    EXPECT_EQ(stream->SetLength(5), S_OK);
    EXPECT_EQ(Length(stream.Get()), 10u);
    EXPECT_EQ(stream->SetLength(0), S_OK);
    EXPECT_EQ(Length(stream.Get()), 0u);
    // The stream is usable again, from an empty start.
    std::vector<BYTE> again = Bytes(3, 50);
    stream->Write(again.data(), 3, nullptr);
    EXPECT_EQ(ReadAll(stream.Get(), 10), again);
}

TEST(MemoryByteStream, PositionAndEndStayFixedWithUnreadBytes)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(6);
    stream->Write(data.data(), 6, nullptr);
    EXPECT_EQ(stream->SetCurrentPosition(3), S_OK);
    QWORD position = 99;
    stream->GetCurrentPosition(&position);
    EXPECT_EQ(position, 0u);
    BOOL end = FALSE;
    stream->IsEndOfStream(&end);
    EXPECT_TRUE(end);
    // Writes still append, wherever the position was said to be.
    std::vector<BYTE> more = Bytes(2, 100);
    stream->Write(more.data(), 2, nullptr);
    data.insert(data.end(), more.begin(), more.end());
    EXPECT_EQ(ReadAll(stream.Get(), 100), data);
}

TEST(MemoryByteStream, UnsupportedOperationsReportFalseAndChangeNothing)
{
    auto stream = MemoryIMFByteStream::Create();
    std::vector<BYTE> data = Bytes(4);
    stream->Write(data.data(), 4, nullptr);
    BYTE buffer[4] = {};
    ULONG count = 55;
    QWORD position = 66;
    EXPECT_EQ(stream->BeginRead(buffer, 4, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(stream->EndRead(nullptr, &count), S_FALSE);
    EXPECT_EQ(stream->BeginWrite(buffer, 4, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(stream->EndWrite(nullptr, &count), S_FALSE);
    EXPECT_EQ(stream->Seek(msoBegin, 2, 0, &position), S_FALSE);
    EXPECT_EQ(count, 55u);
    EXPECT_EQ(position, 66u);
    EXPECT_EQ(stream->Flush(), S_OK);
    EXPECT_EQ(stream->Close(), S_OK);
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
        stream->Read(buffer.data(), static_cast<ULONG>(length), &read);
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
