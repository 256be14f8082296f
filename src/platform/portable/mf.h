// The Media Foundation, capture engine and Direct3D declarations Lumicap needs on systems other than
// Windows: interfaces in SDK vtable order, the named GUIDs with their real values, error codes and
// enumerations. On Windows the SDK headers provide all of this.
#pragma once

#include <lumicap/portable/win32.h>

// ---------------------------------------------------------------------------------------------
// Error codes
#define MF_E_INVALIDREQUEST ((HRESULT)0xC00D36B2)
#define MF_E_NOT_INITIALIZED ((HRESULT)0xC00D36B6)
#define MF_E_BUFFERTOOSMALL ((HRESULT)0xC00D36B1)
#define MF_E_NO_SAMPLE_TIMESTAMP ((HRESULT)0xC00D36C8)
#define MF_E_NO_SAMPLE_DURATION ((HRESULT)0xC00D36C9)
#define MF_E_NO_MORE_TYPES ((HRESULT)0xC00D36B9)
#define MF_E_INVALIDTYPE ((HRESULT)0xC00D36BD)
#define MF_E_INVALIDMEDIATYPE ((HRESULT)0xC00D36B4)
#define MF_E_ATTRIBUTENOTFOUND ((HRESULT)0xC00D36E6)
#define MF_E_SHUTDOWN ((HRESULT)0xC00D3E85)
#define MF_E_INVALIDSTREAMNUMBER ((HRESULT)0xC00D36BB)
#define MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED ((HRESULT)0xC00D3EA2)
#define MF_E_VIDEO_RECORDING_DEVICE_PREEMPTED ((HRESULT)0xC00D3EA3)
#define MF_E_HW_MFT_FAILED_START_STREAMING ((HRESULT)0xC00D3704)
#define MF_E_NO_CAPTURE_DEVICES_AVAILABLE ((HRESULT)0xC00DABE0)
#define DXGI_ERROR_DEVICE_REMOVED ((HRESULT)0x887A0005)
#define DXGI_ERROR_UNSUPPORTED ((HRESULT)0x887A0004)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define MF_E_TOPO_CODEC_NOT_FOUND ((HRESULT)0xC00D5212)

// ---------------------------------------------------------------------------------------------
// Enumerations
typedef enum _MF_ATTRIBUTE_TYPE {
    MF_ATTRIBUTE_UINT32 = VT_UI4,
    MF_ATTRIBUTE_UINT64 = VT_UI8,
    MF_ATTRIBUTE_DOUBLE = VT_R8,
    MF_ATTRIBUTE_GUID = VT_CLSID,
    MF_ATTRIBUTE_STRING = VT_LPWSTR,
    MF_ATTRIBUTE_BLOB = VT_VECTOR | VT_UI1,
    MF_ATTRIBUTE_IUNKNOWN = VT_UNKNOWN
} MF_ATTRIBUTE_TYPE;

typedef enum _MF_ATTRIBUTES_MATCH_TYPE {
    MF_ATTRIBUTES_MATCH_OUR_ITEMS = 0,
    MF_ATTRIBUTES_MATCH_THEIR_ITEMS = 1,
    MF_ATTRIBUTES_MATCH_ALL_ITEMS = 2,
    MF_ATTRIBUTES_MATCH_INTERSECTION = 3,
    MF_ATTRIBUTES_MATCH_SMALLER = 4
} MF_ATTRIBUTES_MATCH_TYPE;

typedef enum MF_CAPTURE_ENGINE_SINK_TYPE {
    MF_CAPTURE_ENGINE_SINK_TYPE_RECORD = 0x0,
    MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW = 0x1,
    MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO = 0x2
} MF_CAPTURE_ENGINE_SINK_TYPE;

enum {
    MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW = 0xfffffffa,
    MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_RECORD = 0xfffffff9,
    MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO = 0xfffffff8,
    MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_AUDIO = 0xfffffff7,
    MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_METADATA = 0xfffffff6,
    MF_CAPTURE_ENGINE_MEDIASOURCE = 0xffffffff
};

typedef enum MF_CAPTURE_ENGINE_DEVICE_TYPE {
    MF_CAPTURE_ENGINE_DEVICE_TYPE_AUDIO = 0x0,
    MF_CAPTURE_ENGINE_DEVICE_TYPE_VIDEO = 0x1
} MF_CAPTURE_ENGINE_DEVICE_TYPE;

