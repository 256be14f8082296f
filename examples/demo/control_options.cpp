#include "control_options.h"

#include "common/camera_controls.h"

#include <cstdio>
#include <cstdlib>

namespace demo {
namespace {

const char* NameOf(int control)
{
    for (const auto& named : lumicap_examples::kCameraControls) {
        if (named.control == control) return named.name;
    }
    return "?";
}

}  // namespace

bool ParseControlRequest(const std::string& text, ControlRequest* request)
{
    const size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    request->control = lumicap_examples::ControlNamed(name.c_str());
    if (equals == std::string::npos || request->control < 0) {
        std::fprintf(stderr, "error: --control takes NAME=VALUE or NAME=auto with a control's name (see --help)\n");
        return false;
    }
    const std::string value = text.substr(equals + 1);
    request->automatic = value == "auto";
    if (request->automatic) return true;
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0') {
        std::fprintf(stderr, "error: --control %s: \"%s\" is neither a whole number nor auto\n", name.c_str(),
                     value.c_str());
        return false;
    }
    request->value = static_cast<int>(number);
    return true;
}

bool ApplyControls(const std::vector<ControlRequest>& requests)
{
    for (const ControlRequest& request : requests) {
        const HRESULT hr = LumicapSetControl(request.control, request.value,
                                             request.automatic ? LUMICAP_CONTROL_AUTO : LUMICAP_CONTROL_MANUAL);
        if (FAILED(hr)) {
            std::fprintf(stderr, "error: the camera refused %s (0x%08X%s)\n", NameOf(request.control),
                         static_cast<unsigned>(hr),
                         hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND) ? ": it has no such control"
                         : hr == E_INVALIDARG                      ? ": off its range or step, or no auto"
                                                                   : "");
            return false;
        }
        if (request.automatic) {
            std::printf("Control %s: auto\n", NameOf(request.control));
        } else {
            std::printf("Control %s: %d\n", NameOf(request.control), request.value);
        }
    }
    return true;
}

void ListControls()
{
    std::printf("Controls:\n");
    for (const auto& named : lumicap_examples::kCameraControls) {
        INT32 minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0, value = 0, flags = 0;
        if (FAILED(LumicapGetControlRange(named.control, &minimum, &maximum, &step, &defaultValue, &caps))) continue;
        const bool read = SUCCEEDED(LumicapGetControl(named.control, &value, &flags));
        std::printf("  %s: %d to %d step %d, default %d%s; now %s%s\n", named.name, minimum, maximum, step,
                    defaultValue, (caps & LUMICAP_CONTROL_AUTO) != 0 ? ", can be auto" : "",
                    read ? std::to_string(value).c_str() : "unreadable",
                    read && flags == LUMICAP_CONTROL_AUTO ? " (auto)" : "");
    }
}

}  // namespace demo
