// IMFActivate for a virtual camera: its device attributes and a link to the shared camera record.
#include "activation.h"

#include "attribute_store.h"

#include <new>

namespace lumicap::virt {
namespace {

// {9D3E61A4-7B2C-4E58-A0F1-3C6B8D2E4F17}: answered only by virtual activations, with their
// IMFActivate, so the platform can find the camera behind one.
constexpr GUID IID_IVirtualActivate = {0x9d3e61a4, 0x7b2c, 0x4e58, {0xa0, 0xf1, 0x3c, 0x6b, 0x8d, 0x2e, 0x4f, 0x17}};

class Activation final : public AttributeStore<Activation, IMFActivate> {
public:
    explicit Activation(std::shared_ptr<CameraRecord> camera) : camera_(std::move(camera)) {}

    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            QITABENT(Activation, IMFActivate),
            QITABENT(Activation, IMFAttributes),
            {&IID_IVirtualAttributes, OFFSETOFCLASS(IVirtualAttributes, Activation)},
            {&IID_IVirtualActivate, OFFSETOFCLASS(IMFActivate, Activation)},
            {nullptr, 0},
        };
        return table;
    }

    const std::shared_ptr<CameraRecord>& Camera() const { return camera_; }

    // The capture engine takes the activation itself, so nothing is activated here.
    HRESULT STDMETHODCALLTYPE ActivateObject(REFIID, void** object) override
    {
        return Checked("ActivateObject", [&] {
            if (object) *object = nullptr;
            return E_NOTIMPL;
        });
    }
    HRESULT STDMETHODCALLTYPE ShutdownObject() override
    {
        return Checked("ShutdownObject", [] { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE DetachObject() override
    {
        return Checked("DetachObject", [] { return S_OK; });
    }

private:
    const std::shared_ptr<CameraRecord> camera_;
};

HRESULT FillDeviceAttributes(AttributeItems& items, const virt::Camera& camera)
{
    HRESULT hr = items.SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    if (SUCCEEDED(hr) && camera.hasFriendlyName) {
        hr = items.SetString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, camera.friendlyName.c_str());
    }
    if (SUCCEEDED(hr) && camera.hasSymbolicLink) {
        hr = items.SetString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, camera.symbolicLink.c_str());
    }
    if (SUCCEEDED(hr) && camera.hasCategory) {
        hr = items.SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_CATEGORY, camera.category);
    }
    return hr;
}

}  // namespace

HRESULT CreateActivation(std::shared_ptr<CameraRecord> camera, IMFActivate** activate)
{
    *activate = nullptr;
    auto created = ComPtr<Activation>::Attach(new (std::nothrow) Activation(std::move(camera)));
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = FillDeviceAttributes(created->Items(), created->Camera()->Description());
    if (SUCCEEDED(hr)) *activate = created.Detach();
    return hr;
}

std::shared_ptr<CameraRecord> CameraFromActivate(IUnknown* activate)
{
    ComPtr<IMFActivate> ours;
    if (!activate || FAILED(activate->QueryInterface(IID_IVirtualActivate, ours.PutVoid()))) return nullptr;
    return static_cast<Activation*>(ours.Get())->Camera();
}

}  // namespace lumicap::virt
