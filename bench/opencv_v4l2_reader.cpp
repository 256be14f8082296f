// lumicap_opencv_reader: the peer the V4L2 benchmark compares the library's frames mode with. It reads
// a V4L2 camera through OpenCV's own capture, each frame as BGR, as OpenCV hosts do, and prints the
// rate and the processor time per frame over the span:
//
//   lumicap_opencv_reader NODE WIDTH HEIGHT SECONDS
//   -> fps 12.50 cpu_ns_per_frame 1234567
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s NODE WIDTH HEIGHT SECONDS\n", argv[0]);
        return 2;
    }
    cv::VideoCapture capture(argv[1], cv::CAP_V4L2);
    if (!capture.isOpened()) {
        std::fprintf(stderr, "lumicap_opencv_reader: cannot open %s\n", argv[1]);
        return 1;
    }
    capture.set(cv::CAP_PROP_FOURCC, cv::VideoWriter::fourcc('Y', 'U', 'Y', 'V'));
    capture.set(cv::CAP_PROP_FRAME_WIDTH, std::atof(argv[2]));
    capture.set(cv::CAP_PROP_FRAME_HEIGHT, std::atof(argv[3]));
    cv::Mat frame;
    // The first frames carry the stream's start.
    for (int i = 0; i < 2; ++i) {
        if (!capture.read(frame)) return 1;
    }
    if (frame.cols != std::atoi(argv[2]) || frame.rows != std::atoi(argv[3]) || frame.type() != CV_8UC3) {
        std::fprintf(stderr, "lumicap_opencv_reader: frames are %dx%d of type %d\n", frame.cols, frame.rows,
                     frame.type());
        return 1;
    }
    const double span = std::atof(argv[4]);
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    long frames = 0;
    double seconds = 0;
    while (seconds < span) {
        if (!capture.read(frame)) return 1;
        ++frames;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::printf("fps %.3f cpu_ns_per_frame %.0f\n", frames / seconds, (CpuSeconds() - cpu) * 1e9 / frames);
    return 0;
}
