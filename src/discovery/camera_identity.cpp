#include "camera_identity.h"

#include "camera_discovery.h"
#include "interface/log.h"
#include "interface/module_state.h"

#include <memory>

namespace lumicap {
namespace {

struct SafeArrayDestroyer {
    void operator()(SAFEARRAY* array) const { SafeArrayDestroy(array); }
};
using UniqueSafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDestroyer>;

struct BstrFreer {
    void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFreer>;

// One attribute of every camera as a string list; null when memory runs out. A camera the
// enumeration left out keeps an empty element, as in GetCameraList.
UniqueSafeArray MakeList(const CameraDeviceArray& cameras, REFGUID key)
{
    SAFEARRAYBOUND bound{cameras.Count(), 0};
    UniqueSafeArray list(SafeArrayCreate(VT_BSTR, 1, &bound));
    BSTR* elements = nullptr;
    if (!list || FAILED(SafeArrayAccessData(list.get(), reinterpret_cast<void**>(&elements)))) return nullptr;
    bool complete = true;
    for (UINT32 i = 0; i < cameras.Count() && complete; ++i) {
        if (IMFActivate* camera = cameras.At(i)) {
            elements[i] = SysAllocString(ReadText(camera, key).c_str());
            complete = elements[i] != nullptr;
        }
    }
    SafeArrayUnaccessData(list.get());
    return complete ? std::move(list) : nullptr;
}

WCHAR FoldCase(WCHAR c) { return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 'a' + 'A') : c; }

// Device paths differ only in the case of their ASCII letters (\\?\USB#VID_046D vs \\?\usb#vid_046d).
bool SameLink(const WString& link, LPCWSTR wanted)
{
    size_t i = 0;
    for (; i < link.size() && wanted[i]; ++i) {
        if (FoldCase(link[i]) != FoldCase(wanted[i])) return false;
    }
    return i == link.size() && !wanted[i];
}

UniqueBstr CopyText(IMFActivate* camera, REFGUID key) { return UniqueBstr(SysAllocString(ReadText(camera, key).c_str())); }

// The two things a camera is known by, in the order of the exports' arguments.
const GUID* const kIdentityKeys[2] = {&MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME,
                                      &MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK};

// Makes, for each out argument that is not null, what make(key) makes of its key, then stores all of
// them, or nothing and E_OUTOFMEMORY when one cannot be made.
template <typename Owner, typename Out, typename Make>
HRESULT StoreIdentity(Out* name, Out* link, Make&& make)
{
    Out* const outs[2] = {name, link};
    Owner made[2];
    for (int i = 0; i < 2; ++i) {
        if (outs[i] && !(made[i] = make(*kIdentityKeys[i]))) return E_OUTOFMEMORY;
    }
    for (int i = 0; i < 2; ++i) {
        if (outs[i]) *outs[i] = made[i].release();
    }
    return S_OK;
}

}  // namespace

HRESULT GetCameras(SAFEARRAY** friendlyNames, SAFEARRAY** symbolicLinks)
{
    EmitLog(TEXT("LumicapGetCameras"));
    CameraDeviceArray cameras;
    EnumerateCameraDevices(cameras);

    return StoreIdentity<UniqueSafeArray>(friendlyNames, symbolicLinks,
                                          [&](REFGUID key) { return MakeList(cameras, key); });
}

IMFActivate* SelectCameraByLink(LPCWSTR symbolicLink)
{
    CameraDeviceArray cameras;
    EnumerateCameraDevices(cameras);
    for (UINT32 i = 0; i < cameras.Count(); ++i) {
        IMFActivate* camera = cameras.At(i);
        if (!camera) continue;
        bool readable = false;
        const WString link = ReadText(camera, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, &readable);
        if (!readable || !SameLink(link, symbolicLink)) continue;
        ModuleState& module = Module();
        // The earlier list goes with the local array; a set-up built from it holds its own reference.
        module.cameraDevices.Swap(cameras);
        module.selectedCamera = static_cast<int32_t>(i);
        return camera;
    }
    return nullptr;
}

IMFActivate* SelectedCamera()
{
    const ModuleState& module = Module();
    if (module.selectedCamera < 0 || static_cast<UINT32>(module.selectedCamera) >= module.cameraDevices.Count()) {
        return nullptr;
    }
    return module.cameraDevices.At(static_cast<UINT32>(module.selectedCamera));
}

HRESULT CopyCameraIdentity(IMFActivate* camera, BSTR* friendlyName, BSTR* symbolicLink)
{
    return StoreIdentity<UniqueBstr>(friendlyName, symbolicLink, [&](REFGUID key) { return CopyText(camera, key); });
}

}  // namespace lumicap
