/* The Win32/COM/OLE subset that Lumicap and its hosts use on systems other than Windows.
 *
 * Names, layouts and meanings follow the Windows SDK: 32-bit HRESULT/LONG/ULONG, UTF-16 WCHAR,
 * length-prefixed BSTR, SAFEARRAY, PROPVARIANT, IUnknown in SDK vtable order, event objects and a
 * minimal window/message queue. A host written against these names builds unchanged on Windows,
 * where the real SDK headers take their place; only window creation differs. */
#ifndef LUMICAP_PORTABLE_WIN32_H
#define LUMICAP_PORTABLE_WIN32_H

#ifdef _WIN32
#error "Windows builds use the SDK headers, not the portable subset"
#endif

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#define LUMICAP_PORTABLE_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define LUMICAP_EXTERN_C extern "C"
#define LUMICAP_EXTERN_C_BEGIN extern "C" {
#define LUMICAP_EXTERN_C_END }
#else
#define LUMICAP_EXTERN_C
#define LUMICAP_EXTERN_C_BEGIN
#define LUMICAP_EXTERN_C_END
#endif

#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI LUMICAP_EXTERN_C LUMICAP_PORTABLE_API HRESULT

/* Basic types, sized as on Windows (LLP64). */
typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t INT32;
typedef uint32_t UINT32;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uint64_t UINT64;
typedef uint64_t QWORD;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef int16_t SHORT;
typedef uint8_t BYTE;
typedef uint8_t UINT8;
typedef uint8_t UCHAR;
typedef char CHAR;
typedef int BOOL;
typedef float FLOAT;
typedef double DOUBLE;
typedef void* PVOID;
typedef void* LPVOID;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef uint32_t COLORREF;

/* UTF-16 text, as on Windows. */
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* LPOLESTR;
#define TEXT(quote) u##quote
#define __TEXT(quote) u##quote

typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;

#define TRUE 1
#define FALSE 0

/* Results. */
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_ABORT ((HRESULT)0x80004004)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define E_HANDLE ((HRESULT)0x80070006)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000D)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define FACILITY_WIN32 7
#define HRESULT_FROM_WIN32(x) \
    ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((x)&0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000)))

#define ERROR_SUCCESS 0
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_OUTOFMEMORY 14
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_DEVICE_NOT_CONNECTED 1167
#define ERROR_NOT_FOUND 1168
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_TIMEOUT 1460
#define ERROR_INSUFFICIENT_BUFFER 122

/* GUIDs. */
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    const uint8_t* x = reinterpret_cast<const uint8_t*>(&a);
    const uint8_t* y = reinterpret_cast<const uint8_t*>(&b);
    for (size_t i = 0; i < sizeof(GUID); ++i) {
        if (x[i] != y[i]) return false;
    }
    return true;
}
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#else
typedef const GUID* REFGUID;
typedef const IID* REFIID;
typedef const CLSID* REFCLSID;
#endif

#ifdef __cplusplus
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
#else
typedef struct IUnknown IUnknown;
#endif

/* Table-driven QueryInterface (shlwapi). */
typedef struct {
    const IID* piid;
    int dwOffset;
} QITAB;
typedef const QITAB* LPCQITAB;
#define OFFSETOFCLASS(base, derived) \
    ((int)(reinterpret_cast<intptr_t>(static_cast<base*>(reinterpret_cast<derived*>(8))) - 8))
#define QITABENTMULTI(Cthis, Ifoo, Iimpl) {&IID_##Ifoo, OFFSETOFCLASS(Iimpl, Cthis)}
#define QITABENT(Cthis, Ifoo) QITABENTMULTI(Cthis, Ifoo, Ifoo)

/* OLE Automation. */
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_LPWSTR = 31,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000
};

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

#define FADF_HAVEVARTYPE 0x0080
#define FADF_BSTR 0x0100
#define FADF_UNKNOWN 0x0200

