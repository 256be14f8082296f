// Finds the V4L2 nodes that can deliver frames, and opens one.
#pragma once

#include "platform/platform.h"
#include "platform/v4l2/unique_fd.h"

#include <linux/videodev2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumicap::v4l2 {

struct DeviceNode {
    std::string path;     // e.g. /dev/video0
    std::string card;     // the driver's name for the device, v4l2_capability::card
    std::string busInfo;  // stable per physical device, v4l2_capability::bus_info
    // False for a capture node this process may not open (not in the video group): it is still
    // listed, as udev described it, so a host sees the camera and learns that access is denied when
    // opening it.
    bool accessible = true;
};

// The directory's videoN nodes in numeric order that capture single-planar frames by streaming
// I/O, and those this process may not open; metadata, output and other nodes are left out. Each
// node is open only while it is queried.
// Empty when there are none, when the directory cannot be read, or when memory runs out.
std::vector<DeviceNode> ListCaptureNodes(const std::string& directory = "/dev");

// Opens a node read-write, non-blocking and close-on-exec.
HRESULT OpenNode(const std::string& path, UniqueFd* fd);

// VIDIOC_QUERYCAP, retried on EINTR; false with errno set when it fails.
bool QueryCapabilities(int fd, v4l2_capability* caps);

// The capabilities of the node itself rather than of the whole device, when the driver tells.
uint32_t NodeCapabilities(const v4l2_capability& caps);

}  // namespace lumicap::v4l2