typedef enum MF_CAPTURE_ENGINE_STREAM_CATEGORY {
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_VIDEO_PREVIEW = 0x0,
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_VIDEO_CAPTURE = 0x1,
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_PHOTO_INDEPENDENT = 0x2,
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_PHOTO_DEPENDENT = 0x3,
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_AUDIO = 0x4,
    MF_CAPTURE_ENGINE_STREAM_CATEGORY_UNSUPPORTED = 0x5
} MF_CAPTURE_ENGINE_STREAM_CATEGORY;

typedef enum _MFBYTESTREAM_SEEK_ORIGIN { msoBegin = 0, msoCurrent = 1 } MFBYTESTREAM_SEEK_ORIGIN;
#define MFBYTESTREAM_IS_READABLE 0x00000001
#define MFBYTESTREAM_IS_WRITABLE 0x00000002
#define MFBYTESTREAM_IS_SEEKABLE 0x00000004
#define MFBYTESTREAM_SEEK_FLAG_CANCEL_PENDING_IO 0x00000001

typedef DWORD MediaEventType;
#define MEExtendedType 0x0000000F
typedef enum _MFVideoInterlaceMode { MFVideoInterlace_Progressive = 2 } MFVideoInterlaceMode;

typedef enum D3D_DRIVER_TYPE {
    D3D_DRIVER_TYPE_UNKNOWN = 0,
    D3D_DRIVER_TYPE_HARDWARE = 1,
    D3D_DRIVER_TYPE_REFERENCE = 2,
    D3D_DRIVER_TYPE_NULL = 3,
    D3D_DRIVER_TYPE_SOFTWARE = 4,
    D3D_DRIVER_TYPE_WARP = 5
} D3D_DRIVER_TYPE;

typedef enum D3D_FEATURE_LEVEL {
    D3D_FEATURE_LEVEL_9_1 = 0x9100,
    D3D_FEATURE_LEVEL_9_2 = 0x9200,
    D3D_FEATURE_LEVEL_9_3 = 0x9300,
    D3D_FEATURE_LEVEL_10_0 = 0xa000,
    D3D_FEATURE_LEVEL_10_1 = 0xa100,
    D3D_FEATURE_LEVEL_11_0 = 0xb000,
    D3D_FEATURE_LEVEL_11_1 = 0xb100
} D3D_FEATURE_LEVEL;

#define D3D11_CREATE_DEVICE_VIDEO_SUPPORT 0x800
#define D3D11_SDK_VERSION 7
#define CLSCTX_INPROC_SERVER 0x1

typedef struct MFVideoNormalizedRect {
    float left;
    float top;
    float right;
    float bottom;
} MFVideoNormalizedRect;

// ---------------------------------------------------------------------------------------------
// GUIDs
#define LUMICAP_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#define LUMICAP_MEDIATYPE_GUID(name, format) \
    LUMICAP_GUID(name, format, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71)

LUMICAP_GUID(IID_IMFAttributes, 0x2cd2d921, 0xc447, 0x44a7, 0xa1, 0x3c, 0x4a, 0xda, 0xbf, 0xc2, 0x47, 0xe3);
LUMICAP_GUID(IID_IMFMediaType, 0x44ae0fa8, 0xea31, 0x4109, 0x8d, 0x2e, 0x4c, 0xae, 0x49, 0x97, 0xc5, 0x55);
LUMICAP_GUID(IID_IMFActivate, 0x7fee9e9a, 0x4a89, 0x47a6, 0x89, 0x9c, 0xb6, 0xa5, 0x3a, 0x70, 0xfb, 0x67);
LUMICAP_GUID(IID_IMFMediaEvent, 0xdf598932, 0xf10c, 0x4e39, 0xbb, 0xa2, 0xc3, 0x08, 0xf1, 0x01, 0xda, 0xa3);
LUMICAP_GUID(IID_IMFByteStream, 0xad4c1b00, 0x4bf7, 0x422f, 0x91, 0x75, 0x75, 0x66, 0x93, 0xd9, 0x13, 0x0d);
LUMICAP_GUID(IID_IMFAsyncCallback, 0xa27003cf, 0x2354, 0x4f2a, 0x8d, 0x6a, 0xab, 0x7c, 0xff, 0x15, 0x43, 0x7e);
LUMICAP_GUID(IID_IMFAsyncResult, 0xac6b7889, 0x0740, 0x4d51, 0x86, 0x19, 0x90, 0x59, 0x94, 0xa5, 0x5c, 0xc6);
LUMICAP_GUID(IID_IMFCaptureEngineClassFactory, 0x8f02d140, 0x56fc, 0x4302, 0xa7, 0x05, 0x3a, 0x97, 0xc7, 0x8b,
             0xe7, 0x79);
