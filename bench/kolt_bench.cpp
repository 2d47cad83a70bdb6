// kolt-bench: a full load of settings files against the XML parser's own floor.
//
// For each file, in alternating rounds, four workloads run side by side, each in a
// fresh child process: the floor (the library's own parse step, RUVXMLParser, and a
// visit of every node), the full load (a fresh manager, destruction included), stock
// pugixml (load_file with the same options, and the visit) and libxml2 (parse and
// visit). It prints the medians of the per-round ratios to the floor, the peak memory
// of each and the memory a loaded manager keeps, relative to the file size; then,
// optionally, the query timings. Targets given on the command line are checked.
#include "measure.h"
#include "queries.h"
#include "workloads.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kolt::bench;

const char* const kUsage =
    "usage: kolt-bench [options] [LABEL=]FILE...\n"
    "  --rounds N               alternating rounds per file (default 5)\n"
    "  --no-libxml2             leave out the libxml2 comparison\n"
    "  --csv PATH               write one line of medians per file (for the plot)\n"
    "  --target LABEL:KEY=MAX   fail the check when a median ratio of LABEL exceeds MAX;\n"
    "                           KEY is load (load/floor), peak, kept (both / file size)\n"
    "  --scale SMALL:LARGE=MAX  check load(LARGE)/load(SMALL) <= MAX\n"
    "  --queries LABEL[=MAX]    time the queries on a manager loaded from LABEL's file,\n"
    "                           against std::unordered_map (MAX: largest ratio allowed)\n"
    "  --benchmark-arg ARG      pass ARG to Google Benchmark (repeatable)\n"
    "  --only WORKLOAD          run only floor, load, pugixml or libxml2 (for profiling)\n"
    "  --verbose                print every run's processor time, wall time and peak\n"
    "  --strict                 exit with 2 when a target is missed\n";

struct File {
    std::string label;
    std::string path;
    double bytes = 0;
};

enum Kind { Floor, Load, Stock, Libxml2, kWorkloadCount };
const char* const kWorkloadNames[] = {"floor", "load", "pugixml", "libxml2"};

struct Rounds {
    std::vector<Sample> samples[kWorkloadCount];
};

double median(std::vector<double> v) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class F>
double medianOf(const std::vector<Sample>& samples, F field) {
    std::vector<double> v;
    for (const Sample& s : samples) {
        v.push_back(field(s));
    }
    return median(v);
}

// Median over rounds of the per-round ratio a/b, of processor time or of wall time.
double medianRatio(const std::vector<Sample>& a, const std::vector<Sample>& b, bool wall = false) {
    std::vector<double> v;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        v.push_back(wall ? a[i].seconds / b[i].seconds : a[i].cpuSeconds / b[i].cpuSeconds);
    }
    return median(v);
}

double fileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<double>(in.tellg()) : -1;
}

// Reads the file once so that every workload finds it in the page cache.
void warmPageCache(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
}

Sample runWorkload(Kind w, const std::string& path) {
    switch (w) {
    case Floor:
        return runIsolated([&](Probe& p, Sample& s) { parseAndVisit(path, p, s); });
    case Stock:
        return runIsolated([&](Probe& p, Sample& s) { parseAndVisitWithPugixmlLoadFile(path, p, s); });
    case Load:
        return runIsolated([&](Probe& p, Sample& s) { loadWithManager(path, p, s); });
    default:
        return runIsolated([&](Probe& p, Sample& s) { parseAndVisitWithLibxml2(path, p, s); });
    }
}

struct Check {
    std::string what;
    double measured;
    double limit;
};

