// Device enumeration, the default cameras, their media types and unplugging.
#include "support/virtual_devices_support.h"

#include <atomic>
#include <functional>

namespace lumicap::virt::testing {
namespace {

using VirtualDeviceEnumeration = VirtualDevicesTest;

const WideString kFrontName = TEXT("Lumicap Virtual Camera");
const WideString kRearName = TEXT("Lumicap Virtual Rear Camera");

Camera NamedCamera(WideString name)
{
    Camera camera;
    camera.friendlyName = std::move(name);
    camera.symbolicLink = TEXT("\\\\?\\test#") + camera.friendlyName;
    camera.category = kCategoryVideoCamera;
    camera.formats = {Format{320, 240, MFVideoFormat_NV12, 15, 1}};
    return camera;
}

HRESULT EnumerateRaw(IMFAttributes* attributes, IMFActivate*** array, UINT32* count)
{
    return platform::MFEnumDeviceSources(attributes, array, count);
}

struct ExpectedFormat {
    UINT32 width;
    UINT32 height;
    GUID subtype;
    UINT32 numerator;
    UINT32 denominator;
};

void ExpectFormats(const Camera& camera, const std::vector<ExpectedFormat>& expected)
{
    ASSERT_EQ(camera.formats.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ComPtr<IMFMediaType> type;
        ASSERT_EQ(CreateFormatMediaType(camera.formats[i], type.Put()), S_OK);
        UINT64 size = 0;
        UINT64 rate = 0;
        GUID subtype = GUID_NULL;
        EXPECT_EQ(type->GetUINT64(MF_MT_FRAME_SIZE, &size), S_OK);
        EXPECT_EQ(type->GetUINT64(MF_MT_FRAME_RATE, &rate), S_OK);
        EXPECT_EQ(type->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
        EXPECT_EQ(size, Pack(expected[i].width, expected[i].height)) << "format " << i;
        EXPECT_EQ(rate, Pack(expected[i].numerator, expected[i].denominator)) << "format " << i;
        EXPECT_EQ(subtype, expected[i].subtype) << "format " << i;
    }
}

TEST_F(VirtualDeviceEnumeration, DefaultCamerasAreListedWithTheirDeviceAttributes)
{
    const std::vector<ComPtr<IMFActivate>> activates = Enumerate();
    ASSERT_EQ(activates.size(), 2u);
    const GUID categories[] = {CLSID_VideoInputDeviceCategory, kCategoryVideoCamera};
    const WideString names[] = {kFrontName, kRearName};
    for (size_t i = 0; i < 2; ++i) {
        IMFActivate* activate = activates[i].Get();
        EXPECT_EQ(ReadString(activate, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME), names[i]);
        EXPECT_EQ(ReadString(activate, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK),
                  TEXT("\\\\?\\lumicap#virtual#") + WideString(1, static_cast<WCHAR>(TEXT('0') + i)) +
                      TEXT("#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global"));
        GUID category = GUID_NULL;
        GUID sourceType = GUID_NULL;
        EXPECT_EQ(activate->GetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_CATEGORY, &category), S_OK);
        EXPECT_EQ(category, categories[i]);
        EXPECT_EQ(activate->GetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, &sourceType), S_OK);
        EXPECT_EQ(sourceType, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    }
}

TEST_F(VirtualDeviceEnumeration, DefaultCamerasOfferTheirFormatsInOrder)
{
    const std::vector<ComPtr<IMFActivate>> activates = Enumerate();
    ASSERT_EQ(activates.size(), 2u);
    const auto front = CameraFromActivate(activates[0].Get());
    const auto rear = CameraFromActivate(activates[1].Get());
    ASSERT_TRUE(front && rear);
    ExpectFormats(front->Description(), {
                                             {640, 480, MFVideoFormat_YUY2, 30, 1},
                                             {1280, 720, MFVideoFormat_YUY2, 10, 1},
                                             {1280, 720, MFVideoFormat_MJPG, 30, 1},
                                             {1920, 1080, MFVideoFormat_MJPG, 30, 1},
                                             {1920, 1080, MFVideoFormat_NV12, 30000, 1001},
                                             {320, 240, MFVideoFormat_RGB24, 15, 1},
                                         });
    ExpectFormats(rear->Description(), {
                                           {640, 480, MFVideoFormat_NV12, 15, 1},
                                           {2592, 1944, MFVideoFormat_MJPG, 5, 1},
                                       });
}

TEST_F(VirtualDeviceEnumeration, TheSourceTypeAttributeDecidesWhatIsListed)
{
    ComPtr<IMFAttributes> attributes = NewAttributes();
    IMFActivate** array = reinterpret_cast<IMFActivate**>(0x1);
    UINT32 count = 99;
    EXPECT_EQ(EnumerateRaw(attributes.Get(), &array, &count), E_INVALIDARG);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(count, 0u);

    ASSERT_EQ(attributes->SetUINT32(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, 1), S_OK);
    EXPECT_EQ(EnumerateRaw(attributes.Get(), &array, &count), E_INVALIDARG);

    // {14DD9A1C-7CFF-41BE-B1B9-BA1AC6ECB571}: audio capture devices, of which there are none.
    const GUID audio = {0x14dd9a1c, 0x7cff, 0x41be, {0xb1, 0xb9, 0xba, 0x1a, 0xc6, 0xec, 0xb5, 0x71}};
    ASSERT_EQ(attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, audio), S_OK);
    EXPECT_EQ(EnumerateRaw(attributes.Get(), &array, &count), S_OK);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(count, 0u);

