// DecodeJpeg on Windows: the system's imaging component instead of libjpeg, independent of the
// encoder all the same (the photo sink writes through the byte stream, this reads from memory).
#include "support/jpeg_decode.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdlib>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace lumicap::testing {

DecodedImage DecodeJpeg(const uint8_t* data, size_t size)
{
    DecodedImage image;
    // The test's thread may or may not be in an apartment already; either is fine for WIC.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    if (SUCCEEDED(hr)) hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    GUID container = GUID_NULL;
    if (SUCCEEDED(hr)) hr = decoder->GetContainerFormat(&container);
    if (SUCCEEDED(hr) && container != GUID_ContainerFormatJpeg) hr = WINCODEC_ERR_COMPONENTNOTFOUND;
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
    if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    }
    if (SUCCEEDED(hr)) {
        image.rgb.resize(static_cast<size_t>(width) * height * 3);
        hr = converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(image.rgb.size()), image.rgb.data());
    }
    if (SUCCEEDED(hr)) {
        // The decoder's own order is B, G, R; the tests read R, G, B.
        for (size_t i = 0; i + 2 < image.rgb.size(); i += 3) std::swap(image.rgb[i], image.rgb[i + 2]);
        image.ok = true;
        image.width = width;
        image.height = height;
    } else {
        image = DecodedImage{};
    }
    converter.Reset();
    frame.Reset();
    decoder.Reset();
    stream.Reset();
    factory.Reset();
    if (SUCCEEDED(com)) CoUninitialize();
    return image;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(x - y) > tolerance) return false;
    }
    return true;
}

}  // namespace lumicap::testing
