// The demo's camera controls: --control NAME=VALUE|auto and --list-controls.
#pragma once

#include <string>
#include <vector>

namespace demo {

struct ControlRequest {
    int control = -1;
    int value = 0;
    bool automatic = false;
};

// NAME=VALUE or NAME=auto; false (with the reason on stderr) for anything else.
bool ParseControlRequest(const std::string& text, ControlRequest* request);

// Sets each control in order; false (with the reason on stderr) at the first the camera refuses.
bool ApplyControls(const std::vector<ControlRequest>& requests);

// Prints every control the open camera has: its range, step, default and value now.
void ListControls();

}  // namespace demo
