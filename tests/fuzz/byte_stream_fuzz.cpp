// Random operation sequences on MemoryIMFByteStream, checked against a plain byte vector and a
// position: writes overwrite and extend from the position, reads copy from it, seeks stay within the
// stream, SetLength truncates or extends with zeros, the asynchronous forms do the same through their
// callback, and Close ends it all but the library's own read from the start. Reads also check that no
// byte past the copied ones is touched.
#include "fuzz_input.h"

#include "stream/memory_byte_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using lumicap::ComPtr;
using lumicap::MemoryIMFByteStream;
using lumicap::fuzz::Input;
using lumicap::fuzz::Require;

struct Model {
    std::vector<BYTE> bytes;
    size_t position = 0;
    bool closed = false;
};

// Keeps the one async result its stream hands to it.
class Completion final : public IMFAsyncCallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetParameters(DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult* result) override
    {
        Require(!result_, "one callback per call");
        result_ = ComPtr<IMFAsyncResult>::Share(result);
        return S_OK;
    }
    ComPtr<IMFAsyncResult> Take() { return std::move(result_); }

private:
    ComPtr<IMFAsyncResult> result_;
};

// Enough to reach the stream's third block (64, 64 and 128 KiB), small enough to stay fast.
constexpr size_t kMaxLength = 192 * 1024;
constexpr BYTE kCanary = 0xA5;

// Bytes for a write: a pattern seeded by the input, its first bytes taken from the input, so long
// writes are cheap to express.
std::vector<BYTE> WriteData(Input& input, size_t count)
{
    std::vector<BYTE> data(count);
    const BYTE seed = input.Byte();
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<BYTE>(seed + i * 131 + (i >> 8));
    const size_t fromInput = std::min(count, input.Left());
    for (size_t i = 0; i < fromInput && i < 64; ++i) data[i] = input.Byte();
    return data;
}

size_t WriteLength(Input& input)
{
    switch (input.Byte() % 8) {
    case 0:
    case 1:
    case 2:
        return input.Byte();
    case 3:
    case 4:
        return input.Word() % 4096;
    case 5:
    case 6:
        return input.Word();
    default:
        // Around the block sizes: 64 KiB and twice that, give or take a little.
        return (size_t{1} << (16 + input.Byte() % 2)) + (input.Byte() % 5) - 2;
    }
}

// A write or read through Write/Read or through BeginX/EndX, chosen by the input.
HRESULT Transfer(MemoryIMFByteStream& stream, bool write, BYTE* buffer, ULONG count, ULONG* done, bool async)
{
    if (!async) return write ? stream.Write(buffer, count, done) : stream.Read(buffer, count, done);
    Completion completion;
    const HRESULT hr =
        write ? stream.BeginWrite(buffer, count, &completion, nullptr) : stream.BeginRead(buffer, count, &completion, nullptr);
    ComPtr<IMFAsyncResult> result = completion.Take();
    Require(SUCCEEDED(hr) == static_cast<bool>(result), "a call is completed exactly when it succeeds");
    if (FAILED(hr)) return hr;
    ULONG other = 0;
    Require((write ? stream.EndRead(result.Get(), &other) : stream.EndWrite(result.Get(), &other)) == E_INVALIDARG,
            "the other End refuses the result");
    ULONG count32 = 0xDEADBEEF;
    const HRESULT ended = write ? stream.EndWrite(result.Get(), &count32) : stream.EndRead(result.Get(), &count32);
    if (done) *done = count32;
    return ended;
}

void Write(MemoryIMFByteStream& stream, Model& model, Input& input)
{
    const size_t count = WriteLength(input);
    if (model.position + count > kMaxLength) return;
    std::vector<BYTE> data = WriteData(input, count);
    ULONG written = 0xDEADBEEF;
    const bool reportWritten = input.Byte() % 2;
    const bool async = input.Byte() % 3 == 0;
    const HRESULT hr = Transfer(stream, true, data.data(), static_cast<ULONG>(count),
                                reportWritten || async ? &written : nullptr, async);
    if (model.closed) {
        Require(hr == MF_E_SHUTDOWN, "a closed stream refuses writes");
        return;
    }
    Require(hr == S_OK, "Write succeeds");
    if (reportWritten || async) Require(written == count, "Write reports every byte");
    if (model.bytes.size() < model.position + count) model.bytes.resize(model.position + count);
    std::copy(data.begin(), data.end(), model.bytes.begin() + static_cast<std::ptrdiff_t>(model.position));
    model.position += count;
}

