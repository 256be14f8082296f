// The errors cameras report, in words a person understands: shared by the example hosts.
#pragma once

#include <lumicap/lumicap.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace lumicap_examples {

// Why, for the codes real cameras report most often; null for any other code.
inline const char* CameraErrorReason(HRESULT status)
{
    switch (static_cast<uint32_t>(status)) {
    case 0xC00D3704u: return "the camera is in use by another application";
#ifdef LUMICAP_EXAMPLES_V4L2
    case 0x80070005u: return "this user may not open the camera (add it to the video group)";
#else
    case 0x80070005u: return "camera access is turned off in Settings > Privacy > Camera";
#endif
    case 0xC00D3EA2u: return "the camera was unplugged";
    case 0xC00D3EA3u: return "another application has taken the camera over";
    case 0x887A0005u: return "the graphics device was reset";
    case 0xC00DABE0u:
    case 0x8007048Fu: return "no camera is attached";
    case 0xC00D5212u: return "this format cannot be previewed; choose another";
    case 0x8007007Eu: return "Media Foundation is not installed (Windows N: install the Media Feature Pack)";
    case 0x800705B4u: return "the camera did not answer in time";
    default: return nullptr;
    }
}

// What failed, for the wParam of WM_CAMERA_ERROR.
inline const char* CameraErrorWhat(WPARAM kind)
{
    switch (kind) {
    case LUMICAP_ERROR_INITIALIZE: return "The camera could not be opened";
    case LUMICAP_ERROR_PREVIEW: return "The preview could not be started";
    case LUMICAP_ERROR_PHOTO: return "The photo could not be taken";
    case LUMICAP_ERROR_CAMERA: return "The camera stopped working";
    case LUMICAP_ERROR_EVENT: return "The camera reported a problem";
    default: return "The camera reported an error";
    }
}

// One sentence: what failed, why where the code is known, and the code.
inline std::string DescribeCameraError(WPARAM kind, HRESULT status)
{
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08X", static_cast<unsigned>(status));
    const char* reason = CameraErrorReason(status);
    return std::string(CameraErrorWhat(kind)) + (reason ? std::string(": ") + reason : std::string()) + " (" + code +
           ").";
}

}  // namespace lumicap_examples
