// Every operation name the virtual platform counts, for tests that fail each in turn.
#include "attribute_store.h"

namespace lumicap::virt {
namespace {

// The calls behind the seam and the Direct3D/DXGI stand-ins.
constexpr const char* kSeamOperations[] = {
    "MFCreateAttributes",
    "MFCreateMediaType",
    "MFEnumDeviceSources",
    "D3D11CreateDevice",
    "ID3D11Device::QueryInterface(ID3D10Multithread)",
    "MFCreateDXGIDeviceManager",
    "IMFDXGIDeviceManager::ResetDevice",
    "CoCreateInstance",
    "MFCreateAsyncResult",
    "MFInvokeCallback",
};

// Counted by the capture engine, its source and its sinks.
constexpr const char* kEngineOperations[] = {
    "IMFCaptureEngineClassFactory::CreateInstance",
    "IMFCaptureEngine::Initialize",
    "IMFCaptureEngine::StartPreview",
    "IMFCaptureEngine::StopPreview",
    "IMFCaptureEngine::StartRecord",
    "IMFCaptureEngine::StopRecord",
    "IMFCaptureEngine::TakePhoto",
    "IMFCaptureEngine::GetSink",
    "IMFCaptureEngine::GetSource",
    "IMFCaptureSource::GetAvailableDeviceMediaType",
    "IMFCaptureSource::GetCurrentDeviceMediaType",
    "IMFCaptureSource::SetCurrentDeviceMediaType",
    "IMFCaptureSink::QueryInterface",
    "IMFCapturePreviewSink::SetRenderHandle",
    "IMFCapturePreviewSink::AddStream",
    "IMFCapturePhotoSink::RemoveAllStreams",
    "IMFCapturePhotoSink::AddStream",
    "IMFCapturePhotoSink::SetOutputByteStream",
};

// The methods each attribute-bearing interface adds to IMFAttributes.
struct StoreInterface {
    const char* name;
    std::vector<const char*> ownMethods;
};

std::vector<StoreInterface> StoreInterfaces()
{
    return {
        {"IMFAttributes", {}},
        {"IMFMediaType", {"GetMajorType", "IsCompressedFormat", "IsEqual", "GetRepresentation", "FreeRepresentation"}},
        {"IMFActivate", {"ActivateObject", "ShutdownObject", "DetachObject"}},
        {"IMFMediaEvent", {"GetType", "GetExtendedType", "GetStatus", "GetValue"}},
    };
}

void AddStoreOperations(std::vector<std::string>& names)
{
    for (const StoreInterface& store : StoreInterfaces()) {
        const std::string prefix = std::string(store.name) + "::";
        for (const char* method : kAttributeMethods) names.push_back(prefix + method);
        for (const char* method : store.ownMethods) names.push_back(prefix + method);
    }
}

}  // namespace

std::vector<std::string> OperationNames()
{
    std::vector<std::string> names(std::begin(kSeamOperations), std::end(kSeamOperations));
    names.insert(names.end(), std::begin(kEngineOperations), std::end(kEngineOperations));
    AddStoreOperations(names);
#ifndef _WIN32
    names.emplace_back("CreateEventW");
#endif
    return names;
}

}  // namespace lumicap::virt
