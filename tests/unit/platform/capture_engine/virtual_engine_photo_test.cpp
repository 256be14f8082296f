#include "support/virtual_engine_support.h"

#include "stream/memory_byte_stream.h"

#include <csetjmp>
#include <cstdio>

// The portable Win32 subset already defines INT32; this keeps libjpeg from defining it again.
#define XMD_H
#include <jpeglib.h>

namespace lumicap::virt::engine_tests {
namespace {

using VirtualEnginePhoto = EngineTest;

struct DecodedJpeg {
    bool ok = false;
    UINT32 width = 0;
    UINT32 height = 0;
    bool progressive = true;
    UINT16 lumaQuantizerDc = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB

    uint32_t At(UINT32 x, UINT32 y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct DecodeErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// Holds only plain C objects, so jumping back out of libjpeg skips no destructor.
bool DecodeInto(const std::vector<BYTE>& data, DecodedJpeg* decoded, std::vector<JSAMPLE>* row)
{
    jpeg_decompress_struct cinfo;
    DecodeErrors errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<DecodeErrors*>(c->err)->jump, 1); };
    errors.base.output_message = [](j_common_ptr) {};
    // Warnings (a truncated file among them) count as errors: a photo must decode cleanly.
    errors.base.emit_message = [](j_common_ptr c, int level) {
        if (level < 0) std::longjmp(reinterpret_cast<DecodeErrors*>(c->err)->jump, 1);
    };
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    decoded->progressive = cinfo.progressive_mode;
    if (cinfo.quant_tbl_ptrs[0]) decoded->lumaQuantizerDc = cinfo.quant_tbl_ptrs[0]->quantval[0];
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    decoded->width = cinfo.output_width;
    decoded->height = cinfo.output_height;
    row->resize(static_cast<size_t>(cinfo.output_width) * 3);
    decoded->pixels.reserve(static_cast<size_t>(cinfo.output_width) * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row->data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (UINT32 x = 0; x < cinfo.output_width; ++x) {
            const JSAMPLE* rgb = row->data() + 3 * x;
            decoded->pixels.push_back((uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2]);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Decodes with libjpeg; any decoding error (a truncated file included) leaves ok false.
DecodedJpeg Decode(const std::vector<BYTE>& data)
{
    DecodedJpeg decoded;
    if (data.size() < 4) return decoded;
    std::vector<JSAMPLE> row;
    decoded.ok = DecodeInto(data, &decoded, &row);
    return decoded;
}

bool Near(uint32_t actual, uint32_t expected, int tolerance = 24)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance) return false;
    }
    return true;
}

// The frame index shown in the counter cells of a decoded photo.
uint64_t CounterOf(const DecodedJpeg& photo)
{
    uint64_t index = 0;
    for (UINT32 cell = 0; cell < 32 && cell * 8 + 8 <= photo.width; ++cell) {
        if (((photo.At(cell * 8 + 4, 4) >> 8) & 0xFF) > 128) index |= 1ull << cell;
    }
    return index;
}

// Compares the middle of every colour bar, half way down, with the pattern.
void ExpectBars(const DecodedJpeg& photo, uint64_t frame)
{
    for (UINT32 bar = 0; bar < 8; ++bar) {
        const UINT32 x = (2 * bar + 1) * photo.width / 16;
        const UINT32 y = photo.height / 2;
        EXPECT_TRUE(Near(photo.At(x, y), TestPatternPixel(x, y, photo.width, photo.height, frame)))
            << "bar " << bar << " shows " << std::hex << photo.At(x, y);
    }
}

TEST_F(VirtualEnginePhoto, WritesABaselineJpegOfThePhotoStreamsSizeInChunks)
{
    StartEngine();
    auto output = RecordingByteStream::Create();
    // Large enough that the JPEG needs more than one 64 KiB chunk.
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 2592, 1944).Get(), output.Get());
    ASSERT_EQ(engine_->TakePhoto(), S_OK);
    RecordedEvent taken{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken));
    EXPECT_EQ(taken.status, S_OK);
    EXPECT_NE(taken.thread, std::this_thread::get_id());

    const std::vector<ULONG> chunks = output->Chunks();
    EXPECT_GT(chunks.size(), 1u);
    for (ULONG chunk : chunks) EXPECT_LE(chunk, 64u * 1024);
    const DecodedJpeg photo = Decode(output->Data());
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.width, 2592u);
    EXPECT_EQ(photo.height, 1944u);
    EXPECT_FALSE(photo.progressive);
    EXPECT_EQ(photo.lumaQuantizerDc, 3u);  // libjpeg's table scaled for quality 90
    EXPECT_EQ(CounterOf(photo), 0u);      // no preview ran: the first frame
    ExpectBars(photo, 0);
}

