#include "platform/v4l2/device_nodes.h"

#include "platform/no_throw.h"
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/device_ioctl.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <utility>

namespace lumicap::v4l2 {
namespace {

// The N of "videoN", or -1 for any other name.
long VideoNumber(const char* name)
{
    constexpr char prefix[] = "video";
    if (std::strncmp(name, prefix, sizeof prefix - 1) != 0) return -1;
    const char* digits = name + sizeof prefix - 1;
    if (*digits == '\0') return -1;
    long number = 0;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || number > 1000000) return -1;
        number = number * 10 + (*c - '0');
    }
    return number;
}

std::vector<std::pair<long, std::string>> VideoEntries(const std::string& directory)
{
    std::vector<std::pair<long, std::string>> entries;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return entries;
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    while (const dirent* entry = ::readdir(dir)) {
        long number = VideoNumber(entry->d_name);
        if (number >= 0) entries.emplace_back(number, entry->d_name);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The kernel's fixed-size fields are NUL-terminated only when shorter than the field.
template <size_t N>
std::string FieldString(const __u8 (&field)[N])
{
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, N));
}

bool IsCaptureNode(const v4l2_capability& caps)
{
    uint32_t node = NodeCapabilities(caps);
    return (node & V4L2_CAP_VIDEO_CAPTURE) != 0 && (node & V4L2_CAP_STREAMING) != 0;
}

// The device's name as the kernel shows it to everyone, for a node whose capabilities cannot be read.
std::string SysfsName(const std::string& node)
{
    std::ifstream file("/sys/class/video4linux/" + node + "/name");
    std::string name;
    std::getline(file, name);
    return name;
}

}  // namespace

uint32_t NodeCapabilities(const v4l2_capability& caps)
{
    return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
}

bool QueryCapabilities(int fd, v4l2_capability* caps)
{
    *caps = {};
    return Ioctl(fd, VIDIOC_QUERYCAP, caps);
}

HRESULT OpenNode(const std::string& path, UniqueFd* fd)
{
    int opened;
    do {
        opened = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0) return DeviceError(errno, DeviceStep::open);
    fd->Reset(opened);
    return S_OK;
}

std::vector<DeviceNode> ListCaptureNodes(const std::string& directory)
{
    std::vector<DeviceNode> nodes;
    const HRESULT hr = NoThrow([&] {
        for (const auto& entry : VideoEntries(directory)) {
            std::string path = directory + "/" + entry.second;
            UniqueFd fd;
            v4l2_capability caps;
            const HRESULT opened = OpenNode(path, &fd);
            if (opened == E_ACCESSDENIED) {
                std::string name = SysfsName(entry.second);
                if (!name.empty()) nodes.push_back({std::move(path), std::move(name), std::string(), false});
                continue;
            }
            if (FAILED(opened) || !QueryCapabilities(fd.Get(), &caps) || !IsCaptureNode(caps)) continue;
            nodes.push_back({std::move(path), FieldString(caps.card), FieldString(caps.bus_info)});
        }
    });
    if (FAILED(hr)) nodes.clear();
    return nodes;
}

}  // namespace lumicap::v4l2
