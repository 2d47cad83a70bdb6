// The checker's queries on a loaded manager against a plain hash-map lookup.
#ifndef KOLT_BENCH_QUERIES_H
#define KOLT_BENCH_QUERIES_H

#include <string>
#include <vector>

namespace kolt::bench {

struct QueryRatio {
    std::string query;
    std::size_t names = 0; // distinct names the lookups cycle through
    double oursNs = 0;     // median per lookup
    double mapNs = 0;
};

// Loads `path` into a manager and times each query against std::unordered_map lookups
// of the same names (half of them present, half absent), in randomly interleaved
// repetitions. `benchmarkArgs` go to Google Benchmark.
std::vector<QueryRatio> timeQueries(const std::string& path, const std::vector<std::string>& benchmarkArgs);

} // namespace kolt::bench

#endif