LUMICAP_GUID(IID_IMFCaptureEngine, 0xa6bba433, 0x176b, 0x48b2, 0xb3, 0x75, 0x53, 0xaa, 0x03, 0x47, 0x32, 0x07);
LUMICAP_GUID(IID_IMFCaptureEngineOnEventCallback, 0xaeda51c0, 0x9025, 0x4983, 0x90, 0x12, 0xde, 0x59, 0x7b, 0x88,
             0xb0, 0x89);
LUMICAP_GUID(IID_IMFCaptureSource, 0x439a42a8, 0x0d2c, 0x4505, 0xbe, 0x83, 0xf7, 0x9b, 0x2a, 0x05, 0xd5, 0xc4);
LUMICAP_GUID(IID_IMFMediaBuffer, 0x045fa593, 0x8799, 0x42b8, 0xbc, 0x8d, 0x89, 0x68, 0xc6, 0x45, 0x35, 0x07);
LUMICAP_GUID(IID_IMFSample, 0xc40a00f2, 0xb93a, 0x4d80, 0xae, 0x8c, 0x5a, 0x1c, 0x63, 0x4f, 0x58, 0xe4);
LUMICAP_GUID(IID_IMFCaptureEngineOnSampleCallback, 0x52150b82, 0xab39, 0x4467, 0x98, 0x0f, 0xe4, 0x8b, 0xf0, 0x82,
             0x2e, 0xcd);
LUMICAP_GUID(IID_IMFCaptureSink, 0x72d6135b, 0x35e9, 0x412c, 0xb9, 0x26, 0xfd, 0x52, 0x65, 0xf2, 0xa8, 0x85);
LUMICAP_GUID(IID_IMFCapturePreviewSink, 0x77346cfd, 0x5b49, 0x4d73, 0xac, 0xe0, 0x5b, 0x52, 0xa8, 0x59, 0xf2,
             0xe0);
LUMICAP_GUID(IID_IMFCapturePhotoSink, 0xd2d43cc8, 0x48bb, 0x4aa7, 0x95, 0xdb, 0x10, 0xc0, 0x69, 0x77, 0xe7, 0x77);
LUMICAP_GUID(IID_IMFDXGIDeviceManager, 0xeb533d5d, 0x2db6, 0x40f8, 0x97, 0xa9, 0x49, 0x46, 0x92, 0x01, 0x4f, 0x07);
LUMICAP_GUID(IID_ID3D10Multithread, 0x9b7e4e00, 0x342c, 0x4106, 0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0);
LUMICAP_GUID(IID_ID3D11Device, 0xdb6f6ddb, 0xac77, 0x4e88, 0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40);
LUMICAP_GUID(IID_ID3D11DeviceContext, 0xc0bfa96c, 0xe089, 0x44fb, 0x8e, 0xaf, 0x26, 0xf8, 0x79, 0x61, 0x90, 0xda);

LUMICAP_GUID(CLSID_MFCaptureEngineClassFactory, 0xefce38d3, 0x8914, 0x4674, 0xa7, 0xdf, 0xae, 0x1b, 0x3d, 0x65,
             0x4b, 0x8a);
LUMICAP_GUID(CLSID_MFCaptureEngine, 0xefce38d3, 0x8914, 0x4674, 0xa7, 0xdf, 0xae, 0x1b, 0x3d, 0x65, 0x4b, 0x8a);
LUMICAP_GUID(CLSID_VideoInputDeviceCategory, 0x860BB310, 0x5D01, 0x11d0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE,
             0x86);

LUMICAP_GUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, 0xc60ac5fe, 0x252a, 0x478f, 0xa0, 0xef, 0xbc, 0x8f, 0xa5, 0xf7,
             0xca, 0xd3);
LUMICAP_GUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, 0x8ac3587a, 0x4ae7, 0x42d8, 0x99, 0xe0, 0x0a, 0x60,
             0x13, 0xee, 0xf9, 0x0f);
LUMICAP_GUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, 0x58f0aad8, 0x22bf, 0x4f8a, 0xbb, 0x3d, 0xd2,
             0xc4, 0x97, 0x8c, 0x6e, 0x2f);
