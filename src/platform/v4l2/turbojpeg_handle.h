// Owns a TurboJPEG handle, so every exit path destroys it.
#pragma once

#include <memory>

#include <turbojpeg.h>

namespace lumicap::v4l2 {

struct TurboJpegHandleDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

using TurboJpegHandle = std::unique_ptr<void, TurboJpegHandleDeleter>;

}  // namespace lumicap::v4l2
