// The in-memory byte stream the platform's photo sink writes each photo into. It has no position:
// every write appends and every read copies from the first byte. Writes may come from the
// platform's threads while the host reads, so the bytes are guarded and the count is interlocked.
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

    MemoryIMFByteStream() = default;
    virtual ~MemoryIMFByteStream();

private:
    // The bytes live in blocks that double in size, so appending never moves what was written.
    struct Block {
        std::unique_ptr<BYTE[]> data;
        size_t capacity = 0;
        size_t used = 0;
    };

    bool Reserve(size_t count);

    std::mutex mutex_;
    std::vector<Block> bytes_;
    size_t length_ = 0;
    size_t capacity_ = 0;
    std::atomic<ULONG> refCount_{1};
};

}  // namespace lumicap
