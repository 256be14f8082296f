// The one way the device layer calls into the driver.
#pragma once

#include <sys/ioctl.h>

#include <cerrno>

namespace lumicap::v4l2 {

// True on success; false with errno set. A call cut short by a signal is made again, so callers
// never see EINTR.
inline bool Ioctl(int fd, unsigned long request, void* argument)
{
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result >= 0;
}

}  // namespace lumicap::v4l2
