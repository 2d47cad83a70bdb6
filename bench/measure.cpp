// Child-process runs: every run starts from the same small heap, as a first load in
// the checker does, and pays for every page it touches.
#include "measure.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

namespace kolt::bench {

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor time of this process; unlike the wall clock it leaves out the time other
// processes of a busy machine take.
double cpuNow() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Since Linux 4.0, writing 5 to clear_refs resets the high-water mark to the current size.
void resetPeak() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, "5", 1);
        ::close(fd);
    }
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

double residentBytes() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double peakResidentBytes() {
    double kib = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "VmHWM:", 6) == 0) {
                kib = std::strtod(line + 6, nullptr);
                break;
            }
        }
        std::fclose(f);
    }
    return kib * 1024;
}

void Probe::pause() {
    pausedAt = now();
    pausedCpuAt = cpuNow();
}

void Probe::resume() {
    pausedTotal += now() - pausedAt;
    pausedCpuTotal += cpuNow() - pausedCpuAt;
}

double Probe::residentGrowth() {
    ::malloc_trim(0);
    return residentBytes() - startRss;
}

Sample runIsolated(const Workload& workload) {
    std::cout.flush();
    std::fflush(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) {
        return Sample{};
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return Sample{};
    }
    if (pid == 0) {
        ::close(fds[0]);
        Sample sample;
        Probe probe;
        resetPeak();
        probe.startRss = residentBytes();
        const double start = now();
        const double cpuStart = cpuNow();
        workload(probe, sample);
        sample.cpuSeconds = cpuNow() - cpuStart - probe.pausedCpuTotal;
        sample.seconds = now() - start - probe.pausedTotal;
        sample.peakBytes = peakResidentBytes() - probe.startRss;
        sample.ok = true;
        std::fflush(nullptr);
        ::_exit(writeAll(fds[1], &sample, sizeof sample) ? 0 : 1);
    }
    ::close(fds[1]);
    Sample sample;
    const bool got = readAll(fds[0], &sample, sizeof sample);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return Sample{};
    }
    return sample;
}

} // namespace kolt::bench
