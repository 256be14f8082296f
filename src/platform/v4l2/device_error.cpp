#include "platform/v4l2/device_error.h"

#include <cerrno>

namespace lumicap::v4l2 {
namespace {

// Win32 codes the portable subset does not name.
constexpr unsigned long kErrorTooManyOpenFiles = 4;
constexpr unsigned long kErrorGenFailure = 31;
constexpr unsigned long kErrorNotSupported = 50;
constexpr unsigned long kErrorBusy = 170;
constexpr unsigned long kErrorTimeout = 1460;

bool Starting(DeviceStep step)
{
    return step == DeviceStep::format || step == DeviceStep::buffers || step == DeviceStep::streamOn;
}

}  // namespace

HRESULT DeviceError(int err, DeviceStep step)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return E_ACCESSDENIED;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    case EBUSY:
    // ENOSPC is how USB cameras say the bus has no bandwidth left for the chosen format: the
    // device is taken, as far as the caller can tell, not a disk full.
    case ENOSPC:
        return Starting(step) ? MF_E_HW_MFT_FAILED_START_STREAMING : HRESULT_FROM_WIN32(kErrorBusy);
    case EIO:
        return step == DeviceStep::streaming ? MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED
                                             : HRESULT_FROM_WIN32(kErrorGenFailure);
    case ENOMEM:
        return E_OUTOFMEMORY;
    case EINVAL:
        return E_INVALIDARG;
    case ETIMEDOUT:
        return HRESULT_FROM_WIN32(kErrorTimeout);
    case ENOTTY:
        return HRESULT_FROM_WIN32(kErrorNotSupported);
    case EMFILE:
    case ENFILE:
        return HRESULT_FROM_WIN32(kErrorTooManyOpenFiles);
    default:
        return HRESULT_FROM_WIN32(kErrorGenFailure);
    }
}

}  // namespace lumicap::v4l2