void Read(MemoryIMFByteStream& stream, Model& model, Input& input)
{
    const size_t left = model.bytes.size() - model.position;
    size_t count = 0;
    switch (input.Byte() % 3) {
    case 0:
        count = left;
        break;
    case 1:
        count = input.Word() % (left + 2);
        break;
    default:
        count = left + input.Byte();
        break;
    }
    const bool fromStart = input.Byte() % 4 == 0;
    const bool async = input.Byte() % 3 == 0;
    std::vector<BYTE> buffer(count + 16, kCanary);
    ULONG read = 0xDEADBEEF;
    HRESULT hr = fromStart ? stream.ReadFromStart(buffer.data(), static_cast<ULONG>(count), &read)
                           : Transfer(stream, false, buffer.data(), static_cast<ULONG>(count), &read, async);
    if (model.closed && !fromStart) {
        Require(hr == MF_E_SHUTDOWN, "a closed stream refuses reads");
        return;
    }
    Require(hr == S_OK, "Read succeeds");
    const size_t from = fromStart ? 0 : model.position;
    const size_t expected = std::min(count, model.bytes.size() - from);
    Require(read == expected, "Read reports min(count, bytes left)");
    Require(expected == 0 || std::memcmp(buffer.data(), model.bytes.data() + from, expected) == 0,
            "Read copies from the position");
    for (size_t i = expected; i < buffer.size(); ++i) Require(buffer[i] == kCanary, "Read writes past its bytes");
    if (!fromStart) model.position += expected;
}

// SetCurrentPosition and both Seek origins, in and out of range.
void Move(MemoryIMFByteStream& stream, Model& model, Input& input)
{
    const LONGLONG offset = static_cast<int16_t>(input.Word()) * (input.Byte() % 2 ? 1 : 7);
    const LONGLONG base = input.Byte() % 2 ? 0 : static_cast<LONGLONG>(model.position);
    const LONGLONG target = base + offset;
    HRESULT hr = S_OK;
    QWORD reported = 0xDEADBEEF;
    if (base == 0 && offset >= 0 && input.Byte() % 2) {
        hr = stream.SetCurrentPosition(static_cast<QWORD>(offset));
        reported = static_cast<QWORD>(offset);
    } else {
        hr = stream.Seek(base == 0 ? msoBegin : msoCurrent, offset, 0, &reported);
    }
    if (model.closed) {
        Require(hr == MF_E_SHUTDOWN, "a closed stream refuses moves");
        return;
    }
    const bool inside = target >= 0 && target <= static_cast<LONGLONG>(model.bytes.size());
    Require(SUCCEEDED(hr) == inside, "moves succeed exactly within the stream");
    if (!inside) {
        Require(hr == E_INVALIDARG, "a move outside is an invalid argument");
        return;
    }
    Require(reported == static_cast<QWORD>(target), "the new position is reported");
    model.position = static_cast<size_t>(target);
}

void SetLength(MemoryIMFByteStream& stream, Model& model, Input& input)
{
    QWORD length = 0;
    switch (input.Byte() % 4) {
    case 0:
        length = 0;
        break;
    case 1:
        length = MemoryIMFByteStream::kMaxLength + 1 + input.Word();
        break;
    default:
        length = std::min<QWORD>(input.Word() * (input.Byte() % 4 + 1), kMaxLength);
        break;
    }
    const HRESULT hr = stream.SetLength(length);
    if (length > MemoryIMFByteStream::kMaxLength) {
        Require(hr == static_cast<HRESULT>(0x80070216), "a length past the longest overflows");
        return;
    }
    if (model.closed) {
        Require(hr == MF_E_SHUTDOWN, "a closed stream refuses SetLength");
        return;
    }
    Require(hr == S_OK, "SetLength");
    model.bytes.resize(static_cast<size_t>(length), 0);
    model.position = std::min(model.position, model.bytes.size());
}

