#include "reference_jpeg_encoder.h"

#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace lumicap::bench {

ReferenceJpegEncoder::ReferenceJpegEncoder(uint32_t width, uint32_t height)
    : width_(width), height_(height), output_(static_cast<size_t>(width) * height * 4 + 65536)
{
}

size_t ReferenceJpegEncoder::Encode(const uint32_t* pixels)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = output_.data();
    unsigned long size = output_.size();
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width_;
    cinfo.image_height = height_;
    // 0x00RRGGBB in little-endian memory is the byte order B, G, R, unused: libjpeg-turbo reads it as is.
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(pixels) +
                                                  static_cast<size_t>(cinfo.next_scanline) * width_);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    // A buffer too small would have been replaced by one of libjpeg's, which this class does not own.
    if (buffer != output_.data()) throw std::runtime_error("the reference JPEG outgrew its buffer");
    return size;
}

}  // namespace lumicap::bench