// The library's stream, counting the calls each write mode makes.
class CountingStream final : public MemoryIMFByteStream {
public:
    std::atomic<unsigned> writes{0};
    std::atomic<unsigned> beginWrites{0};
    std::atomic<unsigned> seeks{0};

    HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count, ULONG* written) override
    {
        ++writes;
        return MemoryIMFByteStream::Write(data, count, written);
    }
    HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE* data, ULONG count, IMFAsyncCallback* callback,
                                         IUnknown* state) override
    {
        ++beginWrites;
        return MemoryIMFByteStream::BeginWrite(data, count, callback, state);
    }
    HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN origin, LONGLONG offset, DWORD flags,
                                   QWORD* position) override
    {
        ++seeks;
        return MemoryIMFByteStream::Seek(origin, offset, flags, position);
    }
};

TEST_F(VirtualEnginePhoto, EveryWriteModeGivesTheSameJpeg)
{
    std::vector<BYTE> sequential;
    for (PhotoWriteMode mode : {PhotoWriteMode::kSequential, PhotoWriteMode::kAsync, PhotoWriteMode::kPatched}) {
        SetPhotoWriteMode(mode);
        // A fresh engine photographs its first frame, so each mode encodes the same picture.
        engine_.Reset();
        callback_ = RecordingCallback::Create();
        StartEngine();
        auto output = ComPtr<CountingStream>::Attach(new CountingStream());
        SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 2592, 1944).Get(), output.Get());
        ASSERT_EQ(engine_->TakePhoto(), S_OK);
        RecordedEvent taken{};
        ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken));
        ASSERT_EQ(taken.status, S_OK) << static_cast<int>(mode);

        QWORD length = 0;
        QWORD position = 0;
        output->GetLength(&length);
        output->GetCurrentPosition(&position);
        EXPECT_EQ(position, length) << "the writer leaves the stream at its end";
        std::vector<BYTE> bytes(static_cast<size_t>(length));
        ULONG read = 0;
        ASSERT_EQ(output->ReadFromStart(bytes.data(), static_cast<ULONG>(length), &read), S_OK);
        switch (mode) {
        case PhotoWriteMode::kSequential:
            EXPECT_GT(output->writes.load(), 1u);
            EXPECT_EQ(output->beginWrites.load() + output->seeks.load(), 0u);
            sequential = bytes;
            break;
        case PhotoWriteMode::kAsync:
            EXPECT_GT(output->beginWrites.load(), 1u);
            EXPECT_EQ(output->seeks.load(), 0u);
            break;
        case PhotoWriteMode::kPatched:
            EXPECT_EQ(output->seeks.load(), 1u);
            break;
        }
        EXPECT_EQ(bytes, sequential) << static_cast<int>(mode);
        const DecodedJpeg photo = Decode(bytes);
        ASSERT_TRUE(photo.ok);
        EXPECT_EQ(photo.width, 2592u);
        ExpectBars(photo, 0);
    }
}

TEST_F(VirtualEnginePhoto, PhotoSizeFallsBackToTheCurrentDeviceType)
{
    StartEngine();
    auto output = RecordingByteStream::Create();
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 0, 0).Get(), output.Get());
    ASSERT_EQ(engine_->TakePhoto(), S_OK);
    RecordedEvent taken{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken));
    EXPECT_EQ(taken.status, S_OK);
    const DecodedJpeg photo = Decode(output->Data());
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.width, 160u);
    EXPECT_EQ(photo.height, 120u);
    EXPECT_EQ(output->Chunks().size(), 1u);
}

