// Lists the cameras through an installed Lumicap and checks that the two default virtual cameras
// are there, in order, in a one-dimensional SAFEARRAY of BSTR with lower bound 0, and that the log
// callback heard about it. Exits 0 when all of that holds.
#include <lumicap/lumicap.h>

#ifdef _WIN32
#include <mfapi.h>
#include <objbase.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Text = std::basic_string<WCHAR>;

std::vector<Text> logLines;

void WINAPI RecordLog(LPCWSTR line) { logLines.emplace_back(line ? line : TEXT("")); }

std::string Narrow(const Text& text)
{
    std::string out;
    for (WCHAR c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// The names in the list, or an empty vector with a message when the list is malformed.
std::vector<Text> ReadNames(SAFEARRAY* list)
{
    LONG lower = -1;
    LONG upper = -1;
    VARTYPE type = VT_EMPTY;
    if (SafeArrayGetDim(list) != 1 || FAILED(SafeArrayGetVartype(list, &type)) || type != VT_BSTR ||
        FAILED(SafeArrayGetLBound(list, 1, &lower)) || FAILED(SafeArrayGetUBound(list, 1, &upper)) || lower != 0) {
        std::puts("consumer: the camera list is not a one-dimensional SAFEARRAY of BSTR from 0");
        return {};
    }
    std::vector<Text> names;
    BSTR* elements = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)))) {
        for (LONG i = 0; i <= upper; ++i) names.emplace_back(elements[i], SysStringLen(elements[i]));
        SafeArrayUnaccessData(list);
    }
    return names;
}

bool Logged(const Text& line)
{
    for (const Text& logged : logLines) {
        if (logged == line) return true;
    }
    return false;
}

int Run()
{
    SetLogCallback(RecordLog);
    SAFEARRAY* list = nullptr;
    GetCameraList(&list);
    SetLogCallback(nullptr);
    if (!list) {
        std::puts("consumer: GetCameraList gave no array");
        return 1;
    }
    const std::vector<Text> names = ReadNames(list);
    SafeArrayDestroy(list);

    const std::vector<Text> expected = {TEXT("Lumicap Virtual Camera"), TEXT("Lumicap Virtual Rear Camera")};
    for (const Text& name : names) std::printf("consumer: camera \"%s\"\n", Narrow(name).c_str());
    if (names != expected) {
        std::printf("consumer: expected the two virtual cameras, got %zu names\n", names.size());
        return 1;
    }
    if (!Logged(TEXT("GetCameraList")) || !Logged(TEXT("Camera name: ") + expected[1])) {
        std::printf("consumer: the log callback missed the listing (%zu lines)\n", logLines.size());
        return 1;
    }
    std::printf("consumer: %zu cameras, %zu log lines\n", names.size(), logLines.size());
    return 0;
}

}  // namespace

int main()
{
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MFStartup(MF_VERSION);
#endif
    const int result = Run();
#ifdef _WIN32
    MFShutdown();
    CoUninitialize();
#endif
    return result;
}
