// The cameras of the V4L2 backend: the capture nodes plugged in now, each described as device
// enumeration shows a camera, and the feed an engine opened on one of them streams from.
#include "platform/capture_engine/camera_backend.h"
#include "platform/media_foundation/activation.h"
#include "platform/no_throw.h"
#include "platform/v4l2/device_formats.h"
#include "platform/v4l2/device_frame_source.h"
#include "platform/v4l2/device_nodes.h"
#include "platform/v4l2/node_controls.h"

#include <new>

namespace lumicap::virt {
namespace {

// The bytes of the UTF-8 sequence a lead byte starts; 0 for a byte that starts none.
size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if ((lead >> 5) == 0x6) return 2;
    if ((lead >> 4) == 0xE) return 3;
    if ((lead >> 3) == 0x1E) return 4;
    return 0;
}

// UTF-16 of the driver's UTF-8 text; a malformed sequence becomes U+FFFD.
WideString Widen(const std::string& text)
{
    WideString wide;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = SequenceLength(lead);
        uint32_t code = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            wide.push_back(static_cast<WCHAR>(0xFFFD));
            i += 1;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<WCHAR>(code));
        }
        i += length;
    }
    return wide;
}

std::vector<Format> FormatsOf(const v4l2::DeviceNode& node)
{
    std::vector<Format> formats;
    v4l2::UniqueFd fd;
    std::vector<v4l2::DeviceFormat> listed;
    if (!node.accessible || FAILED(v4l2::OpenNode(node.path, &fd)) || FAILED(v4l2::ListFormats(fd.Get(), &listed))) {
        return formats;
    }
    for (const v4l2::DeviceFormat& entry : listed) {
        Format format;
        format.width = entry.width;
        format.height = entry.height;
        format.subtype = v4l2::SubtypeOfPixelFormat(entry.pixelFormat);
        format.rateNumerator = entry.rateNumerator;
        format.rateDenominator = entry.rateDenominator;
        format.minRateNumerator = entry.minRateNumerator;
        format.minRateDenominator = entry.minRateDenominator;
        format.hasRateRange = true;
        formats.push_back(format);
    }
    return formats;
}

Camera Describe(const v4l2::DeviceNode& node)
{
    Camera camera;
    camera.friendlyName = Widen(node.card);
    // Names the device by where it is plugged in and by its node, as a symbolic link names a device
    // interface on Windows.
    camera.symbolicLink = Widen("v4l2:" + node.busInfo + ":" + node.path);
    camera.category = CLSID_VideoInputDeviceCategory;
    camera.formats = FormatsOf(node);
    camera.devicePath = node.path;
    return camera;
}

// Whether this process may open the node now; the node is closed again at once.
CameraCondition AccessCondition(const std::string& path)
{
    v4l2::UniqueFd fd;
    return v4l2::OpenNode(path, &fd) == E_ACCESSDENIED ? CameraCondition::denied : CameraCondition::normal;
}

}  // namespace

std::vector<std::shared_ptr<CameraRecord>> PluggedCameras()
{
    std::vector<std::shared_ptr<CameraRecord>> cameras;
    const HRESULT hr = NoThrow([&] {
        for (const v4l2::DeviceNode& node : v4l2::ListCaptureNodes()) {
            cameras.push_back(std::make_shared<CameraRecord>(Describe(node)));
        }
    });
    if (FAILED(hr)) cameras.clear();
    return cameras;
}

HRESULT OpenCameraFeed(IUnknown* activate, CameraFeed* feed)
{
    std::shared_ptr<CameraRecord> camera = CameraFromActivate(activate);
    if (!camera) return E_INVALIDARG;
    CameraFeed opened;
    const std::string& path = camera->Description().devicePath;
    std::shared_ptr<v4l2::NodeControls> controls;
    HRESULT hr = NoThrow([&] { controls = std::make_shared<v4l2::NodeControls>(path); });
    if (FAILED(hr)) return hr;
    hr = CaptureSource::Create(camera, std::move(controls), opened.source.Put());
    if (FAILED(hr)) return hr;
    opened.condition = AccessCondition(path);
    hr = NoThrow([&] { opened.frames.reset(new (std::nothrow) v4l2::DeviceFrameSource(path)); });
    if (FAILED(hr)) return hr;
    if (!opened.frames) return E_OUTOFMEMORY;
    *feed = std::move(opened);
    return S_OK;
}

}  // namespace lumicap::virt