typedef struct tagCAUB {
    ULONG cElems;
    UCHAR* pElems;
} CAUB;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER;

typedef struct tagPROPVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        CHAR cVal;
        UCHAR bVal;
        SHORT iVal;
        USHORT uiVal;
        LONG lVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        LARGE_INTEGER hVal;
        ULARGE_INTEGER uhVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        CLSID* puuid;
        LPWSTR pwszVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        CAUB caub;
    };
} PROPVARIANT;
#ifdef __cplusplus
typedef const PROPVARIANT& REFPROPVARIANT;
#endif

/* Event objects. */
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

/* Window messages. */
#define WM_NULL 0x0000
#define WM_QUIT 0x0012
#define WM_USER 0x0400
#define WM_APP 0x8000
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define QS_ALLINPUT 0x04FF
#define QS_POSTMESSAGE 0x0008
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_NCDESTROY 0x0082
#define SIZE_RESTORED 0
#define GWLP_WNDPROC (-4)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(((DWORD_PTR)(l)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(h)) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define CALLBACK

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

LUMICAP_EXTERN_C_BEGIN

/* Thread error code and identity. */
LUMICAP_PORTABLE_API DWORD GetLastError(void);
LUMICAP_PORTABLE_API void SetLastError(DWORD dwErrCode);
LUMICAP_PORTABLE_API DWORD GetCurrentThreadId(void);

/* Modules. Only GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS is supported: the module is the shared object
 * or program that holds the address; with GET_MODULE_HANDLE_EX_FLAG_PIN it is never unloaded. */
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
LUMICAP_PORTABLE_API BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);

/* Task memory. */
LUMICAP_PORTABLE_API LPVOID CoTaskMemAlloc(size_t cb);
LUMICAP_PORTABLE_API void CoTaskMemFree(LPVOID pv);

/* BSTR. */
LUMICAP_PORTABLE_API BSTR SysAllocString(const OLECHAR* psz);
LUMICAP_PORTABLE_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
LUMICAP_PORTABLE_API UINT SysStringLen(BSTR pbstr);
LUMICAP_PORTABLE_API void SysFreeString(BSTR bstrString);

/* SAFEARRAY. */
LUMICAP_PORTABLE_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
LUMICAP_PORTABLE_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
LUMICAP_PORTABLE_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
LUMICAP_PORTABLE_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
LUMICAP_PORTABLE_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
LUMICAP_PORTABLE_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
LUMICAP_PORTABLE_API UINT SafeArrayGetDim(SAFEARRAY* psa);
LUMICAP_PORTABLE_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);

/* PROPVARIANT. */
LUMICAP_PORTABLE_API HRESULT PropVariantClear(PROPVARIANT* pvar);

/* COM helpers. */
LUMICAP_PORTABLE_API HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
LUMICAP_PORTABLE_API HRESULT QISearch(void* that, LPCQITAB pqit, REFIID riid, void** ppv);

/* Event objects: unnamed only (lpName must be null); lpEventAttributes is ignored. */
LUMICAP_PORTABLE_API HANDLE CreateEventW(void* lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                                         LPCWSTR lpName);
LUMICAP_PORTABLE_API BOOL SetEvent(HANDLE hEvent);
LUMICAP_PORTABLE_API BOOL ResetEvent(HANDLE hEvent);
LUMICAP_PORTABLE_API DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
LUMICAP_PORTABLE_API BOOL CloseHandle(HANDLE hObject);

/* Windows as message queues. A window belongs to the thread that created it; any thread may post to
 * it; it is destroyed when that thread ends. Creation is the one call without a Win32 counterpart. */
