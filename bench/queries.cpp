// Query timings with Google Benchmark: each query of the manager beside the same
// lookups in std::unordered_map<std::string, ...>, the yardstick a user would reach for.
#include "queries.h"

#include <koltSettings/koltSettings.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

namespace kolt::bench {

namespace {

using Map = std::unordered_map<std::string, const void*>;

// Names to look up, present and absent in turn, kept both as C texts (what the
// checker passes) and as ready-made std::string keys (the map's best case).
struct Probes {
    std::vector<std::string> keys;
    std::vector<const char*> texts;
    Map map;
    std::size_t distinct = 0;
};

Probes probesOf(const TAIndex& registry) {
    Probes p;
    for (int i = 0; i < registry.Size(); ++i) {
        p.map.emplace(registry.GetName(i), registry.GetValue(i));
    }
    for (const auto& entry : p.map) {
        std::string absent = entry.first + "~";
        while (registry.IsIn(absent.c_str()) >= 0) {
            absent += '~';
        }
        p.keys.push_back(entry.first);
        p.keys.push_back(std::move(absent));
    }
    p.distinct = p.keys.size();
    for (const std::string& k : p.keys) {
        p.texts.push_back(k.c_str());
    }
    return p;
}

// One rule and one use name to ask it about; the map holds the rule's uses.
struct UseProbe {
    const koltEntityDetection* rule;
    const Map* uses;
    const char* text;
    const std::string* key;
};

// Collects the processor time per lookup of every repetition (less disturbed than the
// wall clock on a shared machine); the caller prints its own table.
class TimeCollector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            }
        }
    }
    double median(const std::string& name) {
        std::vector<double>& v = times[name];
        if (v.empty()) {
            return 0;
        }
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    std::map<std::string, std::vector<double>> times;
};

template <class Query>
void registerPair(const std::string& name, const std::shared_ptr<Probes>& probes, Query query) {
    benchmark::RegisterBenchmark((name + "/ours").c_str(), [probes, query](benchmark::State& state) {
        const std::vector<const char*>& texts = probes->texts;
        std::size_t i = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(query(texts[i]));
            if (++i == texts.size()) {
                i = 0;
            }
        }
    });
    benchmark::RegisterBenchmark((name + "/map").c_str(), [probes](benchmark::State& state) {
        const std::vector<std::string>& keys = probes->keys;
        const Map& map = probes->map;
        std::size_t i = 0;
        for (auto _ : state) {
            const auto it = map.find(keys[i]);
            benchmark::DoNotOptimize(it == map.end() ? nullptr : it->second);
            if (++i == keys.size()) {
                i = 0;
            }
        }
    });
}

} // namespace

std::vector<QueryRatio> timeQueries(const std::string& path, const std::vector<std::string>& benchmarkArgs) {
    static bool initialised = false;
    if (!initialised) {
        std::vector<char*> argv;
        static std::string program = "kolt-bench";
        argv.push_back(program.data());
        std::vector<std::string> args = benchmarkArgs;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        int argc = static_cast<int>(argv.size());
        benchmark::Initialize(&argc, argv.data());
        initialised = true;
    }
    benchmark::ClearRegisteredBenchmarks();

    koltSettingManager manager;
    if (manager.loadFromXmlFile(path.c_str()) != 0) {
        return {};
    }
    std::vector<QueryRatio> result;
    auto add = [&](const std::string& name, const TAIndex& registry, auto query) {
        auto probes = std::make_shared<Probes>(probesOf(registry));
        if (probes->distinct == 0) {
            return;
        }
        registerPair(name, probes, query);
        result.push_back(QueryRatio{name, probes->distinct, 0, 0});
    };
    const koltSettingManager& m = manager;
    add("report", m.activeReports(), [&m](const char* n) { return m.report(n); });
    add("getGAXListOfGAXString", m.stringLists(), [&m](const char* n) { return m.getGAXListOfGAXString(n); });
    add("getGAXListOfCallWithSpecificArg", m.callWithSpecificArgLists(),
        [&m](const char* n) { return m.getGAXListOfCallWithSpecificArg(n); });
    add("getGAXListOfCall", m.callLists(), [&m](const char* n) { return m.getGAXListOfCall(n); });
    add("getGAXListOfCallDeclaration", m.callDeclarationLists(),
        [&m](const char* n) { return m.getGAXListOfCallDeclaration(n); });
    add("getGAXListOfEntityDetection", m.entityDetectionLists(),
        [&m](const char* n) { return m.getGAXListOfEntityDetection(n); });

    // isUseToDetect: every permitted use name asked of each rule (up to a bound).
    static const std::string kUses[] = {"Derivation",           "MethodOrFunctionArgument",
                                        "DataMemberOrLocalVar", "CastInto",
                                        "IncludeOfHeader",      "New",
                                        "StaticMember",         "TIE"};
    auto ruleMaps = std::make_shared<std::vector<Map>>();
    std::vector<const koltEntityDetection*> rules;
    const TAIndex& lists = m.entityDetectionLists();
    for (int i = 0; i < lists.Size() && rules.size() < 16384; ++i) {
        const auto* list = static_cast<const GAXListPtrkoltEntityDetection*>(lists.GetValue(i));
        for (int pos = 1; list && pos <= list->Size() && rules.size() < 16384; ++pos) {
            rules.push_back((*list)[pos]);
        }
    }
    ruleMaps->reserve(rules.size());
    for (const koltEntityDetection* rule : rules) {
        Map uses;
        for (int u = 0; u < rule->usesToDetect().Size(); ++u) {
            uses.emplace(rule->usesToDetect().GetName(u), nullptr);
        }
        ruleMaps->push_back(std::move(uses));
    }
    auto useProbes = std::make_shared<std::vector<UseProbe>>();
    for (std::size_t r = 0; r < rules.size(); ++r) {
        for (const std::string& use : kUses) {
            useProbes->push_back(UseProbe{rules[r], &(*ruleMaps)[r], use.c_str(), &use});
        }
    }
    if (!useProbes->empty()) {
        benchmark::RegisterBenchmark("isUseToDetect/ours", [useProbes](benchmark::State& state) {
            std::size_t i = 0;
            for (auto _ : state) {
                const UseProbe& p = (*useProbes)[i];
                benchmark::DoNotOptimize(p.rule->isUseToDetect(p.text));
                if (++i == useProbes->size()) {
                    i = 0;
                }
            }
        });
        benchmark::RegisterBenchmark("isUseToDetect/map", [useProbes, ruleMaps](benchmark::State& state) {
            std::size_t i = 0;
            for (auto _ : state) {
                const UseProbe& p = (*useProbes)[i];
                benchmark::DoNotOptimize(p.uses->find(*p.key) != p.uses->end() ? 1 : 0);
                if (++i == useProbes->size()) {
                    i = 0;
                }
            }
        });
        result.push_back(QueryRatio{"isUseToDetect", useProbes->size(), 0, 0});
    }

    TimeCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::ClearRegisteredBenchmarks();
    for (QueryRatio& q : result) {
        q.oursNs = collector.median(q.query + "/ours");
        q.mapNs = collector.median(q.query + "/map");
    }
    return result;
}

} // namespace kolt::bench
