// Random operation sequences on MemoryIMFByteStream, checked against a plain byte vector: every write
// appends, every read copies from the first byte, SetLength(0) empties, and nothing else changes the
// bytes. Reads also check that no byte past the copied ones is touched.
#include "fuzz_input.h"

#include "stream/memory_byte_stream.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using lumicap::MemoryIMFByteStream;
using lumicap::fuzz::Input;
using lumicap::fuzz::Require;

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

void Write(MemoryIMFByteStream& stream, std::vector<BYTE>& model, Input& input)
{
    const size_t count = WriteLength(input);
    if (model.size() + count > kMaxLength) return;
    const std::vector<BYTE> data = WriteData(input, count);
    ULONG written = 0xDEADBEEF;
    const bool reportWritten = input.Byte() % 2;
    const HRESULT hr = stream.Write(data.data(), static_cast<ULONG>(count), reportWritten ? &written : nullptr);
    Require(hr == S_OK, "Write succeeds");
    if (reportWritten) Require(written == count, "Write reports every byte");
    model.insert(model.end(), data.begin(), data.end());
}

void Read(MemoryIMFByteStream& stream, const std::vector<BYTE>& model, Input& input)
{
    size_t count = 0;
    switch (input.Byte() % 3) {
    case 0:
        count = model.size();
        break;
    case 1:
        count = input.Word() % (model.size() + 2);
        break;
    default:
        count = model.size() + input.Byte();
        break;
    }
    std::vector<BYTE> buffer(count + 16, kCanary);
    ULONG read = 0xDEADBEEF;
    Require(stream.Read(buffer.data(), static_cast<ULONG>(count), &read) == S_OK, "Read succeeds");
    const size_t expected = std::min(count, model.size());
    Require(read == expected, "Read reports min(count, length)");
    Require(expected == 0 || std::memcmp(buffer.data(), model.data(), expected) == 0, "Read copies from the first byte");
    for (size_t i = expected; i < buffer.size(); ++i) Require(buffer[i] == kCanary, "Read writes past its bytes");
}

void Inspect(MemoryIMFByteStream& stream, const std::vector<BYTE>& model)
{
    QWORD length = 0;
    Require(stream.GetLength(&length) == S_OK && length == model.size(), "GetLength is the model's size");
    QWORD position = 1;
    Require(stream.GetCurrentPosition(&position) == S_OK && position == 0, "no position");
    BOOL end = FALSE;
    Require(stream.IsEndOfStream(&end) == S_OK && end == TRUE, "always at the end");
    DWORD capabilities = 0;
    Require(stream.GetCapabilities(&capabilities) == S_OK &&
                capabilities == (MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE),
            "readable and writable");
    Require(stream.GetLength(nullptr) == E_POINTER && stream.GetCapabilities(nullptr) == E_POINTER &&
                stream.GetCurrentPosition(nullptr) == E_POINTER && stream.IsEndOfStream(nullptr) == E_POINTER,
            "null out arguments are refused");
}

// Calls that must leave the bytes alone whatever they are given.
void Harmless(MemoryIMFByteStream& stream, Input& input)
{
    QWORD position = 0;
    switch (input.Byte() % 8) {
    case 0:
        Require(stream.SetCurrentPosition(input.Word()) == S_OK, "SetCurrentPosition");
        break;
    case 1:
        Require(stream.Seek(msoBegin, static_cast<LONGLONG>(input.Word()), 0, &position) == S_FALSE, "Seek");
        break;
    case 2:
        Require(stream.Flush() == S_OK && stream.Close() == S_OK, "Flush and Close");
        break;
    case 3:
        Require(stream.Read(nullptr, input.Word(), nullptr) == S_FALSE, "Read into null");
        break;
    case 4:
        Require(stream.Write(nullptr, 1 + input.Byte(), nullptr) == E_POINTER, "Write from null");
        break;
    case 5:
        Require(stream.Write(nullptr, 0, nullptr) == S_OK, "Write of nothing");
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
    default:
        Require(stream.BeginRead(nullptr, 0, nullptr, nullptr) == S_FALSE &&
                    stream.BeginWrite(nullptr, 0, nullptr, nullptr) == S_FALSE,
                "no asynchronous calls");
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input(data, size);
    lumicap::ComPtr<MemoryIMFByteStream> created = MemoryIMFByteStream::Create();
    Require(static_cast<bool>(created), "Create");
    MemoryIMFByteStream* stream = created.Get();
    std::vector<BYTE> model;
    while (!input.Empty()) {
        switch (input.Byte() % 6) {
        case 0:
        case 1:
            Write(*stream, model, input);
            break;
        case 2:
            Read(*stream, model, input);
            break;
        case 3: {
            const QWORD length = input.Byte() % 2 ? 0 : input.Word() + 1;
            Require(stream->SetLength(length) == S_OK, "SetLength");
            if (length == 0) model.clear();
            break;
        }
        case 4:
            Harmless(*stream, input);
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
