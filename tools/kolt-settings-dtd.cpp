// Writes schema/koltSettings.dtd from the loader's vocabulary: to standard output, or
// to the file named by the only argument.
#include "support/schema.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: kolt-settings-dtd [OUTPUT]\n";
        return 2;
    }
    std::ostringstream dtd;
    kolt::tool::Schema::instance().writeDtd(dtd);
    if (argc == 1) {
        std::cout << dtd.str();
        return std::cout.flush() ? 0 : 1;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << dtd.str();
    out.close();
    if (!out) {
        std::cerr << "kolt-settings-dtd: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
