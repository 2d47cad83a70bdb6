// Test driver: the well-formedness verdict on each FILE as one JSON line
// {"file", "violations": [{"code", "line", "column", "description"}]}; with --codes, the
// table of codes instead.
#include "support/json.h"
#include "support/wellformed.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    using namespace kolt::tool;
    if (argc == 2 && std::string(argv[1]) == "--codes") {
        JsonWriter json(false);
        json.beginObject();
        for (const ToolCode* c : kWellFormedCodes) {
            json.key(c->code).value(c->summary);
        }
        std::cout << json.endObject().str() << '\n';
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "cannot read " << argv[i] << '\n';
            return 2;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        JsonWriter json(false);
        json.beginObject().key("file").value(argv[i]).key("violations").beginArray();
        for (const XmlViolation& v : checkWellFormed(bytes, argv[i])) {
            json.beginObject().key("code").value(v.code->code).key("line").value(v.line);
            json.key("column").value(v.column).key("description").value(v.description).endObject();
        }
        std::cout << json.endArray().endObject().str() << '\n';
    }
    return 0;
}
