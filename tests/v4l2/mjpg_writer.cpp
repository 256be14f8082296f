// lumicap_mjpg_writer: a webcam that sends MJPG, made of a v4l2loopback node. It sets the node's
// format and writes JPEG frames into it until stopped, as many USB cameras send them: without
// Huffman tables (the decoder is to use the standard ones) and each of its own length.
//
//   lumicap_mjpg_writer NODE WIDTH HEIGHT FPS
#include "colour_bars.h"
#include "support/jpeg_without_tables.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using lumicap::testing::WithoutHuffmanTables;
using lumicap::v4l2::testing::kColourBars;

volatile std::sig_atomic_t stopping = 0;

// Frames differ in a square that moves along the bottom, so their lengths differ too.
constexpr int kFrames = 8;

// Bars over the whole frame but its bottom eighth, where a white square stands at a place of its own.
std::vector<uint8_t> Frame(tjhandle encoder, int width, int height, int index)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    const int side = height / 8;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool square = y >= height - side && x >= index * side && x < (index + 1) * side;
            pixels[static_cast<size_t>(y) * width + x] =
                y >= height - side ? (square ? 0xFFFFFFu : 0u) : kColourBars[x * 8 / width];
        }
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(encoder, reinterpret_cast<unsigned char*>(pixels.data()), width, 0, height, TJPF_BGRX, &jpeg,
                    &size, TJSAMP_422, 85, 0) != 0) {
        return {};
    }
    std::vector<uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    return WithoutHuffmanTables(bytes);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s NODE WIDTH HEIGHT FPS\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    const int fps = std::atoi(argv[4]);
    if (width <= 0 || height <= 0 || fps <= 0) return 2;
    std::signal(SIGTERM, [](int) { stopping = 1; });
    std::signal(SIGINT, [](int) { stopping = 1; });

    tjhandle encoder = tjInitCompress();
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < kFrames && encoder; ++i) frames.push_back(Frame(encoder, width, height, i));
    if (encoder) tjDestroy(encoder);
    if (frames.size() != kFrames || frames.back().empty()) {
        std::fprintf(stderr, "lumicap_mjpg_writer: cannot encode the frames\n");
        return 1;
    }

    const int fd = open(argv[1], O_RDWR);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    format.fmt.pix.width = static_cast<uint32_t>(width);
    format.fmt.pix.height = static_cast<uint32_t>(height);
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_MJPEG;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.sizeimage = static_cast<uint32_t>(width * height * 2);
    format.fmt.pix.colorspace = V4L2_COLORSPACE_JPEG;
    if (ioctl(fd, VIDIOC_S_FMT, &format) != 0) {
        std::perror("VIDIOC_S_FMT");
        return 1;
    }
    v4l2_streamparm rate{};
    rate.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    rate.parm.output.timeperframe = {1, static_cast<uint32_t>(fps)};
    ioctl(fd, VIDIOC_S_PARM, &rate);

    const auto period = std::chrono::nanoseconds(1000000000 / fps);
    auto next = std::chrono::steady_clock::now();
    for (long n = 0; !stopping; ++n) {
        const std::vector<uint8_t>& frame = frames[static_cast<size_t>(n % kFrames)];
        if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            std::perror("write");
            return 1;
        }
        next += period;
        std::this_thread::sleep_until(next);
    }
    close(fd);
    return 0;
}