    EXPECT_EQ(EnumerateRaw(nullptr, &array, &count), E_POINTER);
    EXPECT_EQ(EnumerateRaw(attributes.Get(), nullptr, &count), E_POINTER);
    EXPECT_EQ(EnumerateRaw(attributes.Get(), &array, nullptr), E_POINTER);
}

TEST_F(VirtualDeviceEnumeration, EachEntryHoldsExactlyOneReference)
{
    const long before = LiveObjectCount();
    ComPtr<IMFAttributes> attributes = NewAttributes();
    ASSERT_EQ(attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID),
              S_OK);
    IMFActivate** array = nullptr;
    UINT32 count = 0;
    ASSERT_EQ(EnumerateRaw(attributes.Get(), &array, &count), S_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(LiveObjectCount(), before + 3);
    for (UINT32 i = 0; i < count; ++i) EXPECT_EQ(array[i]->Release(), 0u);
    CoTaskMemFree(array);
    attributes.Reset();
    EXPECT_EQ(LiveObjectCount(), before);
}

TEST_F(VirtualDeviceEnumeration, EveryEnumerationMakesFreshActivationsOnTheSameRecords)
{
    const auto first = Enumerate();
    const auto second = Enumerate();
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_NE(first[i].Get(), second[i].Get());
        EXPECT_EQ(CameraFromActivate(first[i].Get()), CameraFromActivate(second[i].Get()));
    }
}

TEST_F(VirtualDeviceEnumeration, CameraFromActivateRecognisesOnlyOurActivations)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ComPtr<IMFMediaType> type = NewMediaType();
    EXPECT_EQ(CameraFromActivate(nullptr), nullptr);
    EXPECT_EQ(CameraFromActivate(store.Get()), nullptr);
    EXPECT_EQ(CameraFromActivate(type.Get()), nullptr);
    const auto activates = Enumerate();
    ASSERT_FALSE(activates.empty());
    const auto record = CameraFromActivate(activates[0].Get());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Description().friendlyName, kFrontName);
}

TEST_F(VirtualDeviceEnumeration, ActivationsDoNotActivateButShutDownQuietly)
{
    const auto activates = Enumerate();
    ASSERT_FALSE(activates.empty());
    ComPtr<IUnknown> object;
    EXPECT_EQ(activates[0]->ActivateObject(IID_IUnknown, object.PutVoid()), E_NOTIMPL);
    EXPECT_FALSE(object);
    EXPECT_EQ(activates[0]->ShutdownObject(), S_OK);
    EXPECT_EQ(activates[0]->DetachObject(), S_OK);
    ComPtr<IMFAttributes> attributes;
    EXPECT_EQ(activates[0]->QueryInterface(IID_IMFAttributes, attributes.PutVoid()), S_OK);
    ComPtr<IMFMediaType> notAType;
    EXPECT_EQ(activates[0]->QueryInterface(IID_IMFMediaType, notAType.PutVoid()), E_NOINTERFACE);
}

TEST_F(VirtualDeviceEnumeration, ClearedFlagsLeaveDeviceAttributesOut)
{
    Camera camera = NamedCamera(TEXT("Bare"));
    camera.hasFriendlyName = false;
    camera.hasSymbolicLink = false;
    camera.hasCategory = false;
    SetCameras({camera});
    const auto activates = Enumerate();
    ASSERT_EQ(activates.size(), 1u);
    LPWSTR text = nullptr;
    UINT32 length = 0;
    GUID guid = GUID_NULL;
    EXPECT_EQ(activates[0]->GetAllocatedString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, &text, &length),
              MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(activates[0]->GetAllocatedString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, &text, &length),
              MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(activates[0]->GetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_CATEGORY, &guid), MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(activates[0]->GetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, &guid), S_OK);
    EXPECT_EQ(text, nullptr);
}