LUMICAP_PORTABLE_API HWND LumicapCreateMessageWindow(void);
LUMICAP_PORTABLE_API BOOL DestroyWindow(HWND hWnd);
LUMICAP_PORTABLE_API BOOL IsWindow(HWND hWnd);
LUMICAP_PORTABLE_API DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId);
LUMICAP_PORTABLE_API BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LUMICAP_PORTABLE_API BOOL PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                       UINT wRemoveMsg);
LUMICAP_PORTABLE_API BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
/* Waits for any one of the events (fWaitAll must be FALSE) or for input in the calling thread's queue. */
LUMICAP_PORTABLE_API DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                                     DWORD dwMilliseconds, DWORD dwWakeMask);
LUMICAP_PORTABLE_API void PostQuitMessage(int nExitCode);

/* Window procedures and client areas. A message window starts with DefWindowProcW (which answers 0)
 * and an empty client area. SendMessageW calls the procedure on the calling thread; SetWindowPos
 * sizes the client area (a message window has no frame) and sends WM_SIZE when the size changed;
 * DestroyWindow sends WM_NCDESTROY when called on the owner's thread. */
LUMICAP_PORTABLE_API LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LUMICAP_PORTABLE_API LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                             LPARAM lParam);
LUMICAP_PORTABLE_API LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LUMICAP_PORTABLE_API LRESULT DispatchMessageW(const MSG* lpMsg);
/* Only GWLP_WNDPROC. */
LUMICAP_PORTABLE_API LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LUMICAP_PORTABLE_API LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LUMICAP_PORTABLE_API BOOL GetClientRect(HWND hWnd, RECT* lpRect);
LUMICAP_PORTABLE_API BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);

/* What a window has been shown: the latest frame drawn into it (32-bit RGB32 pixels, top row first;
 * read back as 0x00RRGGBB) and how many frames it received. Stands in for what a real window would
 * display. */
LUMICAP_PORTABLE_API BOOL LumicapPresentFrame(HWND hWnd, const uint32_t* pixels, UINT32 width, UINT32 height);
LUMICAP_PORTABLE_API UINT64 LumicapGetFrameCount(HWND hWnd);
/* Copies the latest frame into pixels (capacity in pixels) and reports its size; FALSE when none. */
LUMICAP_PORTABLE_API BOOL LumicapGetLatestFrame(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width,
                                                UINT32* height);

/* GDI, as far as a picture is drawn into a window: a window's device context draws into its client
 * area, which a new or grown window shows as LUMICAP_WINDOW_BACKGROUND. StretchDIBits takes 32-bit
 * BI_RGB bitmaps only (top-down or bottom-up), scales to the nearest pixel, mirrors for a negative
 * destination width or height, and keeps the bitmap as the window's latest frame (as
 * LumicapPresentFrame). FillRect takes the stock black brush only. */
#define LUMICAP_WINDOW_BACKGROUND 0xC0C0C0u
typedef struct HDC__* HDC;
typedef struct HBRUSH__* HBRUSH;
typedef void* HGDIOBJ;
typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;
typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;
typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;
#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020
#define COLORONCOLOR 3
#define BLACK_BRUSH 4
LUMICAP_PORTABLE_API HDC GetDC(HWND hWnd);
LUMICAP_PORTABLE_API int ReleaseDC(HWND hWnd, HDC hDC);
LUMICAP_PORTABLE_API HGDIOBJ GetStockObject(int i);
LUMICAP_PORTABLE_API int SetStretchBltMode(HDC hdc, int mode);
LUMICAP_PORTABLE_API int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
LUMICAP_PORTABLE_API int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc,
                                       int ySrc, int SrcWidth, int SrcHeight, const void* lpBits,
                                       const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop);
/* Copies what the client area shows (0x00RRGGBB, top row first) and reports its size; FALSE for a
 * window that is gone. A buffer below width x height pixels receives nothing. */
LUMICAP_PORTABLE_API BOOL LumicapGetClientPicture(HWND hWnd, uint32_t* pixels, size_t capacity, UINT32* width,
                                                  UINT32* height);

LUMICAP_EXTERN_C_END

#endif
