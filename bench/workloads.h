// The three ways of reading a settings file that the benchmark compares.
#ifndef KOLT_BENCH_WORKLOADS_H
#define KOLT_BENCH_WORKLOADS_H

#include "measure.h"

#include <string>

namespace kolt::bench {

// The floor: pugixml reads and parses the file with the library's own parse options,
// then every element name, attribute name and value, and text is read once.
void parseAndVisitWithPugixml(const std::string& path, Probe& probe, Sample& sample);

// A full load into a fresh manager, destruction included; keptBytes is what the loaded
// manager holds (measured with the clock paused).
void loadWithManager(const std::string& path, Probe& probe, Sample& sample);

// What a stock approach costs: libxml2 builds its tree of the file, then the same visit.
void parseAndVisitWithLibxml2(const std::string& path, Probe& probe, Sample& sample);

} // namespace kolt::bench

#endif