LUMICAP_GUID(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, 0x60d0e559, 0x52f8, 0x4fa2, 0xbb, 0xce, 0xac, 0xdb, 0x34, 0xa8,
             0xec, 0x01);
LUMICAP_GUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_CATEGORY, 0x77f0ae69, 0xc3bd, 0x4509, 0x94, 0x1d, 0x46, 0x7e,
             0x4d, 0x24, 0x89, 0x9e);

LUMICAP_GUID(MF_CAPTURE_ENGINE_D3D_MANAGER, 0x76e25e7b, 0xd595, 0x4283, 0x96, 0x2c, 0xc5, 0x94, 0xaf, 0xd7, 0x8d,
             0xdf);
LUMICAP_GUID(MF_CAPTURE_ENGINE_INITIALIZED, 0x219992bc, 0xcf92, 0x4531, 0xa1, 0xae, 0x96, 0xe1, 0xe8, 0x86, 0xc8,
             0xf1);
LUMICAP_GUID(MF_CAPTURE_ENGINE_PREVIEW_STARTED, 0xa416df21, 0xf9d3, 0x4a74, 0x99, 0x1b, 0xb8, 0x17, 0x29, 0x89,
             0x52, 0xc4);
LUMICAP_GUID(MF_CAPTURE_ENGINE_PREVIEW_STOPPED, 0x13d5143c, 0x1edd, 0x4e50, 0xa2, 0xef, 0x35, 0x0a, 0x47, 0x67,
             0x80, 0x60);
LUMICAP_GUID(MF_CAPTURE_ENGINE_RECORD_STARTED, 0xac2b027b, 0xddf9, 0x48a0, 0x89, 0xbe, 0x38, 0xab, 0x35, 0xef,
             0x45, 0xc0);
LUMICAP_GUID(MF_CAPTURE_ENGINE_RECORD_STOPPED, 0x55e5200a, 0xf98f, 0x4c0d, 0xa9, 0xec, 0x9e, 0xb2, 0x5e, 0xd3,
             0xd7, 0x73);
LUMICAP_GUID(MF_CAPTURE_ENGINE_PHOTO_TAKEN, 0x3c50c445, 0x7304, 0x48eb, 0x86, 0x5d, 0xbb, 0xa1, 0x9b, 0xa3, 0xaf,
             0x5c);
LUMICAP_GUID(MF_CAPTURE_ENGINE_ERROR, 0x46b89fc6, 0x33cc, 0x4399, 0x9d, 0xad, 0x78, 0x4d, 0xe7, 0x7d, 0x58, 0x7c);
LUMICAP_GUID(MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET, 0xe7e75e4c, 0x039c, 0x4410, 0x81, 0x5b, 0x87, 0x41, 0x30,
             0x7b, 0x63, 0xaa);
LUMICAP_GUID(MF_CAPTURE_ENGINE_CAMERA_STREAM_BLOCKED, 0xa4209417, 0x8d39, 0x46f3, 0xb7, 0x59, 0x59, 0x12, 0x52, 0x8f,
             0x42, 0x07);
LUMICAP_GUID(MF_CAPTURE_ENGINE_CAMERA_STREAM_UNBLOCKED, 0x9be9eef0, 0xcdaf, 0x4717, 0x85, 0x64, 0x83, 0x4a, 0xae, 0x66,
             0x41, 0x5c);
LUMICAP_GUID(MF_CAPTURE_ENGINE_USE_VIDEO_DEVICE_ONLY, 0x7e025171, 0xcf32, 0x4f2e, 0x8f, 0x19, 0x41, 0x05, 0x77, 0xb7,
             0x3a, 0x66);

