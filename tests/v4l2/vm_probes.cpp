#include "vm_probes.h"

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>

namespace lumicap::v4l2::testing {

std::string Output(const std::string& command)
{
    std::string text;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return text;
    char chunk[4096];
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe.get())) text.append(chunk, n);
    return text;
}

bool SetControl(const std::string& node, const std::string& control, int value)
{
    const std::string command = "v4l2-ctl -d " + node + " -c " + control + "=" + std::to_string(value);
    return system(command.c_str()) == 0;
}

std::vector<std::string> OpenNodes()
{
    std::vector<std::string> nodes;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc/self/fd"), closedir);
    if (!dir) return nodes;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string path(target, static_cast<size_t>(n));
        if (path.rfind("/dev/video", 0) == 0) nodes.push_back(path);
    }
    return nodes;
}

int OpenDescriptorCount()
{
    int count = 0;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc/self/fd"), closedir);
    if (!dir) return -1;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.') ++count;
    }
    return count - 1; // the directory's own descriptor
}

int NodeMappingCount()
{
    int count = 0;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(" /dev/video") != std::string::npos) ++count;
    }
    return count;
}

bool MapsNode(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) return true;
    }
    return false;
}

}  // namespace lumicap::v4l2::testing
