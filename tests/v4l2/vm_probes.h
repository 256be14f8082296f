// What the VM suites read of the process and of the cameras: shell commands (v4l2-ctl), vivid's
// controls, and the descriptors and mappings this process holds, to see leaks.
#pragma once

#include <string>
#include <vector>

namespace lumicap::v4l2::testing {

// A command's standard output and error.
std::string Output(const std::string& command);
// v4l2-ctl -d node -c control=value; false when it failed.
bool SetControl(const std::string& node, const std::string& control, int value = 1);

// The /dev/video* nodes this process has open, one entry per descriptor.
std::vector<std::string> OpenNodes();
// Descriptors this process has open.
int OpenDescriptorCount();
// Mappings of /dev/video* nodes in this process.
int NodeMappingCount();
// Whether this process maps the node.
bool MapsNode(const std::string& path);

}  // namespace lumicap::v4l2::testing