LUMICAP_GUID(MF_MT_MAJOR_TYPE, 0x48eba18e, 0xf8c9, 0x4687, 0xbf, 0x11, 0x0a, 0x74, 0xc9, 0xf9, 0x6a, 0x8f);
LUMICAP_GUID(MF_MT_SUBTYPE, 0xf7e34c9a, 0x42e8, 0x4714, 0xb7, 0x4b, 0xcb, 0x29, 0xd7, 0x2c, 0x35, 0xe5);
LUMICAP_GUID(MF_MT_FRAME_SIZE, 0x1652c33d, 0xd6b2, 0x4012, 0xb8, 0x34, 0x72, 0x03, 0x08, 0x49, 0xa3, 0x7d);
LUMICAP_GUID(MF_MT_FRAME_RATE, 0xc459a2e8, 0x3d2c, 0x4e44, 0xb1, 0x32, 0xfe, 0xe5, 0x15, 0x6c, 0x7b, 0xb0);
LUMICAP_GUID(MF_MT_FRAME_RATE_RANGE_MIN, 0xd2e7558c, 0xdc1f, 0x403f, 0x9a, 0x72, 0xd2, 0x8b, 0xb1, 0xeb, 0x3b, 0x5e);
LUMICAP_GUID(MF_MT_FRAME_RATE_RANGE_MAX, 0xe3371d41, 0xb4cf, 0x4a05, 0xbd, 0x4e, 0x20, 0xb8, 0x8b, 0xb2, 0xc4, 0xd6);
LUMICAP_GUID(MF_MT_PIXEL_ASPECT_RATIO, 0xc6376a1e, 0x8d0a, 0x4027, 0xbe, 0x45, 0x6d, 0x9a, 0x0a, 0xd3, 0x9b, 0xb6);
LUMICAP_GUID(MF_MT_INTERLACE_MODE, 0xe2724bb8, 0xe676, 0x4806, 0xb4, 0xb2, 0xa8, 0xd6, 0xef, 0xb4, 0x4c, 0xcd);
LUMICAP_GUID(MF_MT_DEFAULT_STRIDE, 0x644b4e48, 0x1e02, 0x4516, 0xb0, 0xeb, 0xc0, 0x1c, 0xa9, 0xd4, 0x9a, 0xc6);
LUMICAP_GUID(MF_MT_ALL_SAMPLES_INDEPENDENT, 0xc9173739, 0x5e56, 0x461c, 0xb7, 0x13, 0x46, 0xfb, 0x99, 0x5c, 0xb9,
             0x5f);

LUMICAP_GUID(MFMediaType_Video, 0x73646976, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
LUMICAP_GUID(MFMediaType_Image, 0x72178c23, 0xe45b, 0x11d5, 0xbc, 0x2a, 0x00, 0xb0, 0xd0, 0xf3, 0xf4, 0xab);
LUMICAP_GUID(GUID_ContainerFormatJpeg, 0x19e4a5aa, 0x5662, 0x4fc5, 0xa0, 0xc0, 0x17, 0x58, 0x02, 0x8e, 0x10, 0x57);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_RGB32, 22);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_RGB24, 20);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_YUY2, 0x32595559);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_NV12, 0x3231564E);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_UYVY, 0x59565955);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_YVYU, 0x55595659);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_I420, 0x30323449);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_YV12, 0x32315659);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_MJPG, 0x47504A4D);
LUMICAP_MEDIATYPE_GUID(MFVideoFormat_H264, 0x34363248);

// ---------------------------------------------------------------------------------------------
// Interfaces
struct IMFAttributes;
struct IMFMediaType;
struct IMFMediaEvent;
struct IMFByteStream;
struct IMFAsyncCallback;
struct IMFAsyncResult;
struct IMFMediaSource;
struct IMFMediaSink;
struct IMFCaptureEngineOnEventCallback;
struct IMFCaptureEngineOnSampleCallback;
struct IMFCaptureSink;
struct IMFCaptureSource;
struct IDXGIAdapter;

