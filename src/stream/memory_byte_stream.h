// The in-memory byte stream the platform's photo sink writes each photo into: readable, writable and
// seekable, with one current position that Read, Write and their asynchronous forms start from and
// move on. Writes may come from the platform's threads while the host reads, so the bytes and the
// position are guarded and the count is interlocked.
//
// Positions and lengths stay within kMaxLength (what a photo block's signed 32-bit size can hold);
// the position never passes the end (SetLength extends with zeros instead). Close ends the stream's
// use by its writer: every later call that reads, writes or moves answers MF_E_SHUTDOWN, while the
// length and position stay readable and the bytes stay for ReadFromStart.
#pragma once

#include "platform/com_ptr.h"
#include "platform/platform.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace lumicap {

class MemoryIMFByteStream : public IMFByteStream {
public:
    static constexpr QWORD kMaxLength = 0x7FFFFFFF;

    // A new, empty stream with one reference, or null when it cannot be allocated.
    static ComPtr<MemoryIMFByteStream> Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE GetLength(QWORD* length) override;
    HRESULT STDMETHODCALLTYPE SetLength(QWORD length) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(QWORD* position) override;
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(QWORD position) override;
    HRESULT STDMETHODCALLTYPE IsEndOfStream(BOOL* endOfStream) override;
    HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, ULONG count, ULONG* bytesRead) override;
    HRESULT STDMETHODCALLTYPE BeginRead(BYTE* buffer, ULONG count, IMFAsyncCallback* callback,
                                        IUnknown* state) override;
    HRESULT STDMETHODCALLTYPE EndRead(IMFAsyncResult* result, ULONG* bytesRead) override;
    HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count, ULONG* bytesWritten) override;
    HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE* data, ULONG count, IMFAsyncCallback* callback,
                                         IUnknown* state) override;
    HRESULT STDMETHODCALLTYPE EndWrite(IMFAsyncResult* result, ULONG* bytesWritten) override;
    HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN origin, LONGLONG offset, DWORD flags,
                                   QWORD* position) override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE Close() override;

    // Copies up to count bytes from the first byte on, leaving the position where it is and working
    // on a closed stream too: the library's own read of a finished photo.
    HRESULT ReadFromStart(BYTE* buffer, ULONG count, ULONG* bytesRead);

    MemoryIMFByteStream() = default;
    virtual ~MemoryIMFByteStream();

private:
    // The bytes live in blocks that double in size, so growing never moves what was written. Block
    // i holds the stream's bytes from the sum of the earlier blocks' capacities on.
    struct Block {
        std::unique_ptr<BYTE[]> data;
        size_t capacity = 0;
    };

    bool Reserve(size_t length);
    // Visits the blocks' pieces of [offset, offset + count), in order, as (address, size).
    template <typename Visit>
    void ForEachPiece(size_t offset, size_t count, Visit visit);
    HRESULT ReadLocked(size_t offset, BYTE* buffer, ULONG count, ULONG* bytesRead);
    HRESULT MoveLocked(LONGLONG base, LONGLONG offset);

    std::mutex mutex_;
    std::vector<Block> bytes_;
    size_t length_ = 0;
    size_t capacity_ = 0;
    size_t position_ = 0;
    bool closed_ = false;
    std::atomic<ULONG> refCount_{1};
};

}  // namespace lumicap
