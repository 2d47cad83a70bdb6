// Writes the fuzzer's dictionary of the settings vocabulary to the file named first.
#include "dictionary.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.dict\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << kolt::fuzz::fuzzerDictionary();
    return out.good() ? 0 : 1;
}