TEST_F(VirtualEnginePhoto, ShowsTheFrameThePreviewIsAt)
{
    StartEngine();
    StartPreviewAt(64, 48, 60);
    ASSERT_TRUE(WaitUntil([&] { return GetEngineState().framesRendered >= 3; }));
    auto output = RecordingByteStream::Create();
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 320, 240).Get(), output.Get());
    const uint64_t before = GetEngineState().framesRendered;
    ASSERT_EQ(engine_->TakePhoto(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN));
    const uint64_t after = GetEngineState().framesRendered;
    const DecodedJpeg photo = Decode(output->Data());
    ASSERT_TRUE(photo.ok);
    const uint64_t frame = CounterOf(photo);
    EXPECT_GE(frame + 1, before);
    EXPECT_LT(frame, after);
    ExpectBars(photo, frame);
}

// A sensor delivers each frame once: photos asked for faster than frames come still differ.
TEST_F(VirtualEnginePhoto, BackToBackPhotosShowFramesOfTheirOwn)
{
    StartEngine();
    std::vector<uint64_t> frames;
    for (int i = 0; i < 3; ++i) {
        auto output = RecordingByteStream::Create();
        SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 64, 48).Get(), output.Get());
        ASSERT_EQ(engine_->TakePhoto(), S_OK);
        ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, nullptr, frames.size() + 1));
        const DecodedJpeg photo = Decode(output->Data());
        ASSERT_TRUE(photo.ok);
        frames.push_back(CounterOf(photo));
        ExpectBars(photo, frames.back());
    }
    // No preview runs, so no frame is drawn in between.
    EXPECT_EQ(frames, (std::vector<uint64_t>{0, 1, 2}));
}

TEST_F(VirtualEnginePhoto, RefusedWithoutStreamOrOutput)
{
    StartEngine();
    EXPECT_EQ(engine_->TakePhoto(), MF_E_INVALIDREQUEST);
    auto output = RecordingByteStream::Create();
    ComPtr<IMFCapturePhotoSink> sink = PhotoSink();
    ASSERT_TRUE(sink);
    ASSERT_EQ(sink->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO,
                              SinkType(MFVideoFormat_RGB32, 32, 24).Get(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(engine_->TakePhoto(), MF_E_INVALIDREQUEST);  // no output yet
    ASSERT_EQ(sink->SetOutputByteStream(output.Get()), S_OK);
    EXPECT_EQ(output->References(), 2u);
    ASSERT_EQ(sink->RemoveAllStreams(), S_OK);
    EXPECT_EQ(output->References(), 1u);  // given back with the streams
    EXPECT_EQ(engine_->TakePhoto(), MF_E_INVALIDREQUEST);
    ASSERT_EQ(sink->SetOutputByteStream(output.Get()), S_OK);
    EXPECT_EQ(engine_->TakePhoto(), MF_E_INVALIDREQUEST);  // output but no stream
    EXPECT_EQ(output->WriteCalls(), 0u);
    PhotoSinkState state = GetPhotoSinkState();
    EXPECT_EQ(state.removeAllStreamsCalls, 1u);
    EXPECT_TRUE(state.streams.empty());
    EXPECT_EQ(state.outputByteStream.Get(), static_cast<IMFByteStream*>(output.Get()));
}

TEST_F(VirtualEnginePhoto, FailureStatusWritesNothingAndIsUsedOnce)
{
    StartEngine();
    auto output = RecordingByteStream::Create();
    SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 64, 48).Get(), output.Get());
    SetNextEventStatus(MF_CAPTURE_ENGINE_PHOTO_TAKEN, E_ABORT);
    ASSERT_EQ(engine_->TakePhoto(), S_OK);
    RecordedEvent taken{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken));
    EXPECT_EQ(taken.status, E_ABORT);
    EXPECT_EQ(output->WriteCalls(), 0u);

    ASSERT_EQ(engine_->TakePhoto(), S_OK);
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken, 2));
    EXPECT_EQ(taken.status, S_OK);
    EXPECT_TRUE(Decode(output->Data()).ok);
}

