#include "support/jpeg_decode.h"
#include "support/test_host.h"

#include "capture/capture_manager.h"

#include <cstdlib>
#include <cstring>

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

struct Photo {
    BYTE* data = nullptr;
    INT32 size = -1;
};

Photo FetchPhoto()
{
    Photo photo;
    ::GetLastPhoto(&photo.data, &photo.size);
    return photo;
}

class PhotoTest : public HostTest {
protected:
    // Asks for a photo and pumps until its event has been handled.
    void TakeAndWait()
    {
        ClearMessages();
        ::TakePhotoAsync();
        ASSERT_TRUE(Manager().isPhotoPending);
        ASSERT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
    }

    // Takes a photo and checks it decodes at this size; the block is given back.
    void ExpectPhotoOfSize(UINT32 width, UINT32 height)
    {
        TakeAndWait();
        Photo photo = FetchPhoto();
        DecodedImage image = DecodeJpeg(photo.data, static_cast<size_t>(photo.size));
        ::FreePhotoMemory();
        ASSERT_TRUE(image.ok);
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
    }
};

TEST_F(PhotoTest, NothingHappensWithoutAManagerOrAPreview)
{
    ::SetLogCallback(RecordLog);
    ::TakePhotoAsync();
    Photo photo = FetchPhoto();
    EXPECT_EQ(photo.size, 0);
    EXPECT_EQ(photo.data, nullptr);
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);
    ::FreePhotoMemory();
    OpenCamera();
    LogLines().clear();
    ::TakePhotoAsync();
    EXPECT_TRUE(LogLines().empty());
    EXPECT_FALSE(Manager().photoStream);
    EXPECT_EQ(virt::GetPhotoSinkState().streams.size(), 0u);
}

TEST_F(PhotoTest, RequestConfiguresThePhotoSinkAndAFreshStream)
{
    StartPreviewOn(3);
    ::SetLogCallback(RecordLog);
    virt::HoldEvents(true);
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto")});
    EXPECT_TRUE(Manager().isPhotoPending);
    ASSERT_TRUE(Manager().photoStream);

    virt::PhotoSinkState sink = virt::GetPhotoSinkState();
    ASSERT_EQ(sink.streams.size(), 1u);
    EXPECT_EQ(sink.streams[0].sourceStreamIndex, static_cast<DWORD>(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO));
    IMFMediaType* type = sink.streams[0].mediaType.Get();
    UINT32 count = 0;
    type->GetCount(&count);
    EXPECT_EQ(count, 3u);
    GUID major = GUID_NULL;
    GUID subtype = GUID_NULL;
    UINT64 size = 0;
    EXPECT_EQ(type->GetGUID(MF_MT_MAJOR_TYPE, &major), S_OK);
    EXPECT_EQ(type->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
    EXPECT_EQ(type->GetUINT64(MF_MT_FRAME_SIZE, &size), S_OK);
    EXPECT_TRUE(IsEqualGUID(major, MFMediaType_Image));
    EXPECT_TRUE(IsEqualGUID(subtype, GUID_ContainerFormatJpeg));
    EXPECT_EQ(size, (UINT64{1920} << 32) | 1080);
    EXPECT_EQ(sink.outputByteStream.Get(), static_cast<IMFByteStream*>(Manager().photoStream.Get()));
    virt::HoldEvents(false);
    EXPECT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
}

TEST_F(PhotoTest, PhotoIsAJpegOfTheAppliedSizeWithThePattern)
{
    StartPreviewOn(3);
    TakeAndWait();
    EXPECT_EQ(Messages().front(), static_cast<UINT>(WM_CAMERA_PHOTO_READY));
    Photo photo = FetchPhoto();
    ASSERT_GT(photo.size, 0);
    DecodedImage image = DecodeJpeg(photo.data, static_cast<size_t>(photo.size));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 1920u);
    EXPECT_EQ(image.height, 1080u);
    // The middle of each colour bar, away from the counter and the moving square.
    for (unsigned bar = 0; bar < 8; ++bar) {
        const unsigned x = bar * 240 + 120;
        EXPECT_TRUE(Near(image.Pixel(x, 540), virt::TestPatternPixel(x, 540, 1920, 1080, 0))) << bar;
    }
    ::FreePhotoMemory();
}

