#include "memory_byte_stream.h"

#include "platform/com_object.h"

#include <algorithm>
#include <cstring>

namespace lumicap {
namespace {

constexpr size_t kFirstBlockSize = 64 * 1024;
// HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW): a position or length past kMaxLength.
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x80070216);

// {6B0E4B5A-3C1D-4F7E-9A28-5D4C1E0F7B93}: answered only by the stream's own operation records.
constexpr GUID IID_StreamOperation = {0x6b0e4b5a, 0x3c1d, 0x4f7e, {0x9a, 0x28, 0x5d, 0x4c, 0x1e, 0x0f, 0x7b, 0x93}};

// What a finished BeginRead or BeginWrite did, carried by its async result to EndRead or EndWrite.
class StreamOperation final : public IUnknown {
public:
    explicit StreamOperation(bool isRead) : isRead(isRead) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_StreamOperation) return E_NOINTERFACE;
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG count = --refCount_;
        if (count == 0) DeleteComObject(this);
        return count;
    }

    const bool isRead;
    // Set by the work, before the callback is invoked.
    ULONG count = 0;

private:
    std::atomic<ULONG> refCount_{1};
};

// The asynchronous forms: the result is made first, so a call that cannot complete does nothing; the
// work is done at once and only its completion goes through the caller's callback. A call whose work
// fails returns the failure, and its callback is not called.
template <typename Work>
HRESULT RunAsync(bool isRead, IMFAsyncCallback* callback, IUnknown* state, Work work)
{
    if (!callback) return E_INVALIDARG;
    auto operation = ComPtr<StreamOperation>::Attach(NewNoThrow<StreamOperation>(isRead));
    if (!operation) return E_OUTOFMEMORY;
    ComPtr<IMFAsyncResult> result;
    HRESULT hr = platform::MFCreateAsyncResult(operation.Get(), callback, state, result.Put());
    if (SUCCEEDED(hr)) hr = work(&operation->count);
    if (SUCCEEDED(hr)) hr = platform::MFInvokeCallback(result.Get());
    return hr;
}

HRESULT FinishAsync(bool isRead, IMFAsyncResult* result, ULONG* count)
{
    if (!result) return E_INVALIDARG;
    if (!count) return E_POINTER;
    ComPtr<IUnknown> object;
    if (FAILED(result->GetObject(object.Put())) || !object) return E_INVALIDARG;
    ComPtr<StreamOperation> operation;
    if (FAILED(object->QueryInterface(IID_StreamOperation, operation.PutVoid())) || operation->isRead != isRead) {
        return E_INVALIDARG;
    }
    *count = operation->count;
    return result->GetStatus();
}

}  // namespace

ComPtr<MemoryIMFByteStream> MemoryIMFByteStream::Create()
{
    return ComPtr<MemoryIMFByteStream>::Attach(NewNoThrow<MemoryIMFByteStream>());
}

MemoryIMFByteStream::~MemoryIMFByteStream() = default;

HRESULT MemoryIMFByteStream::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {
        QITABENT(MemoryIMFByteStream, IMFByteStream),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, object);
}

ULONG MemoryIMFByteStream::AddRef() { return ++refCount_; }

ULONG MemoryIMFByteStream::Release()
{
    ULONG count = --refCount_;
    if (count == 0) DeleteComObject(this);
    return count;
}

HRESULT MemoryIMFByteStream::GetCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    *capabilities = MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE | MFBYTESTREAM_IS_SEEKABLE;
    return S_OK;
}

HRESULT MemoryIMFByteStream::GetLength(QWORD* length)
{
    if (!length) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *length = length_;
    return S_OK;
}

bool MemoryIMFByteStream::Reserve(size_t length)
{
    while (capacity_ < length) {
        Block block;
        block.capacity = std::max({length - capacity_, capacity_, kFirstBlockSize});
        block.data = NewUninitializedArray<BYTE>(block.capacity);
        if (!block.data) return false;
        try {
            bytes_.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return false;
        }
        capacity_ += bytes_.back().capacity;
    }
    return true;
}

template <typename Visit>
void MemoryIMFByteStream::ForEachPiece(size_t offset, size_t count, Visit visit)
{
    const size_t end = offset + count;
    size_t start = 0;
    for (Block& block : bytes_) {
        if (offset >= end) break;
        const size_t blockEnd = start + block.capacity;
        if (offset < blockEnd) {
            const size_t part = std::min(blockEnd, end) - offset;
            visit(block.data.get() + (offset - start), part);
            offset += part;
        }
        start = blockEnd;
    }
}

HRESULT MemoryIMFByteStream::SetLength(QWORD length)
{
    if (length > kMaxLength) return kOverflow;
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return MF_E_SHUTDOWN;
    const size_t wanted = static_cast<size_t>(length);
    if (wanted > length_) {
        if (!Reserve(wanted)) return E_OUTOFMEMORY;
        ForEachPiece(length_, wanted - length_, [](BYTE* piece, size_t size) { std::memset(piece, 0, size); });
    }
    // Shortening keeps the blocks for later writes; the position follows the end in.
    length_ = wanted;
    position_ = std::min(position_, length_);
    return S_OK;
}

