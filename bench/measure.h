// Runs one workload in a fresh child process and measures its time and memory.
#ifndef KOLT_BENCH_MEASURE_H
#define KOLT_BENCH_MEASURE_H

#include <cstddef>
#include <functional>

namespace kolt::bench {

// What one run of a workload cost.
struct Sample {
    bool ok = false;
    double seconds = 0;    // timed part only, wall clock
    double cpuSeconds = 0; // timed part only, processor time of the child (user and system)
    double peakBytes = 0;  // growth of the resident set's high-water mark
    double keptBytes = 0;  // resident growth still held after the timed part, if asked
    double check = 0;      // a value derived from the work, so that none of it is skipped
};

// Hooks a workload uses inside its child process.
struct Probe {
    // Pauses the clock (for a measurement that is not part of the work) and resumes it.
    void pause();
    void resume();
    // Resident bytes gained since the run started, after giving free heap back to the system.
    double residentGrowth();

    double startRss = 0;
    double pausedAt = 0;
    double pausedCpuAt = 0;
    double pausedTotal = 0;
    double pausedCpuTotal = 0;
};

// The workload: does the work, may fill sample.keptBytes and sample.check.
using Workload = std::function<void(Probe&, Sample&)>;

// Forks a child that runs the workload once from a fresh heap and reports its sample.
Sample runIsolated(const Workload& workload);

// Resident set size and its high-water mark of this process, in bytes.
double residentBytes();
double peakResidentBytes();

} // namespace kolt::bench

#endif
