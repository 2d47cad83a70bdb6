// The ways of reading a settings file that the benchmark compares.
#ifndef KOLT_BENCH_WORKLOADS_H
#define KOLT_BENCH_WORKLOADS_H

#include "measure.h"

#include <string>

namespace kolt::bench {

// The floor: the library's own parse step (RUVXMLParser: its file reading and pugixml
// with its parse options), then every element name, attribute name and value, and text
// is read once. A load cannot do less.
void parseAndVisit(const std::string& path, Probe& probe, Sample& sample);

// The same with pugixml's own load_file and the same options: what a user of stock
// pugixml gets, and a check on the library's reading of the file.
void parseAndVisitWithPugixmlLoadFile(const std::string& path, Probe& probe, Sample& sample);

// A full load into a fresh manager, destruction included; keptBytes is what the loaded
// manager holds (measured with the clock paused).
void loadWithManager(const std::string& path, Probe& probe, Sample& sample);

// What a stock approach costs: libxml2 builds its tree of the file, then the same visit.
void parseAndVisitWithLibxml2(const std::string& path, Probe& probe, Sample& sample);

} // namespace kolt::bench

#endif
