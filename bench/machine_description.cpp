#include "machine_description.h"

#include <fstream>
#include <sched.h>
#include <sys/utsname.h>
#include <thread>

namespace lumicap::bench {
namespace {

std::string ProcessorModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) != 0) continue;
        const size_t colon = line.find(':');
        if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
    }
    return "unknown processor";
}

std::string Kernel()
{
    utsname names{};
    if (uname(&names) != 0) return "unknown kernel";
    return std::string(names.sysname) + " " + names.release + " " + names.machine;
}

}  // namespace

std::string DescribeMachine()
{
    return "Machine: " + ProcessorModel() + ", " + std::to_string(std::thread::hardware_concurrency()) +
           " cores, " + Kernel();
}

std::string DescribeScheduling()
{
    sched_param param{};
    sched_getparam(0, &param);
    switch (sched_getscheduler(0)) {
    case SCHED_FIFO:
        return "Scheduling: SCHED_FIFO priority " + std::to_string(param.sched_priority);
    case SCHED_RR:
        return "Scheduling: SCHED_RR priority " + std::to_string(param.sched_priority);
    default:
        return "Scheduling: normal (time slices shared with every other process)";
    }
}

}  // namespace lumicap::bench
