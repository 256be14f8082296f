/* A plain C host of Lumicap, built as people build against a release: on Linux with
 * pkg-config --cflags --libs lumicap, on Windows against the archive's include/ and an import
 * library. It prints the header's version, a call's result before CreateInstance and the camera
 * names, in one line:
 *
 *   c_consumer: lumicap 0.1.0, early InitializeCamera 0xC00D36B6, 2 cameras: "Lumicap Virtual Camera" ...
 *
 * and exits 0 when the camera list is a one-dimensional SAFEARRAY of BSTR from 0, 1 otherwise. */
#include <lumicap/lumicap.h>

#ifdef _WIN32
#include <mfapi.h>
#include <objbase.h>
#endif

#include <stdio.h>

static void PrintName(BSTR name)
{
    UINT length = SysStringLen(name);
    putchar('"');
    for (UINT i = 0; i < length; ++i) putchar(name[i] < 0x80 ? (char)name[i] : '?');
    putchar('"');
}

/* Prints the cameras; returns their number, or -1 for a missing or malformed list. */
static int PrintCameras(void)
{
    SAFEARRAY* names = NULL;
    LONG lower = -1;
    LONG upper = -1;
    VARTYPE type = VT_EMPTY;
    BSTR* elements = NULL;
    int count = -1;

    GetCameraList(&names);
    if (!names) return -1;
    if (SafeArrayGetDim(names) == 1 && SUCCEEDED(SafeArrayGetVartype(names, &type)) && type == VT_BSTR &&
        SUCCEEDED(SafeArrayGetLBound(names, 1, &lower)) && lower == 0 &&
        SUCCEEDED(SafeArrayGetUBound(names, 1, &upper)) &&
        SUCCEEDED(SafeArrayAccessData(names, (void**)&elements))) {
        count = (int)upper + 1;
        printf("%d cameras:", count);
        for (int i = 0; i < count; ++i) {
            putchar(' ');
            PrintName(elements[i]);
        }
        SafeArrayUnaccessData(names);
    }
    SafeArrayDestroy(names);
    return count;
}

int main(void)
{
#ifdef _WIN32
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    MFStartup(MF_VERSION, MFSTARTUP_FULL);
#endif
    printf("c_consumer: lumicap %s, early InitializeCamera 0x%08lX, ", LUMICAP_VERSION_STRING,
           (unsigned long)(ULONG)InitializeCamera(TEXT("Lumicap Virtual Camera")));
    const int cameras = PrintCameras();
    putchar('\n');
#ifdef _WIN32
    MFShutdown();
    CoUninitialize();
#endif
    if (cameras < 0) {
        puts("c_consumer: the camera list is not a one-dimensional SAFEARRAY of BSTR from 0");
        return 1;
    }
    return 0;
}