struct IMFAttributes : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetItem(REFGUID guidKey, PROPVARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemType(REFGUID guidKey, MF_ATTRIBUTE_TYPE* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareItem(REFGUID guidKey, REFPROPVARIANT Value, BOOL* pbResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compare(IMFAttributes* pTheirs, MF_ATTRIBUTES_MATCH_TYPE MatchType,
                                              BOOL* pbResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID guidKey, UINT32* punValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID guidKey, UINT64* punValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDouble(REFGUID guidKey, double* pfValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGUID(REFGUID guidKey, GUID* pguidValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID guidKey, UINT32* pcchLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(REFGUID guidKey, LPWSTR pwszValue, UINT32 cchBufSize,
                                                UINT32* pcchLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID guidKey, LPWSTR* ppwszValue,
                                                         UINT32* pcchLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID guidKey, UINT32* pcbBlobSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlob(REFGUID guidKey, UINT8* pBuf, UINT32 cbBufSize,
                                              UINT32* pcbBlobSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID guidKey, UINT8** ppBuf, UINT32* pcbSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID guidKey, REFIID riid, LPVOID* ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetItem(REFGUID guidKey, REFPROPVARIANT Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID guidKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteAllItems() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID guidKey, UINT32 unValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID guidKey, UINT64 unValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDouble(REFGUID guidKey, double fValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guidKey, REFGUID guidValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(REFGUID guidKey, LPCWSTR wszValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBlob(REFGUID guidKey, const UINT8* pBuf, UINT32 cbBufSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID guidKey, IUnknown* pUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockStore() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockStore() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(UINT32* pcItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32 unIndex, GUID* pguidKey, PROPVARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes* pDest) = 0;
};

struct IMFMediaType : IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE GetMajorType(GUID* pguidMajorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsCompressedFormat(BOOL* pfCompressed) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEqual(IMFMediaType* pIMediaType, DWORD* pdwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRepresentation(GUID guidRepresentation, LPVOID* ppvRepresentation) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeRepresentation(GUID guidRepresentation, LPVOID pvRepresentation) = 0;
};

struct IMFActivate : IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE ActivateObject(REFIID riid, void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShutdownObject() = 0;
    virtual HRESULT STDMETHODCALLTYPE DetachObject() = 0;
};

struct IMFMediaEvent : IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE GetType(MediaEventType* pmet) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExtendedType(GUID* pguidExtendedType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* phrStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(PROPVARIANT* pvValue) = 0;
};

struct IMFMediaBuffer : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Lock(BYTE** ppbBuffer, DWORD* pcbMaxLength, DWORD* pcbCurrentLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentLength(DWORD* pcbCurrentLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentLength(DWORD cbCurrentLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* pcbMaxLength) = 0;
};

struct IMFSample : IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE GetSampleFlags(DWORD* pdwSampleFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleFlags(DWORD dwSampleFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSampleTime(LONGLONG* phnsSampleTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleTime(LONGLONG hnsSampleTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSampleDuration(LONGLONG* phnsSampleDuration) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleDuration(LONGLONG hnsSampleDuration) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBufferCount(DWORD* pdwBufferCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBufferByIndex(DWORD dwIndex, IMFMediaBuffer** ppBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertToContiguousBuffer(IMFMediaBuffer** ppBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddBuffer(IMFMediaBuffer* pBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveBufferByIndex(DWORD dwIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAllBuffers() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTotalLength(DWORD* pcbTotalLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyToBuffer(IMFMediaBuffer* pBuffer) = 0;
};

struct IMFCaptureEngineOnSampleCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnSample(IMFSample* pSample) = 0;
};

struct IMFAsyncResult : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetState(IUnknown** ppunkState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStatus(HRESULT hrStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObject(IUnknown** ppObject) = 0;
    virtual IUnknown* STDMETHODCALLTYPE GetStateNoAddRef() = 0;
};

struct IMFAsyncCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParameters(DWORD* pdwFlags, DWORD* pdwQueue) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult* pAsyncResult) = 0;
};

struct IMFByteStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* pdwCapabilities) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLength(QWORD* pqwLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLength(QWORD qwLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(QWORD* pqwPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentPosition(QWORD qwPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEndOfStream(BOOL* pfEndOfStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE Read(BYTE* pb, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginRead(BYTE* pb, ULONG cb, IMFAsyncCallback* pCallback,
                                                IUnknown* punkState) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndRead(IMFAsyncResult* pResult, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const BYTE* pb, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE* pb, ULONG cb, IMFAsyncCallback* pCallback,
                                                 IUnknown* punkState) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndWrite(IMFAsyncResult* pResult, ULONG* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN SeekOrigin, LONGLONG llSeekOffset,
                                           DWORD dwSeekFlags, QWORD* pqwCurrentPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IMFCaptureEngineOnEventCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnEvent(IMFMediaEvent* pEvent) = 0;
};

struct IMFCaptureSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetOutputMediaType(DWORD dwSinkStreamIndex, IMFMediaType** ppMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetService(DWORD dwSinkStreamIndex, REFGUID rguidService, REFIID riid,
                                                 IUnknown** ppUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddStream(DWORD dwSourceStreamIndex, IMFMediaType* pMediaType,
                                                IMFAttributes* pAttributes, DWORD* pdwSinkStreamIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE Prepare() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAllStreams() = 0;
};

struct IMFCapturePreviewSink : IMFCaptureSink {
    virtual HRESULT STDMETHODCALLTYPE SetRenderHandle(HANDLE handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderSurface(IUnknown* pSurface) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateVideo(const MFVideoNormalizedRect* pSrc, const RECT* pDst,
                                                  const COLORREF* pBorderClr) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleCallback(DWORD dwStreamSinkIndex,
                                                        IMFCaptureEngineOnSampleCallback* pCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMirrorState(BOOL* pfMirrorState) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMirrorState(BOOL fMirrorState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRotation(DWORD dwStreamIndex, DWORD* pdwRotationValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRotation(DWORD dwStreamIndex, DWORD dwRotationValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCustomSink(IMFMediaSink* pMediaSink) = 0;
};

struct IMFCapturePhotoSink : IMFCaptureSink {
    virtual HRESULT STDMETHODCALLTYPE SetOutputFileName(LPCWSTR fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleCallback(IMFCaptureEngineOnSampleCallback* pCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputByteStream(IMFByteStream* pByteStream) = 0;
};

struct IMFCaptureSource : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCaptureDeviceSource(MF_CAPTURE_ENGINE_DEVICE_TYPE mfCaptureEngineDeviceType,
                                                             IMFMediaSource** ppMediaSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaptureDeviceActivate(
        MF_CAPTURE_ENGINE_DEVICE_TYPE mfCaptureEngineDeviceType, IMFActivate** ppActivate) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetService(REFIID rguidService, REFIID riid, IUnknown** ppUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddEffect(DWORD dwSourceStreamIndex, IUnknown* pUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveEffect(DWORD dwSourceStreamIndex, IUnknown* pUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAllEffects(DWORD dwSourceStreamIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAvailableDeviceMediaType(DWORD dwSourceStreamIndex,
                                                                  DWORD dwMediaTypeIndex,
                                                                  IMFMediaType** ppMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentDeviceMediaType(DWORD dwSourceStreamIndex,
                                                                IMFMediaType* pMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentDeviceMediaType(DWORD dwSourceStreamIndex,
                                                                IMFMediaType** ppMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStreamCount(DWORD* pdwStreamCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStreamCategory(DWORD dwSourceStreamIndex,
                                                              MF_CAPTURE_ENGINE_STREAM_CATEGORY* pStreamCategory) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMirrorState(DWORD dwStreamIndex, BOOL* pfMirrorState) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMirrorState(DWORD dwStreamIndex, BOOL fMirrorState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamIndexFromFriendlyName(UINT32 uifriendlyName,
                                                                     DWORD* pdwActualStreamIndex) = 0;
};

struct IMFCaptureEngine : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(IMFCaptureEngineOnEventCallback* pEventCallback,
                                                 IMFAttributes* pAttributes, IUnknown* pAudioSource,
                                                 IUnknown* pVideoSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartPreview() = 0;
    virtual HRESULT STDMETHODCALLTYPE StopPreview() = 0;
    virtual HRESULT STDMETHODCALLTYPE StartRecord() = 0;
    virtual HRESULT STDMETHODCALLTYPE StopRecord(BOOL bFinalize, BOOL bFlushUnprocessedSamples) = 0;
    virtual HRESULT STDMETHODCALLTYPE TakePhoto() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSink(MF_CAPTURE_ENGINE_SINK_TYPE mfCaptureEngineSinkType,
                                              IMFCaptureSink** ppSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(IMFCaptureSource** ppSource) = 0;
};

struct IMFCaptureEngineClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID clsid, REFIID riid, LPVOID* ppvObject) = 0;
};

struct IMFDXGIDeviceManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CloseDeviceHandle(HANDLE hDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVideoService(HANDLE hDevice, REFIID riid, void** ppService) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockDevice(HANDLE hDevice, REFIID riid, void** ppUnkDevice, BOOL fBlock) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenDeviceHandle(HANDLE* phDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* pUnkDevice, UINT resetToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE TestDevice(HANDLE hDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockDevice(HANDLE hDevice, BOOL fSaveState) = 0;
};

struct ID3D10Multithread : IUnknown {
    virtual void STDMETHODCALLTYPE Enter() = 0;
    virtual void STDMETHODCALLTYPE Leave() = 0;
    virtual BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL bMTProtect) = 0;
    virtual BOOL STDMETHODCALLTYPE GetMultithreadProtected() = 0;
};

// Only the IUnknown part of the Direct3D 11 device and context is used off Windows; their further
// methods follow in the SDK and are not declared here.
struct ID3D11Device : IUnknown {};
struct ID3D11DeviceContext : IUnknown {};
