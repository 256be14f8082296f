// The device-source declarations camera controls need on systems other than Windows: a capture
// device's IMFMediaSource and the DirectShow control interfaces it answers (IAMVideoProcAmp,
// IAMCameraControl), in SDK vtable order with their real IIDs, properties, flags and error codes. On
// Windows the SDK headers (mfidl.h, strmif.h, vfwmsgs.h) provide all of this.
#pragma once

#include "mf.h"

// A property the device does not have; a property set it does not support.
#define E_PROP_ID_UNSUPPORTED ((HRESULT)0x80070490)
#define E_PROP_SET_UNSUPPORTED ((HRESULT)0x80070492)

typedef enum tagVideoProcAmpProperty {
    VideoProcAmp_Brightness = 0,
    VideoProcAmp_Contrast = 1,
    VideoProcAmp_Hue = 2,
    VideoProcAmp_Saturation = 3,
    VideoProcAmp_Sharpness = 4,
    VideoProcAmp_Gamma = 5,
    VideoProcAmp_ColorEnable = 6,
    VideoProcAmp_WhiteBalance = 7,
    VideoProcAmp_BacklightCompensation = 8,
    VideoProcAmp_Gain = 9
} VideoProcAmpProperty;

typedef enum tagVideoProcAmpFlags { VideoProcAmp_Flags_Auto = 0x1, VideoProcAmp_Flags_Manual = 0x2 } VideoProcAmpFlags;

typedef enum tagCameraControlProperty {
    CameraControl_Pan = 0,
    CameraControl_Tilt = 1,
    CameraControl_Roll = 2,
    CameraControl_Zoom = 3,
    CameraControl_Exposure = 4,
    CameraControl_Iris = 5,
    CameraControl_Focus = 6
} CameraControlProperty;

typedef enum tagCameraControlFlags { CameraControl_Flags_Auto = 0x1, CameraControl_Flags_Manual = 0x2 } CameraControlFlags;

LUMICAP_GUID(IID_IMFMediaEventGenerator, 0x2cd0bd52, 0xbcd5, 0x4b89, 0xb6, 0x2c, 0xea, 0xdc, 0x0c, 0x03, 0x1e, 0x7d);
LUMICAP_GUID(IID_IMFMediaSource, 0x279a808d, 0xaec7, 0x40c8, 0x9c, 0x6b, 0xa6, 0xb4, 0x92, 0xc7, 0x8a, 0x66);
LUMICAP_GUID(IID_IAMVideoProcAmp, 0xc6e13360, 0x30ac, 0x11d0, 0xa1, 0x8c, 0x00, 0xa0, 0xc9, 0x11, 0x89, 0x56);
LUMICAP_GUID(IID_IAMCameraControl, 0xc6e13370, 0x30ac, 0x11d0, 0xa1, 0x8c, 0x00, 0xa0, 0xc9, 0x11, 0x89, 0x56);

struct IMFPresentationDescriptor;

struct IMFMediaEventGenerator : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEvent(DWORD dwFlags, IMFMediaEvent** ppEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginGetEvent(IMFAsyncCallback* pCallback, IUnknown* punkState) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* pResult, IMFMediaEvent** ppEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueEvent(MediaEventType met, REFGUID guidExtendedType, HRESULT hrStatus,
                                                 const PROPVARIANT* pvValue) = 0;
};

struct IMFMediaSource : IMFMediaEventGenerator {
    virtual HRESULT STDMETHODCALLTYPE GetCharacteristics(DWORD* pdwCharacteristics) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePresentationDescriptor(
        IMFPresentationDescriptor** ppPresentationDescriptor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start(IMFPresentationDescriptor* pPresentationDescriptor,
                                            const GUID* pguidTimeFormat, const PROPVARIANT* pvarStartPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
};

struct IAMVideoProcAmp : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                               LONG* pDefault, LONG* pCapsFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

struct IAMCameraControl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                               LONG* pDefault, LONG* pCapsFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};
