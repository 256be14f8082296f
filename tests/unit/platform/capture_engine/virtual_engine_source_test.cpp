#include "support/virtual_engine_support.h"

#include "platform/capture_engine/engine_objects.h"

namespace lumicap::virt::engine_tests {
namespace {

using VirtualCaptureSource = EngineTest;

UINT64 Read64(IMFMediaType* type, REFGUID key)
{
    UINT64 value = 0;
    EXPECT_EQ(type->GetUINT64(key, &value), S_OK);
    return value;
}

GUID Subtype(IMFMediaType* type)
{
    GUID subtype = GUID_NULL;
    EXPECT_EQ(type->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
    return subtype;
}

TEST_F(VirtualCaptureSource, StreamZeroAndThePreferredVideoStreamsAreTheSameStream)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    struct Case {
        DWORD stream;
        HRESULT expected;
    };
    const Case cases[] = {
        {0, S_OK},
        {MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW, S_OK},
        {MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_RECORD, S_OK},
        {MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO, S_OK},
        {1, MF_E_INVALIDSTREAMNUMBER},
        {MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_AUDIO, MF_E_INVALIDSTREAMNUMBER},
        {MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_METADATA, MF_E_INVALIDSTREAMNUMBER},
        {MF_CAPTURE_ENGINE_MEDIASOURCE, MF_E_INVALIDSTREAMNUMBER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream);
        ComPtr<IMFMediaType> available, current;
        EXPECT_EQ(source->GetAvailableDeviceMediaType(c.stream, 1, available.Put()), c.expected);
        EXPECT_EQ(source->GetCurrentDeviceMediaType(c.stream, current.Put()), c.expected);
        ComPtr<IMFMediaType> offered;
        ASSERT_EQ(source->GetAvailableDeviceMediaType(0, 1, offered.Put()), S_OK);
        EXPECT_EQ(source->SetCurrentDeviceMediaType(c.stream, offered.Get()), c.expected);
        if (FAILED(c.expected)) {
            EXPECT_FALSE(available);
            EXPECT_FALSE(current);
            continue;
        }
        EXPECT_EQ(Read64(available.Get(), MF_MT_FRAME_SIZE), Pack(96, 64));
        EXPECT_EQ(Read64(current.Get(), MF_MT_FRAME_SIZE), Pack(160, 120));
        // Back to the first format for the next case.
        ComPtr<IMFMediaType> first;
        ASSERT_EQ(source->GetAvailableDeviceMediaType(0, 0, first.Put()), S_OK);
        ASSERT_EQ(source->SetCurrentDeviceMediaType(0, first.Get()), S_OK);
    }
}

TEST_F(VirtualCaptureSource, ListsTheCamerasFormatsInOrderAsFreshTypes)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    const std::vector<Format> formats = SmallCamera().formats;
    for (DWORD i = 0; i < formats.size(); ++i) {
        SCOPED_TRACE(i);
        ComPtr<IMFMediaType> type, again;
        ASSERT_EQ(source->GetAvailableDeviceMediaType(0, i, type.Put()), S_OK);
        ASSERT_EQ(source->GetAvailableDeviceMediaType(0, i, again.Put()), S_OK);
        EXPECT_NE(type.Get(), again.Get());
        EXPECT_EQ(Read64(type.Get(), MF_MT_FRAME_SIZE), Pack(formats[i].width, formats[i].height));
        EXPECT_EQ(Read64(type.Get(), MF_MT_FRAME_RATE), Pack(formats[i].rateNumerator, formats[i].rateDenominator));
        EXPECT_EQ(Subtype(type.Get()), formats[i].subtype);
        // Changing one copy leaves the camera's list alone.
        ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(1, 1)), S_OK);
        EXPECT_EQ(Read64(again.Get(), MF_MT_FRAME_SIZE), Pack(formats[i].width, formats[i].height));
    }
    ComPtr<IMFMediaType> past;
    EXPECT_EQ(source->GetAvailableDeviceMediaType(0, static_cast<DWORD>(formats.size()), past.Put()),
              MF_E_NO_MORE_TYPES);
    EXPECT_EQ(source->GetAvailableDeviceMediaType(0, 0xFFFFFFFF, past.Put()), MF_E_NO_MORE_TYPES);
    EXPECT_FALSE(past);
    EXPECT_EQ(source->GetAvailableDeviceMediaType(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(source->GetCurrentDeviceMediaType(0, nullptr), E_POINTER);
    EXPECT_EQ(source->SetCurrentDeviceMediaType(0, nullptr), E_POINTER);
}

TEST_F(VirtualCaptureSource, CurrentTypeStartsAsTheFirstFormatAndIsHandedOutAsACopy)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    ComPtr<IMFMediaType> current;
    ASSERT_EQ(source->GetCurrentDeviceMediaType(0, current.Put()), S_OK);
    EXPECT_EQ(Read64(current.Get(), MF_MT_FRAME_SIZE), Pack(160, 120));
    EXPECT_EQ(Subtype(current.Get()), MFVideoFormat_YUY2);
    ASSERT_EQ(current->SetUINT64(MF_MT_FRAME_SIZE, Pack(2, 2)), S_OK);
    ComPtr<IMFMediaType> again;
    ASSERT_EQ(source->GetCurrentDeviceMediaType(0, again.Put()), S_OK);
    EXPECT_EQ(Read64(again.Get(), MF_MT_FRAME_SIZE), Pack(160, 120));
    EngineState state = GetEngineState();
    ASSERT_TRUE(state.appliedType);
    EXPECT_EQ(Read64(state.appliedType.Get(), MF_MT_FRAME_SIZE), Pack(160, 120));
}

