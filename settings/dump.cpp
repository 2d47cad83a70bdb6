// Text listing of a manager's registries.
#include <koltSettings/settings/dump.h>
#include <koltSettings/settings/manager.h>

#include <ostream>

namespace {

struct Quoted {
    const char* text;
};

std::ostream& operator<<(std::ostream& out, Quoted q) {
    if (!q.text) {
        return out << "(null)";
    }
    static const char hex[] = "0123456789abcdef";
    out << '"';
    for (const char* p = q.text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\t':
            out << "\\t";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out << "\\x" << hex[c >> 4] << hex[c & 15];
            } else {
                out << *p;
            }
        }
    }
    return out << '"';
}

template <class List, class Print>
void dumpLists(std::ostream& out, const TAIndex& registry, const char* label, Print print) {
    for (int i = 0; i < registry.Size(); ++i) {
        const auto* list = static_cast<const List*>(registry.GetValue(i));
        out << label << ' ' << registry.GetName(i) << ": " << (list ? list->Size() : 0) << '\n';
        for (int pos = 1; list && pos <= list->Size(); ++pos) {
            out << "  ";
            print((*list)[pos]);
            out << '\n';
        }
    }
}

void dumpRule(std::ostream& out, const koltEntityDetection* rule) {
    if (!rule) {
        out << "(null)";
        return;
    }
    out << rule->getDetectionType() << " name " << Quoted{rule->getName()};
    if (const auto* method = dynamic_cast<const koltMethodDetection*>(rule)) {
        out << "; class " << Quoted{method->getClassName()} << "; arguments " << method->getArgCount()
            << "; all classes " << method->isAAllClassMethodDetection() << "; function "
            << method->isAFunction();
    }
    out << "; replacement " << Quoted{rule->getReplacementName()} << "; uses";
    const TAIndex& uses = rule->usesToDetect();
    for (int i = 0; i < uses.Size(); ++i) {
        out << (i ? ", " : " ") << uses.GetName(i);
    }
    if (uses.Size() == 0) {
        out << " (none)";
    }
}

} // namespace

void koltDumpText(const koltSettingManager& m, std::ostream& out) noexcept try {
    out << "run type: " << m._typeOfRun << '\n';
    out << "report test framework: " << m._reportTestFw << '\n';
    const TAIndex& reports = m.activeReports();
    out << "reports: " << reports.Size() << '\n';
    for (int i = 0; i < reports.Size(); ++i) {
        out << "  " << Quoted{reports.GetName(i)} << '\n';
    }
    dumpLists<GAXListValGAXString>(out, m.stringLists(), "string list",
                                   [&](const GAXString& s) { out << Quoted{s}; });
    dumpLists<GAXListPtrCallWithSpecificArg>(
        out, m.callWithSpecificArgLists(), "call-with-specific-arg list", [&](const CallWithSpecificArg* r) {
            out << "class " << Quoted{r->className} << "; signature " << Quoted{r->methodOrFunctionSign}
                << "; argument " << r->specificArg;
        });
    dumpLists<GAXListPtrCall>(out, m.callLists(), "call list", [&](const Call* r) {
        out << "class " << Quoted{r->className} << "; signature " << Quoted{r->methodOrFunctionSign};
    });
    dumpLists<GAXListPtrCallDeclaration>(
        out, m.callDeclarationLists(), "call-declaration list", [&](const CallDeclaration* r) {
            out << "framework " << Quoted{r->frameworkName} << "; class " << Quoted{r->className}
                << "; signature " << Quoted{r->methodOrFunctionSign};
        });
    dumpLists<GAXListPtrkoltEntityDetection>(out, m.entityDetectionLists(), "detection list",
                                             [&](const koltEntityDetection* r) { dumpRule(out, r); });
} catch (...) {
    // Memory ran out, or `out` was set to throw: the listing stops, `out` says it failed.
    try {
        out.setstate(std::ios::badbit);
    } catch (...) {
    }
}
