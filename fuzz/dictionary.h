// The words of the settings vocabulary, for the fuzzer's dictionary.
#ifndef KOLTSETTINGS_FUZZ_DICTIONARY_H
#define KOLTSETTINGS_FUZZ_DICTIONARY_H

#include <string>
#include <vector>

namespace kolt::fuzz {

// Every element name, attribute name and fixed value the loader compares with, and the
// entities it decodes, without repeats: the rows of the vocabulary tables.
std::vector<std::string> settingsWords();

// The dictionary in libFuzzer's format: each word alone, as a start tag, an end tag, an
// attribute or a quoted value, and the pieces of XML syntax worth combining with them.
std::string fuzzerDictionary();

} // namespace kolt::fuzz

#endif
