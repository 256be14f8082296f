// lumicap_bench [--short] [--only NAME]: measures each hot path of the library against its physical
// limit, side by side in one run, and prints a table of ratios headed by a line describing the
// machine. Missed goals are reported, never turned into a failing exit code; only a path that stops
// working is.
#include "benches.h"
#include "machine_description.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

using lumicap::bench::BenchHost;
using lumicap::bench::ResultTable;
using lumicap::bench::RunLength;

struct Bench {
    const char* name;
    void (*run)(const RunLength&, BenchHost&, ResultTable&);
};

// In the table's order.
const Bench kBenches[] = {
    {"photo-copy", lumicap::bench::RunPhotoCopyBench},
    {"stream-write", lumicap::bench::RunStreamWriteBench},
    {"engine-event", lumicap::bench::RunEngineEventBench},
    {"photo", lumicap::bench::RunVirtualPhotoBench},
    {"preview", lumicap::bench::RunPreviewRateBench},
    {"camera-start", lumicap::bench::RunCameraStartBench},
    {"preview-frame", lumicap::bench::RunPreviewFrameBench},
};

int Usage()
{
    std::fputs("usage: lumicap_bench [--short] [--only NAME]\n"
               "  --short      every row briefly (rough numbers)\n"
               "  --only NAME  one benchmark: photo-copy, stream-write, engine-event, photo, preview,\n"
               "               camera-start or preview-frame\n",
               stderr);
    return 2;
}

bool Known(const char* name)
{
    for (const Bench& bench : kBenches) {
        if (std::strcmp(bench.name, name) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace lumicap::bench;
    RunLength length;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") == 0) {
            length.brief = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc && Known(argv[i + 1])) {
            only = argv[++i];
        } else {
            return Usage();
        }
    }
    std::printf("%s\n", DescribeMachine().c_str());
    std::printf("%s\n", DescribeScheduling().c_str());
    std::printf("Run: %s\n", length.brief ? "short (rough numbers; keeps the program building and running)" : "full");
    std::fflush(stdout);

    ResultTable table;
    try {
        BenchHost host;
        for (const Bench& bench : kBenches) {
            if (!only || std::strcmp(only, bench.name) == 0) bench.run(length, host, table);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumicap_bench: %s\n", error.what());
        return 1;
    }
    std::printf("\n%s\n%s\n", DescribeMachine().c_str(), DescribeScheduling().c_str());
    table.Print(stdout);
    std::printf("\n%zu goal(s) missed\n", table.Missed());
    return 0;
}
