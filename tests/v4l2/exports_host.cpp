#include "exports_host.h"

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace lumicap::v4l2::testing {

Text Wide(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

std::string Narrow(const Text& text)
{
    std::string out;
    for (WCHAR c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<std::string> TakeStringList(SAFEARRAY* list)
{
    std::vector<std::string> strings;
    if (!list) return strings;
    LONG lower = 0;
    LONG upper = -1;
    BSTR* elements = nullptr;
    if (SafeArrayGetDim(list) == 1 && SafeArrayGetLBound(list, 1, &lower) == S_OK && lower == 0 &&
        SafeArrayGetUBound(list, 1, &upper) == S_OK &&
        SafeArrayAccessData(list, reinterpret_cast<void**>(&elements)) == S_OK) {
        for (LONG i = 0; i <= upper; ++i) {
            strings.push_back(elements[i] ? Narrow(Text(elements[i], SysStringLen(elements[i]))) : std::string());
        }
        SafeArrayUnaccessData(list);
    }
    SafeArrayDestroy(list);
    return strings;
}

std::vector<std::string> CameraList()
{
    SAFEARRAY* list = nullptr;
    GetCameraList(&list);
    return TakeStringList(list);
}

std::vector<std::string> MediaTypeList()
{
    SAFEARRAY* list = nullptr;
    GetMediaTypeList(&list);
    return TakeStringList(list);
}

std::string Output(const std::string& command)
{
    std::string text;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return text;
    char chunk[4096];
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe.get())) text.append(chunk, n);
    return text;
}

bool SetControl(const std::string& node, const std::string& control, int value)
{
    const std::string command = "v4l2-ctl -d " + node + " -c " + control + "=" + std::to_string(value);
    return system(command.c_str()) == 0;
}

ExportsHost& ExportsHost::Get()
{
    static ExportsHost host;
    return host;
}

ExportsHost::ExportsHost() : events_(LumicapCreateMessageWindow()), preview_(LumicapCreateMessageWindow())
{
    CreateInstance(events_);
}

bool ExportsHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Short slices: frames reach the preview window without a message.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, events_, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_CAMERA_EVENT) {
                OnCaptureEvent(msg.message, msg.wParam);
            } else {
                notices_.push_back(msg);
            }
        }
    }
    return true;
}

void ExportsHost::PumpFor(std::chrono::milliseconds period)
{
    PumpUntil([] { return false; }, period);
}

const MSG* ExportsHost::WaitForNotice(UINT message, std::chrono::milliseconds timeout)
{
    const MSG* found = nullptr;
    PumpUntil(
        [&] {
            auto it =
                std::find_if(notices_.begin(), notices_.end(), [&](const MSG& m) { return m.message == message; });
            found = it == notices_.end() ? nullptr : &*it;
            return found != nullptr;
        },
        timeout);
    return found;
}

const MSG* ExportsHost::WaitForError(WPARAM kind, std::chrono::milliseconds timeout)
{
    const MSG* found = nullptr;
    PumpUntil(
        [&] {
            auto it = std::find_if(notices_.begin(), notices_.end(),
                                   [&](const MSG& m) { return m.message == WM_CAMERA_ERROR && m.wParam == kind; });
            found = it == notices_.end() ? nullptr : &*it;
            return found != nullptr;
        },
        timeout);
    return found;
}

HRESULT ExportsHost::Initialize(const std::string& name)
{
    Clear();
    const HRESULT hr = InitializeCamera(Wide(name).c_str());
    if (FAILED(hr)) return hr;
    const MSG* ready = WaitForNotice(WM_CAMERA_READY, std::chrono::seconds(30));
    if (!ready) return E_FAIL;
    const HRESULT status = static_cast<HRESULT>(ready->lParam);
    // The ready event's WM_CAMERA_EVENT follows its notice.
    PumpFor(std::chrono::milliseconds(100));
    return status;
}

bool ExportsHost::WaitForNewFrame(std::chrono::milliseconds timeout)
{
    const UINT64 shown = LumicapGetFrameCount(preview_);
    return PumpUntil([&] { return LumicapGetFrameCount(preview_) > shown; }, timeout);
}

bool ExportsHost::StartPreviewAndWaitForFrame(INT32 index, std::chrono::milliseconds timeout)
{
    const UINT64 shown = LumicapGetFrameCount(preview_);
    if (StartPreview(index, preview_) != S_OK) return false;
    return PumpUntil([&] { return LumicapGetFrameCount(preview_) > shown; }, timeout);
}

std::vector<std::string> OpenNodes()
{
    std::vector<std::string> nodes;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc/self/fd"), closedir);
    if (!dir) return nodes;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string path(target, static_cast<size_t>(n));
        if (path.rfind("/dev/video", 0) == 0) nodes.push_back(path);
    }
    return nodes;
}

int OpenDescriptorCount()
{
    int count = 0;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc/self/fd"), closedir);
    if (!dir) return -1;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.') ++count;
    }
    return count - 1; // the directory's own descriptor
}

int NodeMappingCount()
{
    int count = 0;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(" /dev/video") != std::string::npos) ++count;
    }
    return count;
}

} // namespace lumicap::v4l2::testing
