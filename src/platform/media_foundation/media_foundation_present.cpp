// Our own work-alike of Media Foundation is always there.
#include "platform/platform.h"

namespace lumicap::platform {

bool MediaFoundationPresent() { return true; }

}  // namespace lumicap::platform
