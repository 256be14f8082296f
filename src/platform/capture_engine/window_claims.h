// The windows preview sinks draw into. As on Windows, a window one sink still draws into is not
// another's: a preview started there is refused until the first lets go.
#pragma once

#include "../platform.h"

namespace lumicap::virt {

// False when another owner holds the window; a null window is nobody's.
bool ClaimWindow(HANDLE window, const void* owner);
void ReleaseWindow(HANDLE window, const void* owner);

}  // namespace lumicap::virt
