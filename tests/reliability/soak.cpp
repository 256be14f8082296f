// The soak: in one process, 1,000 engine set-ups (each with the camera and format lists), 1,000
// preview start/stop cycles and 10,000 photos at 320 X 240, pumping as a host does. After a warm-up
// round, resident memory must grow by less than 1 MiB and the thread and descriptor counts must not
// change; every platform object must be gone once the module is torn down.
//
// usage: lumicap_soak [FACTOR]   FACTOR scales every count (default 1; CI runs 0.1).
#include "road_host.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"
#include "platform/virtual/virtual_platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMICAP_SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LUMICAP_SOAK_SANITIZED 1
#endif
#endif

namespace lumicap::reliability {
namespace {

// The sanitizers keep freed memory in quarantine on purpose, so resident memory says nothing there.
#ifdef LUMICAP_SOAK_SANITIZED
constexpr bool kMemoryIsMeaningful = false;
#else
constexpr bool kMemoryIsMeaningful = true;
#endif

constexpr long kAllowedGrowthKiB = 1024;
constexpr INT32 kSmallFormat = 5;  // 320 X 240 on the default camera

struct Counts {
    unsigned setUps;
    unsigned previewCycles;
    unsigned photos;
};

struct Figures {
    long residentKiB = 0;
    long threads = 0;
    long descriptors = 0;
};

long EntriesIn(const char* directory)
{
    long count = 0;
    if (DIR* dir = opendir(directory)) {
        while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

Figures Measure()
{
    Figures figures;
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    figures.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    figures.threads = EntriesIn("/proc/self/task");
    // The directory listing holds a descriptor of its own while it reads; it is counted every time.
    figures.descriptors = EntriesIn("/proc/self/fd");
    return figures;
}

CaptureManager* Manager() { return Module().theManager.get(); }

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "soak: FAILED: %s\n", what.c_str());
    std::exit(1);
}

void Require(bool condition, const std::string& what)
{
    if (!condition) Fail(what);
}

class Soak {
public:
    explicit Soak(RoadHost& host) : host_(host) {}

    // Lists the cameras, opens one, waits for it and lists its formats.
    void SetUp(const char* camera, size_t formats)
    {
        Require(TakeStrings(ListCameras()).size() == 2, "camera list");
        Require(::InitializeCamera(Wide(camera).c_str()) == S_OK, "InitializeCamera");
        Require(host_.PumpUntilEvent(MF_CAPTURE_ENGINE_INITIALIZED), "the set-up's event (hang)");
        SAFEARRAY* types = nullptr;
        ::GetMediaTypeList(&types);
        Require(TakeStrings(types).size() == formats, "format list");
        ++setUps_;
    }

    void StartPreview()
    {
        Require(::StartPreview(kSmallFormat, host_.Window()) == S_OK, "StartPreview");
        Require(host_.PumpUntilEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED), "the preview's start (hang)");
        Require(Manager()->isPreviewing, "previewing after the start");
    }

    void StopPreview()
    {
        ::StopPreview();
        Require(!Manager()->isPreviewing, "stopped");
        Require(host_.PumpUntilEvent(MF_CAPTURE_ENGINE_PREVIEW_STOPPED), "the preview's stop (hang)");
        ++previewCycles_;
    }

    void Photo()
    {
        ::TakePhotoAsync();
        Require(Manager()->isPhotoPending, "photo request accepted");
        Require(host_.PumpUntilEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN), "the photo (hang)");
        BYTE* jpeg = nullptr;
        INT32 size = 0;
        ::GetLastPhoto(&jpeg, &size);
        Require(size > 4 && jpeg[0] == 0xFF && jpeg[1] == 0xD8 && jpeg[size - 2] == 0xFF && jpeg[size - 1] == 0xD9,
                "photo is a JPEG");
        ::FreePhotoMemory();
        ++photos_;
    }

    // The given numbers of each (at least one), ending with the default camera open and no preview.
    void Run(const Counts& counts)
    {
        // Alternating cameras, the default one last.
        for (unsigned left = counts.setUps; left > 0; --left) {
            if (left % 2 == 0) {
                SetUp("Lumicap Virtual Rear Camera", 2);
            } else {
                SetUp("Lumicap Virtual Camera", 6);
            }
        }
        for (unsigned i = 1; i < counts.previewCycles; ++i) {
            StartPreview();
            StopPreview();
        }
        // The last cycle runs the photos.
        StartPreview();
        for (unsigned i = 0; i < counts.photos; ++i) Photo();
        StopPreview();
    }

    unsigned setUps_ = 0;
    unsigned previewCycles_ = 0;
    unsigned photos_ = 0;

private:
    static SAFEARRAY* ListCameras()
    {
        SAFEARRAY* names = nullptr;
        ::GetCameraList(&names);
        return names;
    }

    RoadHost& host_;
};

unsigned Scaled(unsigned full, double factor)
{
    const double scaled = full * factor;
    return scaled < 1 ? 1u : static_cast<unsigned>(scaled);
}

int Main(int argc, char** argv)
{
    const double factor = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (factor <= 0) {
        std::fprintf(stderr, "usage: lumicap_soak [FACTOR]  (FACTOR > 0 scales every count; 1 is the full soak)\n");
        return 2;
    }
    const Counts counts{Scaled(1000, factor), Scaled(1000, factor), Scaled(10000, factor)};

    StartFresh();
    Figures warm;
    Figures end;
    double seconds = 0;
    {
        RoadHost host;
        ::CreateInstance(host.Window());
        Soak soak(host);
        // Warm-up: every path once or more, so caches, pools and thread stacks reach their working size.
        soak.Run({21, 20, 200});
        warm = Measure();

        const auto start = std::chrono::steady_clock::now();
        Soak measured(host);
        measured.Run(counts);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        end = Measure();
        std::printf("soak (factor %g): %u engine set-ups, %u preview start/stop cycles, %u photos in %.1f s\n", factor,
                    measured.setUps_, measured.previewCycles_, measured.photos_, seconds);
        TearDownLibrary(host);
    }
    const long growth = end.residentKiB - warm.residentKiB;
    std::printf("  resident memory: %ld KiB after warm-up, %ld KiB at the end (%+ld KiB)%s\n", warm.residentKiB,
                end.residentKiB, growth, kMemoryIsMeaningful ? "" : " [not checked: sanitizer build]");
    std::printf("  threads:         %ld after warm-up, %ld at the end\n", warm.threads, end.threads);
    std::printf("  descriptors:     %ld after warm-up, %ld at the end\n", warm.descriptors, end.descriptors);
    std::printf("  platform objects alive after tear-down: %ld\n", virt::LiveObjectCount());

    if (kMemoryIsMeaningful) Require(growth < kAllowedGrowthKiB, "resident memory grew by 1 MiB or more");
    Require(end.threads == warm.threads, "thread count changed");
    Require(end.descriptors == warm.descriptors, "descriptor count changed");
    Require(virt::LiveObjectCount() == 0, "platform objects left alive");
    std::puts("soak: 1 passed, 0 failed");
    return 0;
}

}  // namespace
}  // namespace lumicap::reliability

int main(int argc, char** argv) { return lumicap::reliability::Main(argc, argv); }
