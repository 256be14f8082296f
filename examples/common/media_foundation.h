// Media Foundation started as a host that must also run where it is missing (Windows N and KN
// without the Media Feature Pack) starts it: loaded from System32 on demand, not imported, so the
// program starts there too and can say what is missing. Shared by the example hosts.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mfapi.h>

namespace lumicap_examples {

class MediaFoundationSession {
public:
    MediaFoundationSession()
        : module_(LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
          startup_(Find<decltype(&MFStartup)>("MFStartup")),
          shutdown_(Find<decltype(&MFShutdown)>("MFShutdown"))
    {
        started_ = startup_ && SUCCEEDED(startup_(MF_VERSION, MFSTARTUP_FULL));
    }
    ~MediaFoundationSession()
    {
        if (started_ && shutdown_) shutdown_();
    }
    MediaFoundationSession(const MediaFoundationSession&) = delete;
    MediaFoundationSession& operator=(const MediaFoundationSession&) = delete;

    bool Started() const { return started_; }

private:
    template <typename Function>
    Function Find(const char* name) const
    {
        return module_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

    HMODULE module_;
    decltype(&MFStartup) startup_;
    decltype(&MFShutdown) shutdown_;
    bool started_ = false;
};

}  // namespace lumicap_examples
#endif
