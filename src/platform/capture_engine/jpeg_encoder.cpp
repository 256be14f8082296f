#ifndef _WIN32

#include "jpeg_encoder.h"

#include "photo_write_stream.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

// The portable Win32 subset already defines INT32; this keeps libjpeg from defining it again.
#define XMD_H
#include <jpeglib.h>
#include <jerror.h>

namespace lumicap::virt {
namespace {

constexpr size_t kChunkSize = 64 * 1024;
constexpr int kQuality = 90;

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to Compress with
// the failure to report.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    HRESULT hr;
};

struct Destination {
    jpeg_destination_mgr base;
    IMFByteStream* output;
    JOCTET* buffer;
};

[[noreturn]] void Fail(j_common_ptr cinfo, HRESULT hr)
{
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    errors->hr = hr;
    std::longjmp(errors->jump, 1);
}

void OnError(j_common_ptr cinfo)
{
    Fail(cinfo, cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? E_OUTOFMEMORY : E_FAIL);
}

void OnMessage(j_common_ptr) {}

void InitDestination(j_compress_ptr cinfo)
{
    Destination* destination = reinterpret_cast<Destination*>(cinfo->dest);
    destination->base.next_output_byte = destination->buffer;
    destination->base.free_in_buffer = kChunkSize;
}

boolean FlushBuffer(j_compress_ptr cinfo)
{
    Destination* destination = reinterpret_cast<Destination*>(cinfo->dest);
    // libjpeg calls this only with the whole buffer full.
    const HRESULT hr = WriteAll(destination->output, destination->buffer, kChunkSize);
    if (FAILED(hr)) Fail(reinterpret_cast<j_common_ptr>(cinfo), hr);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    Destination* destination = reinterpret_cast<Destination*>(cinfo->dest);
    const HRESULT hr =
        WriteAll(destination->output, destination->buffer, kChunkSize - destination->base.free_in_buffer);
    if (FAILED(hr)) Fail(reinterpret_cast<j_common_ptr>(cinfo), hr);
}

// Rows handed to libjpeg per call: fewer calls, and still a small slice of the frame.
constexpr UINT32 kRowsPerCall = 16;

// libjpeg-turbo reads a 0x00RRGGBB pixel as it lies in memory (B, G, R, unused on little-endian
// machines), so the frame is encoded without converting a row first.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr J_COLOR_SPACE kPixelLayout = JCS_EXT_BGRX;
#else
constexpr J_COLOR_SPACE kPixelLayout = JCS_EXT_XRGB;
#endif

void WriteRows(j_compress_ptr cinfo, const uint32_t* pixels, UINT32 width)
{
    JSAMPROW rows[kRowsPerCall];
    while (cinfo->next_scanline < cinfo->image_height) {
        const UINT32 count = std::min(kRowsPerCall, cinfo->image_height - cinfo->next_scanline);
        for (UINT32 i = 0; i < count; ++i) {
            // libjpeg takes mutable rows but only reads them.
            const uint32_t* row = pixels + static_cast<size_t>(cinfo->next_scanline + i) * width;
            rows[i] = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(row));
        }
        jpeg_write_scanlines(cinfo, rows, count);
    }
}

// Holds only plain C objects, so that jumping back out of libjpeg skips no destructor.
HRESULT Compress(const uint32_t* pixels, UINT32 width, UINT32 height, IMFByteStream* output, JOCTET* buffer)
{
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    Destination destination;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = OnMessage;
    errors.hr = S_OK;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return errors.hr;
    }
    jpeg_create_compress(&cinfo);

    destination.base.init_destination = InitDestination;
    destination.base.empty_output_buffer = FlushBuffer;
    destination.base.term_destination = TermDestination;
    destination.output = output;
    destination.buffer = buffer;
    cinfo.dest = &destination.base;

    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = kPixelLayout;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    WriteRows(&cinfo, pixels, width);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return S_OK;
}

}  // namespace

HRESULT EncodeJpeg(const uint32_t* pixels, UINT32 width, UINT32 height, IMFByteStream* output)
{
    if (!pixels || !output) return E_POINTER;
    if (width == 0 || height == 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
        return E_INVALIDARG;
    }
    std::vector<JOCTET> buffer;
    const HRESULT hr = ResizeNoThrow(buffer, kChunkSize);
    if (FAILED(hr)) return hr;
    return Compress(pixels, width, height, output, buffer.data());
}

}  // namespace lumicap::virt

#endif
