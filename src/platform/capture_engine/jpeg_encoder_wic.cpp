#ifdef _WIN32

#include "jpeg_encoder.h"
#include "platform/com_ptr.h"
#include "platform/media_foundation/virtual_com_object.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <new>
#include <vector>

namespace lumicap::virt {
namespace {

constexpr float kQuality = 0.9f;
constexpr UINT kRowsPerWrite = 64;
// The photo stream receives the JPEG in pieces no larger than this, whatever the encoder writes at once.
constexpr ULONG kMaxChunk = 64 * 1024;

// The IStream the imaging component writes its JPEG to, forwarding to the output IMFByteStream.
// Only what an encoder uses is supported: writing, seeking, sizes and Stat.
class ByteStreamWriter final : public VirtualComObject<ByteStreamWriter, IStream> {
public:
    static ByteStreamWriter* Create(IMFByteStream* output) { return new (std::nothrow) ByteStreamWriter(output); }
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            QITABENT(ByteStreamWriter, IStream),
            QITABENT(ByteStreamWriter, ISequentialStream),
            {nullptr, 0},
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override
    {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        ULONG total = 0;
        while (total < size) {
            ULONG chunk = 0;
            const HRESULT hr = output_->Write(bytes + total, std::min(size - total, kMaxChunk), &chunk);
            if (FAILED(hr)) {
                if (SUCCEEDED(writeFailure_)) writeFailure_ = hr;
                return hr;
            }
            // A stream that accepts nothing would loop for ever.
            if (chunk == 0 || chunk > size - total) return STG_E_MEDIUMFULL;
            total += chunk;
        }
        if (written) *written = total;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override
    {
        QWORD base = 0;
        HRESULT hr = S_OK;
        if (origin == STREAM_SEEK_CUR) {
            hr = output_->GetCurrentPosition(&base);
        } else if (origin == STREAM_SEEK_END) {
            hr = output_->GetLength(&base);
        } else if (origin != STREAM_SEEK_SET) {
            return STG_E_INVALIDFUNCTION;
        }
        if (FAILED(hr)) return hr;
        const LONGLONG target = static_cast<LONGLONG>(base) + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        hr = output_->SetCurrentPosition(static_cast<QWORD>(target));
        if (FAILED(hr)) return hr;
        if (position) position->QuadPart = static_cast<ULONGLONG>(target);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override { return output_->SetLength(size.QuadPart); }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return output_->Flush(); }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        QWORD length = 0;
        const HRESULT hr = output_->GetLength(&length);
        if (FAILED(hr)) return hr;
        stat->cbSize.QuadPart = length;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override
    {
        if (clone) *clone = nullptr;
        return E_NOTIMPL;
    }

    // The first failure the output stream answered, or S_OK.
    HRESULT WriteFailure() const { return writeFailure_; }

private:
    explicit ByteStreamWriter(IMFByteStream* output) : output_(ComPtr<IMFByteStream>::Share(output)) {}
    ~ByteStreamWriter() override = default;

    const ComPtr<IMFByteStream> output_;
    HRESULT writeFailure_ = S_OK;  // the encoder writes from the thread that encodes, one call at a time
};

HRESULT SetQuality(IPropertyBag2* options)
{
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = kQuality;
    return options->Write(1, &option, &value);
}

// The frame's rows as the encoder's 24-bit BGR, a band of rows at a time.
HRESULT WriteRows(IWICBitmapFrameEncode* frame, const uint32_t* pixels, UINT32 width, UINT32 height)
{
    const UINT stride = width * 3;
    std::vector<BYTE> band;
    const HRESULT hr = ResizeNoThrow(band, static_cast<size_t>(stride) * std::min<UINT>(kRowsPerWrite, height));
    if (FAILED(hr)) return hr;
    for (UINT32 top = 0; top < height; top += kRowsPerWrite) {
        const UINT rows = std::min<UINT>(kRowsPerWrite, height - top);
        BYTE* out = band.data();
        const uint32_t* in = pixels + static_cast<size_t>(top) * width;
        for (size_t i = 0; i < static_cast<size_t>(rows) * width; ++i) {
            *out++ = static_cast<BYTE>(in[i]);
            *out++ = static_cast<BYTE>(in[i] >> 8);
            *out++ = static_cast<BYTE>(in[i] >> 16);
        }
        const HRESULT hr = frame->WritePixels(rows, stride, rows * stride, band.data());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Encode(const uint32_t* pixels, UINT32 width, UINT32 height, IMFByteStream* output)
{
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    factory.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<ByteStreamWriter> stream = ComPtr<ByteStreamWriter>::Attach(ByteStreamWriter::Create(output));
    if (!stream) return E_OUTOFMEMORY;
    ComPtr<IWICBitmapEncoder> encoder;
    hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Put(), options.Put());
    if (SUCCEEDED(hr)) hr = SetQuality(options.Get());
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.Get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != GUID_WICPixelFormat24bppBGR) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr)) hr = WriteRows(frame.Get(), pixels, width, height);
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    // An imaging component may report a failed Write as a failure of its own (Wine's says E_FAIL); the
    // stream's own answer is the one to pass on.
    if (FAILED(hr) && FAILED(stream->WriteFailure())) return stream->WriteFailure();
    return hr;
}

}  // namespace

HRESULT EncodeJpeg(const uint32_t* pixels, UINT32 width, UINT32 height, IMFByteStream* output)
{
    if (!pixels || !output) return E_POINTER;
    if (width == 0 || height == 0 || width > 65535 || height > 65535) return E_INVALIDARG;
    // The engine's worker is not a COM thread of the host's: join the multithreaded apartment while
    // encoding (harmless when the thread is already in one).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const HRESULT hr = Encode(pixels, width, height, output);
    if (SUCCEEDED(com)) CoUninitialize();
    return hr;
}

}  // namespace lumicap::virt

#endif