void Inspect(MemoryIMFByteStream& stream, const Model& model)
{
    QWORD length = 0;
    Require(stream.GetLength(&length) == S_OK && length == model.bytes.size(), "GetLength is the model's size");
    QWORD position = 1;
    Require(stream.GetCurrentPosition(&position) == S_OK && position == model.position, "the model's position");
    BOOL end = FALSE;
    Require(stream.IsEndOfStream(&end) == S_OK && (end != FALSE) == (model.position == model.bytes.size()),
            "at the end exactly when the position is");
    DWORD capabilities = 0;
    Require(stream.GetCapabilities(&capabilities) == S_OK &&
                capabilities == (MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE | MFBYTESTREAM_IS_SEEKABLE),
            "readable, writable and seekable");
    Require(stream.GetLength(nullptr) == E_POINTER && stream.GetCapabilities(nullptr) == E_POINTER &&
                stream.GetCurrentPosition(nullptr) == E_POINTER && stream.IsEndOfStream(nullptr) == E_POINTER,
            "null out arguments are refused");
}

// Calls that must leave the bytes and the position alone whatever they are given.
void Harmless(MemoryIMFByteStream& stream, Model& model, Input& input)
{
    const HRESULT closed = model.closed ? MF_E_SHUTDOWN : S_OK;
    switch (input.Byte() % 8) {
    case 0:
        Require(stream.Seek(msoBegin, 0, 2u << (input.Byte() % 30), nullptr) == E_INVALIDARG, "Seek with a bad flag");
        break;
    case 1:
        Require(stream.Flush() == closed, "Flush");
        break;
    case 2:
        // Rarely: closing ends the stream for good.
        if (input.Byte() % 8 == 0) {
            Require(stream.Close() == S_OK, "Close");
            model.closed = true;
        }
        break;
    case 3:
        Require(stream.Read(nullptr, 1 + input.Word(), nullptr) == (model.closed ? MF_E_SHUTDOWN : E_POINTER),
                "Read into null");
        break;
    case 4:
        Require(stream.Write(nullptr, 1 + input.Byte(), nullptr) == E_POINTER, "Write from null");
        break;
    case 5:
        Require(stream.Write(nullptr, 0, nullptr) == closed, "Write of nothing");
        break;
    case 6: {
        IUnknown* object = nullptr;
        Require(stream.QueryInterface(IID_IMFByteStream, reinterpret_cast<void**>(&object)) == S_OK && object,
                "QueryInterface(IMFByteStream)");
        object->Release();
        Require(stream.QueryInterface(IID_IMFMediaType, reinterpret_cast<void**>(&object)) == E_NOINTERFACE &&
                    !object,
                "QueryInterface of another interface");
        break;
    }
    default: {
        ULONG count = 0;
        Require(stream.BeginRead(nullptr, 0, nullptr, nullptr) == E_INVALIDARG &&
                    stream.BeginWrite(nullptr, 0, nullptr, nullptr) == E_INVALIDARG &&
                    stream.EndRead(nullptr, &count) == E_INVALIDARG && stream.EndWrite(nullptr, &count) == E_INVALIDARG,
                "asynchronous calls without a callback or result");
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input(data, size);
    lumicap::ComPtr<MemoryIMFByteStream> created = MemoryIMFByteStream::Create();
    Require(static_cast<bool>(created), "Create");
    MemoryIMFByteStream* stream = created.Get();
    Model model;
    while (!input.Empty()) {
        switch (input.Byte() % 8) {
        case 0:
        case 1:
            Write(*stream, model, input);
            break;
        case 2:
            Read(*stream, model, input);
            break;
        case 3:
            SetLength(*stream, model, input);
            break;
        case 4:
        case 5:
            Move(*stream, model, input);
            break;
        case 6:
            Harmless(*stream, model, input);
            break;
        default: {
            // References taken and given back in pairs never free the stream early.
            const unsigned extra = input.Byte() % 4;
            for (unsigned i = 0; i < extra; ++i) stream->AddRef();
            for (unsigned i = 0; i < extra; ++i) Require(stream->Release() >= 1, "early release");
            break;
        }
        }
        Inspect(*stream, model);
    }
    return 0;
}