TEST_F(PhotoTest, FailedStartLeavesTheNextToItsOwnFormatAndWindow)
{
    OpenCamera();
    HWND first = LumicapCreateMessageWindow();
    EXPECT_EQ(::StartPreview(99, first), MF_E_NO_MORE_TYPES);
    // Format 2, 1280 x 720 MJPG: shown through the preview sink's RGB32 copy, and photographed.
    EXPECT_EQ(::StartPreview(2, window_), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return LumicapGetFrameCount(window_) >= 1; }));
    UINT32 width = 0;
    UINT32 height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(window_, nullptr, 0, &width, &height));
    EXPECT_EQ(width, 1280u);
    EXPECT_EQ(height, 720u);
    EXPECT_EQ(LumicapGetFrameCount(first), 0u);
    ExpectPhotoOfSize(1280u, 720u);
    DestroyWindow(first);
}

TEST_F(PhotoTest, RearCameraPhotoIsFullSize)
{
    StartPreviewOn(1, "Lumicap Virtual Rear Camera");
    ExpectPhotoOfSize(2592u, 1944u);
}

TEST_F(PhotoTest, CameraWithAPhotoStreamPhotographsAtThatStreamsSize)
{
    virt::Camera camera = virt::DefaultCameras()[0];
    virt::Format still;
    still.width = 2592;
    still.height = 1944;
    still.subtype = MFVideoFormat_MJPG;
    camera.photoFormats = {still};
    virt::SetCameras({camera});
    // The preferred preview stream is stream 0; the preferred photo stream is the photo stream.
    StartPreviewOn(0);
    ExpectPhotoOfSize(2592u, 1944u);
    UINT32 width = 0;
    UINT32 height = 0;
    ASSERT_TRUE(LumicapGetLatestFrame(window_, nullptr, 0, &width, &height));
    EXPECT_EQ(width, 640u);
}

TEST_F(PhotoTest, SecondRequestWhilePendingIsRefusedEvenAfterTheStop)
{
    StartPreviewOn(0);
    virt::HoldEvents(true);
    ::TakePhotoAsync();
    IMFByteStream* first = Manager().photoStream.Get();
    ::SetLogCallback(RecordLog);
    ::TakePhotoAsync();
    ::StopPreview();
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("TakePhoto, already pending..."), T("StopPreview"),
                                             T("TakePhoto, already pending...")}));
    EXPECT_EQ(Manager().photoStream.Get(), first);
    virt::HoldEvents(false);
    EXPECT_TRUE(PumpUntil([] { return !Module().theManager->isPhotoPending; }));
}

TEST_F(PhotoTest, RequestInsideThePhotoNoticeIsRefused)
{
    StartPreviewOn(0);
    ::SetLogCallback(RecordLog);
    onPhotoReady_ = [] { ::TakePhotoAsync(); };
    TakeAndWait();
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("TakePhoto"), T("TakePhoto, already pending...")}));
}

TEST_F(PhotoTest, RefusedRequestLogsAndLeavesAnEmptyStream)
{
    StartPreviewOn(0);
    TakeAndWait();
    ::SetLogCallback(RecordLog);
    virt::FailOperation("IMFCaptureEngine::TakePhoto", E_FAIL);
    ::TakePhotoAsync();
    EXPECT_EQ(LogLines(), std::vector<Text>{T("TakePhoto")});
    EXPECT_FALSE(Manager().isPhotoPending);
    ASSERT_TRUE(Manager().photoStream);
    Photo photo = FetchPhoto();
    EXPECT_EQ(photo.size, 0);
    ::FreePhotoMemory();
}