TEST_F(VirtualDeviceEnumeration, CamerasCanBeReplacedAddedAndRemoved)
{
    SetCameras({});
    EXPECT_TRUE(Enumerate().empty());
    AddCamera(NamedCamera(TEXT("One")));
    AddCamera(NamedCamera(TEXT("Two")));
    AddCamera(NamedCamera(TEXT("One")));
    EXPECT_EQ(EnumeratedNames(), (std::vector<WideString>{TEXT("One"), TEXT("Two"), TEXT("One")}));
    EXPECT_EQ(RemoveCamera(TEXT("One")), 2);
    EXPECT_EQ(EnumeratedNames(), std::vector<WideString>{TEXT("Two")});
    EXPECT_EQ(RemoveCamera(TEXT("One")), 0);
    Reset();
    EXPECT_EQ(EnumeratedNames(), (std::vector<WideString>{kFrontName, kRearName}));
}

TEST_F(VirtualDeviceEnumeration, RemovingACameraUnplugsItForEveryHolderOnce)
{
    const auto earlier = Enumerate();
    ASSERT_EQ(earlier.size(), 2u);
    const auto front = CameraFromActivate(earlier[0].Get());
    const auto rear = CameraFromActivate(earlier[1].Get());
    std::atomic<int> heard{0};
    std::atomic<int> removedListenerCalls{0};
    std::vector<WideString> namesSeenByListener;
    front->AddUnplugListener([&] {
        ++heard;
        // Listeners run outside the platform's locks, so they may enumerate again.
        namesSeenByListener = EnumeratedNames();
    });
    const int removed = front->AddUnplugListener([&] { ++removedListenerCalls; });
    front->RemoveUnplugListener(removed);

    EXPECT_EQ(RemoveCamera(kFrontName), 1);
    EXPECT_EQ(heard.load(), 1);
    EXPECT_EQ(removedListenerCalls.load(), 0);
    EXPECT_EQ(namesSeenByListener, std::vector<WideString>{kRearName});
    EXPECT_FALSE(front->IsPlugged());
    EXPECT_TRUE(rear->IsPlugged());
    EXPECT_EQ(EnumeratedNames(), std::vector<WideString>{kRearName});

    front->Unplug();
    EXPECT_EQ(heard.load(), 1);
    // The activation made before the removal still reads, as a stale device's would.
    EXPECT_EQ(ReadString(earlier[0].Get(), MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME), kFrontName);
}

TEST_F(VirtualDeviceEnumeration, EnumerationFaultsLeaveNoArray)
{
    ComPtr<IMFAttributes> attributes = NewAttributes();
    ASSERT_EQ(attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID),
              S_OK);
    FailOperation("MFEnumDeviceSources", E_OUTOFMEMORY, 1);
    IMFActivate** array = nullptr;
    UINT32 count = 0;
    EXPECT_EQ(EnumerateRaw(attributes.Get(), &array, &count), E_OUTOFMEMORY);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(count, 0u);
    // Reading the source type is the platform's own business, not the caller's call.
    FailOperation("IMFAttributes::GetGUID", E_FAIL);
    ASSERT_EQ(EnumerateRaw(attributes.Get(), &array, &count), S_OK);
    EXPECT_EQ(count, 2u);
    for (UINT32 i = 0; i < count; ++i) array[i]->Release();
    CoTaskMemFree(array);
    EXPECT_EQ(OperationCount("IMFAttributes::GetGUID"), 0u);
    EXPECT_EQ(OperationCount("MFEnumDeviceSources"), 2u);
}

// ---- Device media types ---------------------------------------------------------------------------

using VirtualDeviceMediaType = VirtualDevicesTest;

TEST_F(VirtualDeviceMediaType, AFormatBecomesACompleteVideoType)
{
    ComPtr<IMFMediaType> type;
    ASSERT_EQ(CreateFormatMediaType(Format{1920, 1080, MFVideoFormat_NV12, 30000, 1001}, type.Put()), S_OK);
    GUID major = GUID_NULL;
    UINT64 aspect = 0;
    UINT32 interlace = 0;
    UINT32 independent = 0;
    UINT32 count = 0;
    EXPECT_EQ(type->GetMajorType(&major), S_OK);
    EXPECT_EQ(major, MFMediaType_Video);
    EXPECT_EQ(type->GetUINT64(MF_MT_PIXEL_ASPECT_RATIO, &aspect), S_OK);
    EXPECT_EQ(aspect, Pack(1, 1));
    EXPECT_EQ(type->GetUINT32(MF_MT_INTERLACE_MODE, &interlace), S_OK);
    EXPECT_EQ(interlace, 2u);
    EXPECT_EQ(type->GetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, &independent), S_OK);
    EXPECT_EQ(independent, 1u);
    EXPECT_EQ(type->GetCount(&count), S_OK);
    EXPECT_EQ(count, 7u);
}