HRESULT MemoryIMFByteStream::GetCurrentPosition(QWORD* position)
{
    if (!position) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *position = position_;
    return S_OK;
}

HRESULT MemoryIMFByteStream::MoveLocked(LONGLONG base, LONGLONG offset)
{
    if (closed_) return MF_E_SHUTDOWN;
    // Both lie within kMaxLength or LONGLONG's range, so the sum cannot overflow.
    if (offset > static_cast<LONGLONG>(kMaxLength) || offset < -static_cast<LONGLONG>(kMaxLength)) {
        return E_INVALIDARG;
    }
    const LONGLONG target = base + offset;
    if (target < 0 || target > static_cast<LONGLONG>(length_)) return E_INVALIDARG;
    position_ = static_cast<size_t>(target);
    return S_OK;
}

HRESULT MemoryIMFByteStream::SetCurrentPosition(QWORD position)
{
    if (position > kMaxLength) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    return MoveLocked(0, static_cast<LONGLONG>(position));
}

HRESULT MemoryIMFByteStream::Seek(MFBYTESTREAM_SEEK_ORIGIN origin, LONGLONG offset, DWORD flags, QWORD* position)
{
    // Nothing is ever pending, so cancelling pending I/O is the one flag and it has nothing to do.
    if (flags & ~static_cast<DWORD>(MFBYTESTREAM_SEEK_FLAG_CANCEL_PENDING_IO)) return E_INVALIDARG;
    if (origin != msoBegin && origin != msoCurrent) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    const LONGLONG base = origin == msoBegin ? 0 : static_cast<LONGLONG>(position_);
    const HRESULT hr = MoveLocked(base, offset);
    if (SUCCEEDED(hr) && position) *position = position_;
    return hr;
}

HRESULT MemoryIMFByteStream::IsEndOfStream(BOOL* endOfStream)
{
    if (!endOfStream) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *endOfStream = position_ >= length_ ? TRUE : FALSE;
    return S_OK;
}

HRESULT MemoryIMFByteStream::ReadLocked(size_t offset, BYTE* buffer, ULONG count, ULONG* bytesRead)
{
    if (!buffer && count != 0) return E_POINTER;
    const size_t total = std::min<size_t>(count, length_ - std::min(offset, length_));
    size_t copied = 0;
    ForEachPiece(offset, total, [&](const BYTE* piece, size_t size) {
        std::memcpy(buffer + copied, piece, size);
        copied += size;
    });
    if (bytesRead) *bytesRead = static_cast<ULONG>(total);
    return S_OK;
}

HRESULT MemoryIMFByteStream::Read(BYTE* buffer, ULONG count, ULONG* bytesRead)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return MF_E_SHUTDOWN;
    ULONG read = 0;
    const HRESULT hr = ReadLocked(position_, buffer, count, &read);
    if (FAILED(hr)) return hr;
    position_ += read;
    if (bytesRead) *bytesRead = read;
    return S_OK;
}

HRESULT MemoryIMFByteStream::ReadFromStart(BYTE* buffer, ULONG count, ULONG* bytesRead)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ReadLocked(0, buffer, count, bytesRead);
}

HRESULT MemoryIMFByteStream::Write(const BYTE* data, ULONG count, ULONG* bytesWritten)
{
    if (!data && count != 0) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return MF_E_SHUTDOWN;
    if (count > kMaxLength - position_) return kOverflow;
    const size_t end = position_ + count;
    // All the room is found before a byte is copied, so a failed write leaves the stream as it was.
    if (!Reserve(end)) return E_OUTOFMEMORY;
    size_t copied = 0;
    ForEachPiece(position_, count, [&](BYTE* piece, size_t size) {
        std::memcpy(piece, data + copied, size);
        copied += size;
    });
    position_ = end;
    length_ = std::max(length_, end);
    if (bytesWritten) *bytesWritten = count;
    return S_OK;
}

HRESULT MemoryIMFByteStream::BeginRead(BYTE* buffer, ULONG count, IMFAsyncCallback* callback, IUnknown* state)
{
    return RunAsync(true, callback, state, [&](ULONG* read) { return Read(buffer, count, read); });
}

HRESULT MemoryIMFByteStream::EndRead(IMFAsyncResult* result, ULONG* bytesRead)
{
    return FinishAsync(true, result, bytesRead);
}

HRESULT MemoryIMFByteStream::BeginWrite(const BYTE* data, ULONG count, IMFAsyncCallback* callback, IUnknown* state)
{
    return RunAsync(false, callback, state, [&](ULONG* written) { return Write(data, count, written); });
}

HRESULT MemoryIMFByteStream::EndWrite(IMFAsyncResult* result, ULONG* bytesWritten)
{
    return FinishAsync(false, result, bytesWritten);
}

// The bytes are in memory as soon as they are written: there is nothing to flush.
HRESULT MemoryIMFByteStream::Flush()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_ ? MF_E_SHUTDOWN : S_OK;
}

HRESULT MemoryIMFByteStream::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    return S_OK;
}

}  // namespace lumicap
