#include "platform/v4l2/device_nodes.h"

#include "platform/no_throw.h"
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/device_ioctl.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
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

// A node this process may not open, as udev recorded it when the device appeared (its database is
// readable by everyone): listed only when udev saw a capture node, named by the card name udev read.
// Without a record the node's kind is unknown and it is left out, so no output or metadata node is
// ever offered as a camera.
bool DescribeFromUdev(const std::string& path, DeviceNode* node)
{
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return false;
    std::ifstream record("/run/udev/data/c" + std::to_string(major(status.st_rdev)) + ":" +
                         std::to_string(minor(status.st_rdev)));
    bool capture = false;
    std::string line;
    while (std::getline(record, line)) {
        constexpr char kCapabilities[] = "E:ID_V4L_CAPABILITIES=";
        constexpr char kProduct[] = "E:ID_V4L_PRODUCT=";
        constexpr char kPath[] = "E:ID_PATH=";
        if (line.rfind(kCapabilities, 0) == 0) capture = line.find(":capture:") != std::string::npos;
        if (line.rfind(kProduct, 0) == 0) node->card = line.substr(sizeof kProduct - 1);
        if (line.rfind(kPath, 0) == 0) node->busInfo = line.substr(sizeof kPath - 1);
    }
    node->path = path;
    node->accessible = false;
    return capture && !node->card.empty();
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
                DeviceNode denied;
                if (DescribeFromUdev(path, &denied)) nodes.push_back(std::move(denied));
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