TEST_F(VirtualEnginePhoto, WriteTroubleIsReportedOrWorkedAround)
{
    struct Case {
        const char* name;
        unsigned failNth;
        HRESULT failWith;
        ULONG limit;
        HRESULT expected;
        bool decodes;
    };
    const Case cases[] = {
        {"first write fails", 1, E_ACCESSDENIED, ~0u, E_ACCESSDENIED, false},
        {"second write fails", 2, HRESULT_FROM_WIN32(112), 1000, HRESULT_FROM_WIN32(112), false},
        {"short writes are continued", 0, S_OK, 1000, S_OK, true},
        {"a stream that takes nothing", 0, S_OK, 0, E_FAIL, false},
    };
    StartEngine();
    size_t photos = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto output = RecordingByteStream::Create();
        output->FailWrite(c.failNth, c.failWith);
        output->LimitWrite(c.limit);
        SetPhotoOutput(SinkType(MFVideoFormat_RGB32, 640, 480).Get(), output.Get());
        ASSERT_EQ(engine_->TakePhoto(), S_OK);
        RecordedEvent taken{};
        ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PHOTO_TAKEN, &taken, ++photos));
        EXPECT_EQ(taken.status, c.expected);
        EXPECT_EQ(Decode(output->Data()).ok, c.decodes);
        if (c.failNth) {
            EXPECT_EQ(output->WriteCalls(), c.failNth);  // nothing written after a failure
        }
        if (c.decodes) {
            EXPECT_GT(output->Chunks().size(), 1u);
        }
    }
}

TEST_F(VirtualEnginePhoto, SinkCallsCanFailAndChangeNothing)
{
    StartEngine();
    ComPtr<IMFCapturePhotoSink> sink = PhotoSink();
    ASSERT_TRUE(sink);
    auto output = RecordingByteStream::Create();
    ComPtr<IMFMediaType> type = SinkType(MFVideoFormat_RGB32, 32, 24);
    FailOperation("IMFCapturePhotoSink::AddStream", E_OUTOFMEMORY, 1);
    EXPECT_EQ(sink->AddStream(0, type.Get(), nullptr, nullptr), E_OUTOFMEMORY);
    FailOperation("IMFCapturePhotoSink::SetOutputByteStream", E_OUTOFMEMORY, 1);
    EXPECT_EQ(sink->SetOutputByteStream(output.Get()), E_OUTOFMEMORY);
    EXPECT_EQ(output->References(), 1u);
    ASSERT_EQ(sink->AddStream(0, type.Get(), nullptr, nullptr), S_OK);
    ASSERT_EQ(sink->SetOutputByteStream(output.Get()), S_OK);
    FailOperation("IMFCapturePhotoSink::RemoveAllStreams", E_OUTOFMEMORY, 1);
    EXPECT_EQ(sink->RemoveAllStreams(), E_OUTOFMEMORY);
    PhotoSinkState state = GetPhotoSinkState();
    EXPECT_EQ(state.removeAllStreamsCalls, 0u);
    EXPECT_EQ(state.streams.size(), 1u);
    EXPECT_TRUE(state.outputByteStream);
    state = PhotoSinkState{};

    EXPECT_EQ(sink->AddStream(0, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(sink->SetOutputByteStream(nullptr), E_POINTER);
    EXPECT_EQ(sink->SetOutputFileName(TEXT("photo.jpg")), E_NOTIMPL);
    EXPECT_EQ(sink->SetSampleCallback(nullptr), E_NOTIMPL);
}

TEST_F(VirtualEnginePhoto, OutputStreamIsHeldUntilReplacedOrTheEngineDies)
{
    StartEngine();
    auto first = RecordingByteStream::Create();
    auto second = RecordingByteStream::Create();
    ComPtr<IMFCapturePhotoSink> sink = PhotoSink();
    ASSERT_TRUE(sink);
    ASSERT_EQ(sink->SetOutputByteStream(first.Get()), S_OK);
    EXPECT_EQ(first->References(), 2u);
    ASSERT_EQ(sink->SetOutputByteStream(second.Get()), S_OK);
    EXPECT_EQ(first->References(), 1u);
    EXPECT_EQ(second->References(), 2u);
    // The host may keep the sink longer than the engine; the stream still goes back with the engine.
    engine_.Reset();
    EXPECT_EQ(second->References(), 1u);
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
