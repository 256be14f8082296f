#include "camera_discovery.h"

#include "interface/log.h"
#include "interface/module_state.h"
#include "platform/com_ptr.h"

namespace lumicap {

WString ReadText(IMFActivate* camera, REFGUID key, bool* readable)
{
    LPWSTR text = nullptr;
    UINT32 length = 0;
    HRESULT hr = camera->GetAllocatedString(key, &text, &length);
    if (readable) *readable = SUCCEEDED(hr) && text;
    WString result = SUCCEEDED(hr) ? FromNullable(text) : WString();
    CoTaskMemFree(text);
    return result;
}

namespace {

WString CategoryText(REFGUID category)
{
    LPOLESTR text = nullptr;
    WString result = SUCCEEDED(StringFromCLSID(category, &text)) ? FromNullable(text) : WString();
    CoTaskMemFree(text);
    return result;
}

void DescribeCamera(IMFActivate* camera, BSTR* element)
{
    EmitLog(TEXT("Camera symbolic link: ") +
            ReadText(camera, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK));

    WString name = ReadText(camera, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME);
    if (element) *element = SysAllocString(name.c_str());
    EmitLog(TEXT("Camera name: ") + name);

    GUID category = GUID_NULL;
    if (FAILED(camera->GetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_CATEGORY, &category))) {
        category = GUID_NULL;
    }
    EmitLog(TEXT("Camera category GUID: ") + CategoryText(category));
    if (IsEqualGUID(category, CLSID_VideoInputDeviceCategory)) {
        EmitLog(TEXT("Camera category name: CLSID_VideoInputDeviceCategory"));
    }
}

}  // namespace

void EnumerateCameraDevices(CameraDeviceArray& devices)
{
    ComPtr<IMFAttributes> filter;
    if (FAILED(platform::MFCreateAttributes(filter.Put(), 1))) return;
    filter->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    if (FAILED(platform::MFEnumDeviceSources(filter.Get(), devices.ArraySlot(), devices.CountSlot()))) {
        // Whatever a failed call left behind is not ours to trust.
        *devices.ArraySlot() = nullptr;
        *devices.CountSlot() = 0;
    }
}

void GetCameraList(SAFEARRAY** cameraNames)
{
    EmitLog(TEXT("GetCameraList"));

    CameraDeviceArray cameras;
    EnumerateCameraDevices(cameras);

    SAFEARRAYBOUND bound{cameras.Count(), 0};
    SAFEARRAY* names = SafeArrayCreate(VT_BSTR, 1, &bound);
    if (cameraNames) *cameraNames = names;

    BSTR* elements = nullptr;
    if (!names || FAILED(SafeArrayAccessData(names, reinterpret_cast<void**>(&elements)))) elements = nullptr;
    for (UINT32 i = 0; i < cameras.Count(); ++i) {
        if (IMFActivate* camera = cameras.At(i)) DescribeCamera(camera, elements ? &elements[i] : nullptr);
    }
    if (elements) SafeArrayUnaccessData(names);

    // Without a place to store it, the list is nobody's: give it back.
    if (!cameraNames && names) SafeArrayDestroy(names);
}

IMFActivate* SelectCameraByName(LPCWSTR name)
{
    ModuleState& module = Module();
    ReleaseCameraDevices();
    EnumerateCameraDevices(module.cameraDevices);

    const WString wanted = FromNullable(name);
    for (UINT32 i = 0; i < module.cameraDevices.Count(); ++i) {
        IMFActivate* camera = module.cameraDevices.At(i);
        if (!camera) continue;
        bool readable = false;
        WString friendlyName = ReadText(camera, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, &readable);
        // The last camera of that name wins (two identical webcams: the one plugged in last), and no
        // match keeps the camera chosen before: hosts rely on both.
        if (readable && friendlyName == wanted) module.selectedCamera = static_cast<int32_t>(i);
    }

    if (module.selectedCamera < 0 ||
        static_cast<UINT32>(module.selectedCamera) >= module.cameraDevices.Count()) {
        return nullptr;
    }
    return module.cameraDevices.At(static_cast<UINT32>(module.selectedCamera));
}

void ReleaseCameraDevices() { Module().cameraDevices.Release(); }

}  // namespace lumicap
