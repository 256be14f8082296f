// How the preview is shown, beyond the eleven: mirroring, a picture that follows its window, and
// frames for the host. Each runs on the host's thread, as the exports do.
#pragma once

#include "platform/platform.h"

namespace lumicap {

class CaptureManager;

HRESULT SetPreviewMirror(BOOL mirrored);

// Applied once a preview configuration has succeeded, before its preview starts.
HRESULT ApplyPreviewOptions(CaptureManager& manager);
// A set-up has its engine; when it ends its options and the window's subclass go with it.
void OpenPreviewOptions();
void DropPreviewOptions(CaptureManager& manager);

}  // namespace lumicap