bool splitOnce(const std::string& text, char sep, std::string& left, std::string& right) {
    const std::size_t at = text.rfind(sep);
    if (at == std::string::npos) {
        return false;
    }
    left = text.substr(0, at);
    right = text.substr(at + 1);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    bool withLibxml2 = true;
    bool strict = false;
    bool verbose = false;
    int only = -1;
    std::string csvPath;
    std::vector<File> files;
    std::vector<std::string> targets, scales, queries, benchmarkArgs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "kolt-bench: " << a << " needs a value\n" << kUsage;
                std::exit(64);
            }
            return argv[++i];
        };
        if (a == "--rounds") {
            rounds = std::max(1, std::atoi(value().c_str()));
        } else if (a == "--no-libxml2") {
            withLibxml2 = false;
        } else if (a == "--csv") {
            csvPath = value();
        } else if (a == "--target") {
            targets.push_back(value());
        } else if (a == "--scale") {
            scales.push_back(value());
        } else if (a == "--queries") {
            queries.push_back(value());
        } else if (a == "--benchmark-arg") {
            benchmarkArgs.push_back(value());
        } else if (a == "--only") {
            const std::string w = value();
            for (int k = 0; k < kWorkloadCount; ++k) {
                if (w == kWorkloadNames[k]) {
                    only = k;
                }
            }
            if (only < 0) {
                std::cerr << "kolt-bench: unknown workload " << w << "\n";
                return 64;
            }
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "kolt-bench: unknown option " << a << "\n" << kUsage;
            return 64;
        } else {
            File f;
            const std::size_t eq = a.find('=');
            f.path = eq == std::string::npos ? a : a.substr(eq + 1);
            f.label = eq == std::string::npos ? a.substr(a.rfind('/') + 1) : a.substr(0, eq);
            f.bytes = fileSize(f.path);
            if (f.bytes <= 0) {
                std::cerr << "kolt-bench: cannot read " << f.path << "\n";
                return 66;
            }
            files.push_back(f);
        }
    }
    if (files.empty()) {
        std::cerr << kUsage;
        return 64;
    }
    auto indexOf = [&](const std::string& label) -> int {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].label == label) {
                return static_cast<int>(i);
            }
        }
        std::cerr << "kolt-bench: no file labelled " << label << "\n";
        std::exit(64);
    };

    xmlInitParser();
    for (const File& f : files) {
        warmPageCache(f.path);
    }
    const int workloads = withLibxml2 ? kWorkloadCount : Libxml2;
    std::vector<Rounds> results(files.size());
    if (only >= 0) {
        // Profiling aid: the one workload, every round, and no report.
        for (int r = 0; r < rounds; ++r) {
            for (const File& f : files) {
                if (!runWorkload(static_cast<Kind>(only), f.path).ok) {
                    return 1;
                }
            }
        }
        return 0;
    }
    for (int r = 0; r < rounds; ++r) {
        std::cout << "round " << r + 1 << "/" << rounds << ":" << std::flush;
        for (std::size_t f = 0; f < files.size(); ++f) {
            for (int k = 0; k < workloads; ++k) {
                // Rotate the order from round to round: no workload always runs first.
                const auto w = static_cast<Kind>((k + r) % workloads);
                const Sample s = runWorkload(w, files[f].path);
                if (!s.ok || s.check < 0) {
                    std::cerr << "\nkolt-bench: " << kWorkloadNames[w] << " failed on " << files[f].path
                              << "\n";
                    return 1;
                }
                results[f].samples[w].push_back(s);
                if (verbose) {
                    std::printf("\n  %s %s: %.1f ms processor, %.1f ms wall, peak %.1f MB",
                                files[f].label.c_str(), kWorkloadNames[w], s.cpuSeconds * 1e3,
                                s.seconds * 1e3, s.peakBytes / 1e6);
                }
            }
            std::cout << " " << files[f].label << std::flush;
        }
        std::cout << "\n";
    }

    // Per file: medians of times, per-round ratios to the floor, memory relative to size.
    struct Row {
        double seconds[kWorkloadCount]; // processor time
        double wallSeconds[kWorkloadCount];
        double ratio[kWorkloadCount]; // to the floor, processor time
        double peak[kWorkloadCount];
        double kept;
        double loadWallRatio;
    };
    std::vector<Row> rows(files.size());
    for (std::size_t f = 0; f < files.size(); ++f) {
        Row& row = rows[f];
        const auto& samples = results[f].samples;
        for (int w = 0; w < kWorkloadCount; ++w) {
            row.seconds[w] = medianOf(samples[w], [](const Sample& x) { return x.cpuSeconds; });
            row.wallSeconds[w] = medianOf(samples[w], [](const Sample& x) { return x.seconds; });
            row.ratio[w] = medianRatio(samples[w], samples[Floor]);
            row.peak[w] = medianOf(samples[w], [](const Sample& x) { return x.peakBytes; }) / files[f].bytes;
        }
        row.kept = medianOf(samples[Load], [](const Sample& x) { return x.keptBytes; }) / files[f].bytes;
        row.loadWallRatio = medianRatio(samples[Load], samples[Floor], true);
    }

    std::printf("\nTime: medians over %d alternating rounds of the ratio to the floor, in processor\n"
                "time (the wall-clock ratio of the load is shown beside it).\n",
                rounds);
    std::printf("%-12s %8s %10s %10s %7s %10s %10s\n", "file", "MB", "floor MB/s", "load", "(wall)",
                "pugixml", "libxml2");
    for (std::size_t f = 0; f < files.size(); ++f) {
        const Row& row = rows[f];
        std::printf("%-12s %8.2f %10.1f %10.3f %7.3f %10.3f %10.3f\n", files[f].label.c_str(),
                    files[f].bytes / 1e6, files[f].bytes / 1e6 / row.seconds[Floor], row.ratio[Load],
                    row.loadWallRatio, row.ratio[Stock], row.ratio[Libxml2]);
    }
    std::printf("\nMemory relative to the file size: peak of each, and what a loaded manager keeps.\n");
    std::printf("%-12s %10s %10s %10s %10s %10s\n", "file", "floor", "load", "pugixml", "libxml2", "kept");
    for (std::size_t f = 0; f < files.size(); ++f) {
        const Row& row = rows[f];
        std::printf("%-12s %10.2f %10.2f %10.2f %10.2f %10.2f\n", files[f].label.c_str(), row.peak[Floor],
                    row.peak[Load], row.peak[Stock], row.peak[Libxml2], row.kept);
    }

    if (!csvPath.empty()) {
        std::ofstream csv(csvPath);
        csv << "label,bytes,kept";
        for (const char* name : kWorkloadNames) {
            csv << ',' << name << "_s," << name << "_wall_s," << name << "_ratio," << name << "_peak";
        }
        csv << '\n';
        for (std::size_t f = 0; f < files.size(); ++f) {
            const Row& row = rows[f];
            csv << files[f].label << ',' << static_cast<long long>(files[f].bytes) << ',' << row.kept;
            for (int w = 0; w < kWorkloadCount; ++w) {
                csv << ',' << row.seconds[w] << ',' << row.wallSeconds[w] << ',' << row.ratio[w] << ','
                    << row.peak[w];
            }
            csv << '\n';
        }
    }

    std::vector<Check> checks;
    for (const std::string& t : targets) {
        std::string label, rest, key, max;
        if (!splitOnce(t, ':', label, rest) || !splitOnce(rest, '=', key, max)) {
            std::cerr << "kolt-bench: bad --target " << t << "\n";
            return 64;
        }
        const Row& row = rows[static_cast<std::size_t>(indexOf(label))];
        const double limit = std::atof(max.c_str());
        if (key == "load") {
            checks.push_back({label + " load / floor", row.ratio[Load], limit});
        } else if (key == "peak") {
            checks.push_back({label + " peak of load / file size", row.peak[Load], limit});
        } else if (key == "kept") {
            checks.push_back({label + " kept by manager / file size", row.kept, limit});
        } else {
            std::cerr << "kolt-bench: unknown target key " << key << "\n";
            return 64;
        }
    }
    for (const std::string& s : scales) {
        std::string pair, max, small, large;
        if (!splitOnce(s, '=', pair, max) || !splitOnce(pair, ':', small, large)) {
            std::cerr << "kolt-bench: bad --scale " << s << "\n";
            return 64;
        }
        const auto a = static_cast<std::size_t>(indexOf(small));
        const auto b = static_cast<std::size_t>(indexOf(large));
        std::ostringstream what;
        what.precision(3);
        what << large << " / " << small << " load time (input x" << files[b].bytes / files[a].bytes << ")";
        checks.push_back({what.str(), medianRatio(results[b].samples[Load], results[a].samples[Load]),
                          std::atof(max.c_str())});
    }

    for (const std::string& q : queries) {
        std::string label = q, max;
        double limit = NAN;
        if (splitOnce(q, '=', label, max)) {
            limit = std::atof(max.c_str());
        } else {
            label = q;
        }
        const File& file = files[static_cast<std::size_t>(indexOf(label))];
        std::printf("\nQueries on a manager loaded from %s:\n", file.label.c_str());
        std::fflush(stdout);
        const std::vector<QueryRatio> ratios = timeQueries(file.path, benchmarkArgs);
        std::printf("%-34s %9s %10s %10s %8s\n", "query", "names", "ours ns", "map ns", "ratio");
        for (const QueryRatio& r : ratios) {
            std::printf("%-34s %9zu %10.2f %10.2f %8.3f\n", r.query.c_str(), r.names, r.oursNs, r.mapNs,
                        r.oursNs / r.mapNs);
            if (!std::isnan(limit)) {
                checks.push_back({label + " " + r.query + " / map lookup", r.oursNs / r.mapNs, limit});
            }
        }
    }

    bool missed = false;
    if (!checks.empty()) {
        std::printf("\n%-58s %9s %7s\n", "target", "measured", "limit");
        for (const Check& c : checks) {
            const bool ok = c.measured <= c.limit;
            missed |= !ok;
            std::printf("%-58s %9.3f %7.2f  %s\n", c.what.c_str(), c.measured, c.limit, ok ? "ok" : "MISSED");
        }
    }
    xmlCleanupParser();
    return strict && missed ? 2 : 0;
}
