// The names of the platform operations the virtual platform counts and can fail (FailOperation,
// OperationCount, OperationLog). Hosts and tests name operations by these strings, so they never
// change; every call site, and OperationNames(), takes them from here.
#pragma once

namespace lumicap::virt::operation {

// The calls behind the seam and the Direct3D/DXGI stand-ins.
inline constexpr char kMFCreateAttributes[] = "MFCreateAttributes";
inline constexpr char kMFCreateMediaType[] = "MFCreateMediaType";
inline constexpr char kMFEnumDeviceSources[] = "MFEnumDeviceSources";
inline constexpr char kD3D11CreateDevice[] = "D3D11CreateDevice";
inline constexpr char kQueryMultithread[] = "ID3D11Device::QueryInterface(ID3D10Multithread)";
inline constexpr char kMFCreateDXGIDeviceManager[] = "MFCreateDXGIDeviceManager";
inline constexpr char kResetDevice[] = "IMFDXGIDeviceManager::ResetDevice";
inline constexpr char kCoCreateInstance[] = "CoCreateInstance";
inline constexpr char kMFCreateAsyncResult[] = "MFCreateAsyncResult";
inline constexpr char kMFInvokeCallback[] = "MFInvokeCallback";
inline constexpr char kMFCreateSample[] = "MFCreateSample";
inline constexpr char kMFCreateMemoryBuffer[] = "MFCreateMemoryBuffer";

// The capture engine, its source and its sinks.
inline constexpr char kCreateEngine[] = "IMFCaptureEngineClassFactory::CreateInstance";
inline constexpr char kEngineInitialize[] = "IMFCaptureEngine::Initialize";
inline constexpr char kEngineStartPreview[] = "IMFCaptureEngine::StartPreview";
inline constexpr char kEngineStopPreview[] = "IMFCaptureEngine::StopPreview";
inline constexpr char kEngineStartRecord[] = "IMFCaptureEngine::StartRecord";
inline constexpr char kEngineStopRecord[] = "IMFCaptureEngine::StopRecord";
inline constexpr char kEngineTakePhoto[] = "IMFCaptureEngine::TakePhoto";
inline constexpr char kEngineGetSink[] = "IMFCaptureEngine::GetSink";
inline constexpr char kEngineGetSource[] = "IMFCaptureEngine::GetSource";
inline constexpr char kSourceGetAvailableDeviceMediaType[] = "IMFCaptureSource::GetAvailableDeviceMediaType";
inline constexpr char kSourceGetCurrentDeviceMediaType[] = "IMFCaptureSource::GetCurrentDeviceMediaType";
inline constexpr char kSourceSetCurrentDeviceMediaType[] = "IMFCaptureSource::SetCurrentDeviceMediaType";
inline constexpr char kSinkQueryInterface[] = "IMFCaptureSink::QueryInterface";
inline constexpr char kPreviewSetRenderHandle[] = "IMFCapturePreviewSink::SetRenderHandle";
inline constexpr char kPreviewAddStream[] = "IMFCapturePreviewSink::AddStream";
inline constexpr char kPreviewSetMirrorState[] = "IMFCapturePreviewSink::SetMirrorState";
inline constexpr char kPreviewSetSampleCallback[] = "IMFCapturePreviewSink::SetSampleCallback";
inline constexpr char kPhotoRemoveAllStreams[] = "IMFCapturePhotoSink::RemoveAllStreams";
inline constexpr char kPhotoAddStream[] = "IMFCapturePhotoSink::AddStream";
inline constexpr char kPhotoSetOutputByteStream[] = "IMFCapturePhotoSink::SetOutputByteStream";

// Off Windows only, where the platform stands in for the event object: fails with the injected last
// error code as the thread's last error.
inline constexpr char kCreateEventW[] = "CreateEventW";

// The attribute-bearing objects count each call as "<Interface>::<method>", e.g.
// "IMFMediaType::SetGUID" or "IMFActivate::GetAllocatedString": the interface names are
// InterfaceTraits<>::kName and the methods kAttributeMethods, both in attribute_store.h.

}  // namespace lumicap::virt::operation