TEST_F(VirtualCaptureSource, SetCurrentAcceptsOnlyTheCamerasFormats)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    struct Case {
        const char* name;
        GUID subtype;
        UINT32 width;
        UINT32 height;
        UINT32 rate;
        HRESULT expected;
    };
    const Case cases[] = {
        {"second format", MFVideoFormat_NV12, 96, 64, 60, S_OK},
        {"third format, any rate", MFVideoFormat_MJPG, 320, 240, 7, S_OK},
        {"size of one, subtype of another", MFVideoFormat_YUY2, 96, 64, 60, MF_E_INVALIDMEDIATYPE},
        {"unknown size", MFVideoFormat_NV12, 97, 64, 60, MF_E_INVALIDMEDIATYPE},
        {"no size", MFVideoFormat_NV12, 0, 0, 60, MF_E_INVALIDMEDIATYPE},
        {"first format", MFVideoFormat_YUY2, 160, 120, 30, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IMFMediaType> before;
        ASSERT_EQ(source->GetCurrentDeviceMediaType(0, before.Put()), S_OK);
        ComPtr<IMFMediaType> type = SinkType(c.subtype, c.width, c.height, c.rate);
        EXPECT_EQ(source->SetCurrentDeviceMediaType(0, type.Get()), c.expected);
        ComPtr<IMFMediaType> after;
        ASSERT_EQ(source->GetCurrentDeviceMediaType(0, after.Put()), S_OK);
        const UINT64 expectedSize =
            SUCCEEDED(c.expected) ? Pack(c.width, c.height) : Read64(before.Get(), MF_MT_FRAME_SIZE);
        EXPECT_EQ(Read64(after.Get(), MF_MT_FRAME_SIZE), expectedSize);
        if (SUCCEEDED(c.expected)) {
            EXPECT_EQ(Read64(after.Get(), MF_MT_FRAME_RATE), Pack(c.rate, 1));
            // A copy was kept: changing the caller's type afterwards changes nothing.
            ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(3, 3)), S_OK);
            EngineState state = GetEngineState();
            ASSERT_TRUE(state.appliedType);
            EXPECT_EQ(Read64(state.appliedType.Get(), MF_MT_FRAME_SIZE), Pack(c.width, c.height));
        }
    }
}

TEST_F(VirtualCaptureSource, FormatsWithoutSizeOrSubtypeMatchTypesWithoutThem)
{
    Camera camera = SmallCamera();
    camera.formats[1].hasFrameSize = false;
    camera.formats[2].hasSubtype = false;
    SetCameras({camera});
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    for (DWORD i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ComPtr<IMFMediaType> offered;
        ASSERT_EQ(source->GetAvailableDeviceMediaType(0, i, offered.Put()), S_OK);
        EXPECT_EQ(source->SetCurrentDeviceMediaType(0, offered.Get()), S_OK);
    }
    // A subtype where the camera has none is not that format.
    EXPECT_EQ(source->SetCurrentDeviceMediaType(0, SinkType(MFVideoFormat_MJPG, 320, 240).Get()),
              MF_E_INVALIDMEDIATYPE);
}

TEST_F(VirtualCaptureSource, InjectedFaultsAndStreamFacts)
{
    StartEngine();
    ComPtr<IMFCaptureSource> source = Source();
    ASSERT_TRUE(source);
    ComPtr<IMFMediaType> type;
    FailOperation("IMFCaptureSource::GetAvailableDeviceMediaType", E_OUTOFMEMORY, 1);
    EXPECT_EQ(source->GetAvailableDeviceMediaType(0, 0, type.Put()), E_OUTOFMEMORY);
    FailOperation("IMFCaptureSource::GetCurrentDeviceMediaType", E_OUTOFMEMORY, 1);
    EXPECT_EQ(source->GetCurrentDeviceMediaType(0, type.Put()), E_OUTOFMEMORY);
    ASSERT_EQ(source->GetAvailableDeviceMediaType(0, 1, type.Put()), S_OK);
    FailOperation("IMFCaptureSource::SetCurrentDeviceMediaType", E_OUTOFMEMORY, 1);
    EXPECT_EQ(source->SetCurrentDeviceMediaType(0, type.Get()), E_OUTOFMEMORY);
    ComPtr<IMFMediaType> current;
    ASSERT_EQ(source->GetCurrentDeviceMediaType(0, current.Put()), S_OK);
    EXPECT_EQ(Read64(current.Get(), MF_MT_FRAME_SIZE), Pack(160, 120));

    DWORD count = 0;
    EXPECT_EQ(source->GetDeviceStreamCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    MF_CAPTURE_ENGINE_STREAM_CATEGORY category = MF_CAPTURE_ENGINE_STREAM_CATEGORY_UNSUPPORTED;
    EXPECT_EQ(source->GetDeviceStreamCategory(0, &category), S_OK);
    EXPECT_EQ(category, MF_CAPTURE_ENGINE_STREAM_CATEGORY_VIDEO_CAPTURE);
    EXPECT_EQ(source->GetDeviceStreamCategory(1, &category), MF_E_INVALIDSTREAMNUMBER);
    ComPtr<IMFCaptureSource> again;
    EXPECT_EQ(source->QueryInterface(IID_IMFCaptureSource, again.PutVoid()), S_OK);
    EXPECT_EQ(source->QueryInterface(IID_IMFCaptureEngine, again.PutVoid()), E_NOINTERFACE);
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
