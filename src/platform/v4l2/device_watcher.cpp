// The V4L2 device watcher: a thread that hears /dev change through inotify (with or without udev)
// and tells of capture nodes only, by listing them again after each change of a videoN entry.
#include "platform/v4l2/device_nodes.h"
#include "platform/v4l2/unique_fd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace lumicap::v4l2 {
namespace {

constexpr char kDirectory[] = "/dev";

std::vector<std::string> CaptureNodePaths()
{
    std::vector<std::string> paths;
    for (DeviceNode& node : ListCaptureNodes(kDirectory)) paths.push_back(std::move(node.path));
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Whether a batch of inotify events names a videoN entry (others, e.g. audio or media nodes, are
// no camera's).
bool NamesVideoNode(const char* events, ssize_t length)
{
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + offset);
        if (event->len > 0 && std::strncmp(event->name, "video", 5) == 0) return true;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return false;
}

class V4l2DeviceWatcher final : public platform::DeviceWatcher {
public:
    V4l2DeviceWatcher(platform::DeviceChangeListener* listener, UniqueFd inotify, UniqueFd wake)
        : listener_(listener), inotify_(std::move(inotify)), wake_(std::move(wake)), nodes_(CaptureNodePaths())
    {
        thread_ = std::thread([this] { Run(); });
    }

    ~V4l2DeviceWatcher() override
    {
        const uint64_t one = 1;
        // The thread sleeps in poll until this arrives; it cannot be missed, the counter keeps it.
        [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof(one));
        thread_.join();
    }

private:
    void Run()
    {
        alignas(inotify_event) char events[4096];
        pollfd fds[2] = {{inotify_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            const ssize_t length = ::read(inotify_.Get(), events, sizeof(events));
            if (length <= 0) {
                if (length < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                return;
            }
            if (NamesVideoNode(events, length)) Relist();
        }
    }

    void Relist()
    {
        std::vector<std::string> now = CaptureNodePaths();
        if (!std::includes(now.begin(), now.end(), nodes_.begin(), nodes_.end())) listener_->OnVideoDeviceChange(false);
        if (!std::includes(nodes_.begin(), nodes_.end(), now.begin(), now.end())) listener_->OnVideoDeviceChange(true);
        nodes_.swap(now);
    }

    platform::DeviceChangeListener* const listener_;
    UniqueFd inotify_;
    UniqueFd wake_;
    std::vector<std::string> nodes_;  // sorted
    std::thread thread_;
};

}  // namespace
}  // namespace lumicap::v4l2

namespace lumicap::platform {

std::unique_ptr<DeviceWatcher> WatchVideoDevices(DeviceChangeListener* listener) noexcept
{
    using v4l2::UniqueFd;
    UniqueFd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
    if (!inotify || !wake) return nullptr;
    // Nodes appear and go as entries of /dev; a node udev gives its group later changes attributes.
    if (::inotify_add_watch(inotify.Get(), v4l2::kDirectory, IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
        return nullptr;
    }
    try {
        return std::make_unique<v4l2::V4l2DeviceWatcher>(listener, std::move(inotify), std::move(wake));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace lumicap::platform