TEST_F(PhotoTest, MissingFrameSizeKeepsThePreviousPhoto)
{
    StartPreviewOn(0);
    TakeAndWait();
    Photo before = FetchPhoto();
    ::FreePhotoMemory();
    ASSERT_GT(before.size, 0);
    virt::FailOperation("IMFMediaType::GetItem", MF_E_ATTRIBUTENOTFOUND);
    const unsigned removals = virt::GetPhotoSinkState().removeAllStreamsCalls;
    ::TakePhotoAsync();
    EXPECT_FALSE(Manager().isPhotoPending);
    EXPECT_EQ(virt::GetPhotoSinkState().removeAllStreamsCalls, removals);
    Photo after = FetchPhoto();
    EXPECT_EQ(after.size, before.size);
    ::FreePhotoMemory();
}

TEST_F(PhotoTest, FailedPhotoStillAnnouncesAndGivesNothing)
{
    StartPreviewOn(0);
    virt::SetNextEventStatus(MF_CAPTURE_ENGINE_PHOTO_TAKEN, E_FAIL);
    TakeAndWait();
    EXPECT_EQ(Messages().front(), static_cast<UINT>(WM_CAMERA_PHOTO_READY));
    EXPECT_EQ(FetchPhoto().size, 0);
    ::FreePhotoMemory();
}

TEST_F(PhotoTest, EachFetchIsANewBlockAndOnlyTheLastIsFreed)
{
    StartPreviewOn(0);
    TakeAndWait();
    Photo first = FetchPhoto();
    Photo second = FetchPhoto();
    ASSERT_GT(first.size, 0);
    EXPECT_NE(first.data, second.data);
    ASSERT_EQ(first.size, second.size);
    EXPECT_EQ(std::memcmp(first.data, second.data, static_cast<size_t>(first.size)), 0);
    EXPECT_EQ(Module().lastPhotoBuffer, second.data);
    ::FreePhotoMemory();
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);
    ::FreePhotoMemory();
    // The first block is the host's own business now.
    std::free(first.data);
}

TEST_F(PhotoTest, NullOutArgumentsWriteNothing)
{
    StartPreviewOn(0);
    TakeAndWait();
    INT32 size = -1;
    ::GetLastPhoto(nullptr, &size);
    EXPECT_EQ(size, 0);
    BYTE* data = reinterpret_cast<BYTE*>(0x1);
    ::GetLastPhoto(&data, nullptr);
    EXPECT_EQ(data, reinterpret_cast<BYTE*>(0x1));
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);
    ::GetLastPhoto(nullptr, nullptr);
}

TEST_F(PhotoTest, ManagerWithoutAStreamHandsOutNothing)
{
    OpenCamera();
    BYTE* data = reinterpret_cast<BYTE*>(0x1);
    INT32 size = -1;
    ::GetLastPhoto(&data, &size);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(data, reinterpret_cast<BYTE*>(0x1));
    EXPECT_EQ(Module().lastPhotoBuffer, nullptr);
}

TEST_F(PhotoTest, PhotoOutlivesAnEngineErrorAndANewSetUp)
{
    StartPreviewOn(0);
    TakeAndWait();
    const INT32 size = FetchPhoto().size;
    ::FreePhotoMemory();
    ASSERT_TRUE(virt::RaiseEngineError(E_FAIL));
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->engine; }));
    EXPECT_EQ(FetchPhoto().size, size);
    ::FreePhotoMemory();
    OpenCamera("Lumicap Virtual Rear Camera");
    EXPECT_EQ(FetchPhoto().size, size);
    ::FreePhotoMemory();
}

TEST_F(PhotoTest, BackToBackPhotosAreDistinct)
{
    StartPreviewOn(0);
    std::vector<std::vector<BYTE>> photos;
    for (int i = 0; i < 3; ++i) {
        // Let the preview move on, so the frames differ.
        // The engine's own count: a window may be shown a frame before the engine counts it.
        const auto frames = virt::GetEngineState().framesRendered;
        ASSERT_TRUE(PumpUntil([&] { return virt::GetEngineState().framesRendered > frames; }));
        TakeAndWait();
        Photo photo = FetchPhoto();
        photos.emplace_back(photo.data, photo.data + photo.size);
        ::FreePhotoMemory();
    }
    EXPECT_NE(photos[0], photos[1]);
    EXPECT_NE(photos[1], photos[2]);
}

}  // namespace
}  // namespace lumicap::testing