TEST_F(VirtualDeviceMediaType, EachClearedFlagLeavesItsAttributeOut)
{
    struct Case {
        const char* name;
        bool Format::*flag;
        const GUID* key;
    };
    const Case cases[] = {
        {"frame size", &Format::hasFrameSize, &MF_MT_FRAME_SIZE},
        {"frame rate", &Format::hasFrameRate, &MF_MT_FRAME_RATE},
        {"subtype", &Format::hasSubtype, &MF_MT_SUBTYPE},
        {"pixel aspect ratio", &Format::hasPixelAspectRatio, &MF_MT_PIXEL_ASPECT_RATIO},
        {"interlace mode", &Format::hasInterlaceMode, &MF_MT_INTERLACE_MODE},
    };
    for (const Case& c : cases) {
        Format format{640, 480, MFVideoFormat_YUY2, 30, 1};
        format.*c.flag = false;
        ComPtr<IMFMediaType> type;
        ASSERT_EQ(CreateFormatMediaType(format, type.Put()), S_OK);
        UINT32 count = 0;
        EXPECT_EQ(type->GetItem(*c.key, nullptr), MF_E_ATTRIBUTENOTFOUND) << c.name;
        EXPECT_EQ(type->GetCount(&count), S_OK);
        EXPECT_EQ(count, 6u) << c.name;
    }
}

TEST_F(VirtualDeviceMediaType, OnlyMjpgIsCompressed)
{
    for (const GUID& subtype : {MFVideoFormat_YUY2, MFVideoFormat_NV12, MFVideoFormat_RGB24, MFVideoFormat_MJPG}) {
        ComPtr<IMFMediaType> type;
        ASSERT_EQ(CreateFormatMediaType(Format{640, 480, subtype, 30, 1}, type.Put()), S_OK);
        BOOL compressed = 2;
        EXPECT_EQ(type->IsCompressedFormat(&compressed), S_OK);
        EXPECT_EQ(compressed == TRUE, subtype == MFVideoFormat_MJPG);
    }
}

TEST_F(VirtualDeviceMediaType, IsEqualReportsWhatDiffers)
{
    // {B6BC765F-4C3B-40A4-BD51-2535B66FE09D}
    const GUID userData = {0xb6bc765f, 0x4c3b, 0x40a4, {0xbd, 0x51, 0x25, 0x35, 0xb6, 0x6f, 0xe0, 0x9d}};
    const GUID extraKey = {0x5eed0001, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const UINT8 bytes[] = {1, 2};
    struct Case {
        const char* name;
        std::function<void(IMFMediaType*)> change;
        DWORD flags;
    };
    const Case cases[] = {
        {"identical", [](IMFMediaType*) {}, 0xF},
        {"other subtype", [](IMFMediaType* t) { t->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12); }, 0x1 | 0x8},
        {"other size", [](IMFMediaType* t) { t->SetUINT64(MF_MT_FRAME_SIZE, Pack(1, 1)); }, 0x1 | 0x2 | 0x8},
        // One type's items being a subset of the other's still counts as the same format data.
        {"extra item", [&](IMFMediaType* t) { t->SetUINT32(extraKey, 7); }, 0xF},
        {"one item fewer", [](IMFMediaType* t) { t->DeleteItem(MF_MT_FRAME_RATE); }, 0xF},
        {"other major type", [](IMFMediaType* t) { t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Image); }, 0x2 | 0x8},
        {"user data", [&](IMFMediaType* t) { t->SetBlob(userData, bytes, sizeof bytes); }, 0x1 | 0x2 | 0x4},
    };
    for (const Case& c : cases) {
        ComPtr<IMFMediaType> ours;
        ComPtr<IMFMediaType> theirs;
        ASSERT_EQ(CreateFormatMediaType(Format{640, 480, MFVideoFormat_YUY2, 30, 1}, ours.Put()), S_OK);
        ASSERT_EQ(CreateFormatMediaType(Format{640, 480, MFVideoFormat_YUY2, 30, 1}, theirs.Put()), S_OK);
        c.change(theirs.Get());
        DWORD flags = 0xFFFF;
        EXPECT_EQ(ours->IsEqual(theirs.Get(), &flags), c.flags == 0xF ? S_OK : S_FALSE) << c.name;
        EXPECT_EQ(flags, c.flags) << c.name;
    }
}

TEST_F(VirtualDeviceMediaType, RepresentationsAreNotOffered)
{
    ComPtr<IMFMediaType> type = NewMediaType();
    void* representation = nullptr;
    EXPECT_EQ(type->GetRepresentation(GUID_NULL, &representation), E_NOTIMPL);
    EXPECT_EQ(type->FreeRepresentation(GUID_NULL, nullptr), E_NOTIMPL);
    GUID major = GUID_NULL;
    EXPECT_EQ(type->GetMajorType(&major), MF_E_ATTRIBUTENOTFOUND);
}

}  // namespace
}  // namespace lumicap::virt::testing
