#include "memory_byte_stream.h"

#include "platform/com_object.h"

#include <algorithm>
#include <cstring>

namespace lumicap {
namespace {

constexpr size_t kFirstBlockSize = 64 * 1024;

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
    *capabilities = MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_WRITABLE;
    return S_OK;
}

HRESULT MemoryIMFByteStream::GetLength(QWORD* length)
{
    if (!length) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *length = length_;
    return S_OK;
}

HRESULT MemoryIMFByteStream::SetLength(QWORD length)
{
    if (length != 0) return S_OK;
    // Emptied, but the blocks stay for later writes.
    std::lock_guard<std::mutex> lock(mutex_);
    for (Block& block : bytes_) block.used = 0;
    length_ = 0;
    return S_OK;
}

HRESULT MemoryIMFByteStream::GetCurrentPosition(QWORD* position)
{
    if (!position) return E_POINTER;
    *position = 0;
    return S_OK;
}

HRESULT MemoryIMFByteStream::SetCurrentPosition(QWORD) { return S_OK; }

HRESULT MemoryIMFByteStream::IsEndOfStream(BOOL* endOfStream)
{
    if (!endOfStream) return E_POINTER;
    *endOfStream = TRUE;
    return S_OK;
}

HRESULT MemoryIMFByteStream::Read(BYTE* buffer, ULONG count, ULONG* bytesRead)
{
    if (!buffer) return S_FALSE;
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t total = std::min<size_t>(count, length_);
    size_t copied = 0;
    for (const Block& block : bytes_) {
        if (copied == total) break;
        const size_t part = std::min(block.used, total - copied);
        std::memcpy(buffer + copied, block.data.get(), part);
        copied += part;
    }
    if (bytesRead) *bytesRead = static_cast<ULONG>(total);
    return S_OK;
}

HRESULT MemoryIMFByteStream::BeginRead(BYTE*, ULONG, IMFAsyncCallback*, IUnknown*) { return S_FALSE; }

HRESULT MemoryIMFByteStream::EndRead(IMFAsyncResult*, ULONG*) { return S_FALSE; }

bool MemoryIMFByteStream::Reserve(size_t count)
{
    if (capacity_ - length_ >= count) return true;
    const size_t missing = count - (capacity_ - length_);
    Block block;
    block.capacity = std::max({missing, capacity_, kFirstBlockSize});
    block.data = NewUninitializedArray<BYTE>(block.capacity);
    if (!block.data) return false;
    try {
        bytes_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return false;
    }
    capacity_ += bytes_.back().capacity;
    return true;
}

HRESULT MemoryIMFByteStream::Write(const BYTE* data, ULONG count, ULONG* bytesWritten)
{
    if (!data && count != 0) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    // All the room is found before a byte is copied, so a failed write leaves the stream as it was.
    if (!Reserve(count)) return E_OUTOFMEMORY;
    size_t copied = 0;
    for (Block& block : bytes_) {
        if (copied == count) break;
        const size_t part = std::min<size_t>(block.capacity - block.used, count - copied);
        if (part == 0) continue;
        std::memcpy(block.data.get() + block.used, data + copied, part);
        block.used += part;
        copied += part;
    }
    length_ += count;
    if (bytesWritten) *bytesWritten = count;
    return S_OK;
}

HRESULT MemoryIMFByteStream::BeginWrite(const BYTE*, ULONG, IMFAsyncCallback*, IUnknown*) { return S_FALSE; }

HRESULT MemoryIMFByteStream::EndWrite(IMFAsyncResult*, ULONG*) { return S_FALSE; }

HRESULT MemoryIMFByteStream::Seek(MFBYTESTREAM_SEEK_ORIGIN, LONGLONG, DWORD, QWORD*) { return S_FALSE; }

HRESULT MemoryIMFByteStream::Flush() { return S_OK; }

HRESULT MemoryIMFByteStream::Close() { return S_OK; }

}  // namespace lumicap
