// Every operation name the virtual platform counts, for tests that fail each in turn.
#include "operation_names.h"

#include "platform/media_foundation/attribute_store.h"

namespace lumicap::virt {
namespace {

// The calls behind the seam and the Direct3D/DXGI stand-ins.
constexpr const char* kSeamOperations[] = {
    operation::kMFCreateAttributes,
    operation::kMFCreateMediaType,
    operation::kMFEnumDeviceSources,
    operation::kD3D11CreateDevice,
    operation::kQueryMultithread,
    operation::kMFCreateDXGIDeviceManager,
    operation::kResetDevice,
    operation::kCoCreateInstance,
    operation::kMFCreateAsyncResult,
    operation::kMFInvokeCallback,
    operation::kMFCreateSample,
    operation::kMFCreateMemoryBuffer,
};

// Counted by the capture engine, its source and its sinks.
constexpr const char* kEngineOperations[] = {
    operation::kCreateEngine,
    operation::kEngineInitialize,
    operation::kEngineStartPreview,
    operation::kEngineStopPreview,
    operation::kEngineStartRecord,
    operation::kEngineStopRecord,
    operation::kEngineTakePhoto,
    operation::kEngineGetSink,
    operation::kEngineGetSource,
    operation::kSourceGetAvailableDeviceMediaType,
    operation::kSourceGetCurrentDeviceMediaType,
    operation::kSourceSetCurrentDeviceMediaType,
    operation::kSinkQueryInterface,
    operation::kPreviewSetRenderHandle,
    operation::kPreviewAddStream,
    operation::kPhotoRemoveAllStreams,
    operation::kPhotoAddStream,
    operation::kPhotoSetOutputByteStream,
    operation::kPreviewSetMirrorState,
    operation::kPreviewSetSampleCallback,
};

// The methods each attribute-bearing interface adds to IMFAttributes.
struct StoreInterface {
    const char* name;
    std::vector<const char*> ownMethods;
};

std::vector<StoreInterface> StoreInterfaces()
{
    return {
        {InterfaceTraits<IMFAttributes>::kName, {}},
        {InterfaceTraits<IMFMediaType>::kName,
         {"GetMajorType", "IsCompressedFormat", "IsEqual", "GetRepresentation", "FreeRepresentation"}},
        {InterfaceTraits<IMFActivate>::kName, {"ActivateObject", "ShutdownObject", "DetachObject"}},
        {InterfaceTraits<IMFMediaEvent>::kName, {"GetType", "GetExtendedType", "GetStatus", "GetValue"}},
        {InterfaceTraits<IMFSample>::kName,
         {"GetSampleFlags", "SetSampleFlags", "GetSampleTime", "SetSampleTime", "GetSampleDuration",
          "SetSampleDuration", "GetBufferCount", "GetBufferByIndex", "ConvertToContiguousBuffer", "AddBuffer",
          "RemoveBufferByIndex", "RemoveAllBuffers", "GetTotalLength", "CopyToBuffer"}},
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
    names.emplace_back(operation::kCreateEventW);
#endif
    return names;
}

}  // namespace lumicap::virt
