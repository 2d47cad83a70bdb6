// Memory running out at every allocation of a load in turn, the first, the second, and
// so on to the last: before the walk (the document's name, the parser, the read buffer,
// the line index), in pugixml's parse and in the walk. Each load must fail with result 1
// and outcome OutOfMemory, keep a prefix of what the whole document registers and
// writes, leak nothing, and leave a manager that loads the document again.
//
// Every allocation of the library comes from operator new, replaced here, or from
// pugixml's allocator, set here: both go through counting_allocator.cpp. Under valgrind,
// whose operator new cannot be replaced, the sweep is skipped.
#include "counting_allocator.h"
#include "support.h"

#include <koltSettings/koltSettings.h>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <streambuf>
#include <string_view>

namespace {

// Installed before any document is parsed: pugixml must free with the function it
// allocated with.
struct CountPugixml {
    CountPugixml() {
        pugi::set_memory_management_functions(kolt::test::countedAlloc, kolt::test::countedFree);
    }
} gCountPugixml;

// Diagnostics and an extra list of every kind beyond the example's: entities, a
// prefix-matched list, a list met twice, a refused use, a rule dropped for want of a use.
const std::string kDocument = kolt::test::settings(R"(
<RunType TypeOfRun="Check" Stray="1"><ExcludeFramework><FrameworkName>F&amp;G</FrameworkName>
<Oops/></ExcludeFramework></RunType>
<ReportSet><Report MessageName="R1" Activate="true"/><Report MessageName="R2" Activate="maybe"/>
<Report Activate="true"/><Report MessageName="R3" Activate="true"><Child/></Report></ReportSet>
<OptionLists><Global_OptionLists><Macro2Expand><Macro>M&lt;1&gt;</Macro><Item>x</Item></Macro2Expand>
</Global_OptionLists>
<LifeCycle_OptionLists><LifeCycle_AddRefOnListElementsMethods><CallWithSpecificArg>
<ClassName>C</ClassName><MethodOrFunctionSign>f(a&amp;)</MethodOrFunctionSign><SpecificArg>2</SpecificArg>
</CallWithSpecificArg><CallWithSpecificArg><MethodOrFunctionSign>g</MethodOrFunctionSign>
</CallWithSpecificArg></LifeCycle_AddRefOnListElementsMethods>
<LifeCycle_SafeMethodsForMCBU><CallDeclaration><FrameworkName>F</FrameworkName>
<MethodOrFunctionSign>h()</MethodOrFunctionSign></CallDeclaration></LifeCycle_SafeMethodsForMCBU>
<LifeCycle_DeleteMethods><Call><MethodOrFunctionSign>del</MethodOrFunctionSign></Call>
<Call><ClassName>NoSignature</ClassName></Call><Stray/></LifeCycle_DeleteMethods>
</LifeCycle_OptionLists>
<EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection><ClassName>K</ClassName>
<Replacement>L</Replacement><ClassUseSet><ClassUse use="New" prohibited="true"/>
<ClassUse use="TIE" prohibited="true"/></ClassUseSet></ClassDetection>
<ClassDetection><ClassName>Dropped</ClassName></ClassDetection></EntityDetection_Classes>
<EntityDetection_Interfaces><InterfaceDetection><ClassName>I</ClassName><InterfaceUseSet>
<InterfaceUse use="TIE" prohibited="true"/></InterfaceUseSet></InterfaceDetection></EntityDetection_Interfaces>
<EntityDetection_Methods><MethodDetection><MethodOrFunctionSign>m (a, b)</MethodOrFunctionSign>
<ClassName>RootClass</ClassName><MethodUseSet><MethodUse use="Call" prohibited="true"/></MethodUseSet>
</MethodDetection></EntityDetection_Methods>
<EntityDetection_Words_Extra><WordDetection><WordName>w&amp;</WordName></WordDetection>
</EntityDetection_Words_Extra></EntityDetection_OptionLists>
<Global_OptionLists><Macro2Expand><Macro>again</Macro></Macro2Expand></Global_OptionLists>
</OptionLists>)");

// A diagnostics target that never allocates: what the load writes, up to a bound.
class FixedSink : public std::streambuf {
public:
    std::string_view text() const { return {_bytes.data(), _size}; }
    void clear() { _size = 0; }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) {
            overflow(traits_type::to_int_type(s[i]));
        }
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof()) && _size < _bytes.size()) {
            _bytes[_size++] = traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }

private:
    std::array<char, 1 << 16> _bytes{};
    std::size_t _size = 0;
};

// Keeps a fingerprint of each diagnostic it is handed, without allocating.
struct Fingerprints : koltDiagnosticObserver {
    std::array<std::uint64_t, 256> seen{};
    std::size_t count = 0;
    void onDiagnostic(const koltDiagnostic& d) override {
        std::uint64_t h = 1469598103934665603u;
        for (const char* text : {d.codeName, d.message, d.elementPath, d.printedPath, d.file}) {
            for (const char* p = text; *p; ++p) {
                h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211u;
            }
        }
        h ^= static_cast<std::uint64_t>(d.line) << 32 | static_cast<std::uint32_t>(d.column);
        if (count < seen.size()) {
            seen[count] = h;
        }
        ++count;
    }
};

// What a manager holds: the run settings, and each registry's names in registration
// order with each list's items as text (the active reports have none).
struct State {
    std::int32_t typeOfRun = 0;
    std::int32_t reportTestFw = 0;
    struct Registry {
        std::vector<std::string> names;
        std::vector<std::vector<std::string>> items;
    };
    std::array<Registry, 6> registries;
};

std::string text(const char* s) {
    return s ? s : "(null)";
}
std::string itemText(const GAXString& s) {
    return s.str();
}
std::string itemText(const CallWithSpecificArg* r) {
    return text(r->className) + '|' + text(r->methodOrFunctionSign) + '|' + std::to_string(r->specificArg);
}
std::string itemText(const Call* r) {
    return text(r->className) + '|' + text(r->methodOrFunctionSign);
}
std::string itemText(const CallDeclaration* r) {
    return text(r->frameworkName) + '|' + text(r->className) + '|' + text(r->methodOrFunctionSign);
}
std::string itemText(const koltEntityDetection* r) {
    std::string s =
        text(r->getDetectionType()) + '|' + text(r->getName()) + '|' + text(r->getReplacementName());
    for (int i = 0; i < r->usesToDetect().Size(); ++i) {
        s += '|' + text(r->usesToDetect().GetName(i));
    }
    return s;
}

template <class List>
State::Registry registryOf(const TAIndex& index) {
    State::Registry r;
    for (int i = 0; i < index.Size(); ++i) {
        r.names.push_back(index.GetName(i));
        r.items.emplace_back();
        if (const auto* list = static_cast<const List*>(index.GetValue(i))) {
            for (int pos = 1; pos <= list->Size(); ++pos) {
                r.items.back().push_back(itemText((*list)[pos]));
            }
        }
    }
    return r;
}

State stateOf(const koltSettingManager& m) {
    State s;
    s.typeOfRun = m._typeOfRun;
    s.reportTestFw = m._reportTestFw;
    s.registries = {registryOf<GAXListValGAXString>(m.stringLists()),
                    registryOf<GAXListPtrCallWithSpecificArg>(m.callWithSpecificArgLists()),
                    registryOf<GAXListPtrCall>(m.callLists()),
                    registryOf<GAXListPtrCallDeclaration>(m.callDeclarationLists()),
                    registryOf<GAXListPtrkoltEntityDetection>(m.entityDetectionLists()),
                    registryOf<GAXListValGAXString>(m.activeReports())}; // values are null
    return s;
}

template <class T>
bool isPrefix(const std::vector<T>& part, const std::vector<T>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

template <class T>
std::vector<T> joined(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The process-wide permitted-use tables emptied, so that every load fills them again.
void emptyUseTables() {
    koltClassDetection::_classUses.Reset();
    koltClassDetection::_isClassUsesInitDone = 0;
    koltInterfaceDetection::_interfaceUses.Reset();
    koltInterfaceDetection::_isInterfaceUsesInitDone = 0;
}

struct LoadRun {
    int result = -1;
    koltLoadReport::Outcome outcome = koltLoadReport::NotLoaded;
    std::string err;
    std::vector<std::uint64_t> diagnostics;
};

struct Sweep {
    const char* label;
    int (*load)(koltSettingManager&);
    bool observed;
};

void PrintTo(const Sweep& sweep, std::ostream* os) {
    *os << sweep.label;
}

int loadExample(koltSettingManager& m) {
    return m.loadFromXmlFile(KOLT_EXAMPLES_DIR "/settings.xml");
}
int loadDocument(koltSettingManager& m) {
    return m.loadFromXmlMemory(kDocument.data(), kDocument.size(), "settings.xml");
}

class OutOfMemory : public ::testing::TestWithParam<Sweep> {
protected:
    // One load into `m` with the `failAt`th allocation failing (0: none).
    LoadRun load(koltSettingManager& m, std::size_t failAt) {
        const Sweep& sweep = GetParam();
        Fingerprints observer;
        m.setDiagnosticObserver(sweep.observed ? &observer : nullptr);
        _sink.clear();
        std::ostream target(&_sink);
        LoadRun run;
        {
            rzStreamRedirect err(rzStderr, target);
            kolt::test::failAllocation(failAt);
            run.result = sweep.load(m);
            _allocations = kolt::test::allocationsSinceArmed();
            kolt::test::failAllocation(0);
        }
        m.setDiagnosticObserver(nullptr);
        run.outcome = m.lastLoadReport().outcome;
        run.err = _sink.text();
        const std::size_t kept = std::min(observer.count, observer.seen.size());
        run.diagnostics.assign(observer.seen.begin(),
                               observer.seen.begin() + static_cast<std::ptrdiff_t>(kept));
        return run;
    }

    FixedSink _sink;
    std::size_t _allocations = 0;
};

TEST_P(OutOfMemory, EveryAllocationFailingInTurnFailsTheLoadCleanly) {
    kolt::test::failAllocation(1);
    void* probe = ::operator new(1, std::nothrow);
    kolt::test::failAllocation(0);
    ::operator delete(probe);
    if (probe) {
        GTEST_SKIP() << "operator new is not this binary's (valgrind): no allocation can be made to fail";
    }

    emptyUseTables();
    koltSettingManager reference;
    const LoadRun whole = load(reference, 0);
    const std::size_t allocations = _allocations;
    const State full = stateOf(reference);
    ASSERT_EQ(whole.result, 0);
    ASSERT_EQ(whole.outcome, koltLoadReport::Loaded);
    ASSERT_GT(allocations, 50u);
    std::printf("[ sweep    ] %zu allocations, each made to fail in turn\n", allocations);
    ASSERT_EQ(whole.diagnostics.size(),
              GetParam().observed ? std::size_t(reference.lastLoadReport().total) : 0);

    for (std::size_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations) + " fails");
        emptyUseTables();
        const std::size_t liveBefore = kolt::test::liveBytes();
        {
            koltSettingManager m;
            const LoadRun failed = load(m, n);
            ASSERT_EQ(failed.result, 1);
            ASSERT_EQ(failed.outcome, koltLoadReport::OutOfMemory);
            EXPECT_EQ(whole.err.substr(0, failed.err.size()), failed.err) << "diagnostics written: a prefix";
            EXPECT_TRUE(isPrefix(failed.diagnostics, whole.diagnostics)) << "diagnostics observed: a prefix";

            const State part = stateOf(m);
            EXPECT_TRUE(part.typeOfRun == 3 || part.typeOfRun == full.typeOfRun);
            EXPECT_TRUE(part.reportTestFw == 0 || part.reportTestFw == full.reportTestFw);
            for (std::size_t r = 0; r < full.registries.size(); ++r) {
                const State::Registry& got = part.registries[r];
                const State::Registry& all = full.registries[r];
                ASSERT_TRUE(isPrefix(got.names, all.names)) << "registry " << r;
                for (std::size_t i = 0; i < got.names.size(); ++i) {
                    EXPECT_TRUE(isPrefix(got.items[i], all.items[i])) << got.names[i];
                }
            }

            // The same manager loads the document whole, on top of what it kept.
            const LoadRun again = load(m, 0);
            EXPECT_EQ(again.result, 0);
            EXPECT_EQ(again.err, whole.err);
            EXPECT_EQ(again.diagnostics, whole.diagnostics);
            const State both = stateOf(m);
            EXPECT_EQ(both.typeOfRun, full.typeOfRun);
            for (std::size_t r = 0; r < full.registries.size(); ++r) {
                const bool reports = r + 1 == full.registries.size(); // names repeat, lists extend
                const State::Registry& got = both.registries[r];
                const State::Registry& kept = part.registries[r];
                const State::Registry& all = full.registries[r];
                EXPECT_EQ(got.names, reports ? joined(kept.names, all.names) : all.names) << "registry " << r;
                for (std::size_t i = 0; !reports && i < got.names.size() && i < all.names.size(); ++i) {
                    EXPECT_EQ(got.items[i],
                              i < kept.items.size() ? joined(kept.items[i], all.items[i]) : all.items[i])
                        << got.names[i];
                }
            }
        }
        emptyUseTables();
        EXPECT_EQ(kolt::test::liveBytes(), liveBefore) << "nothing leaks";
        if (::testing::Test::HasFailure()) {
            break; // one failing allocation tells the story
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Loads, OutOfMemory,
                         ::testing::Values(Sweep{"ExampleFile", loadExample, false},
                                           Sweep{"ExampleFileObserved", loadExample, true},
                                           Sweep{"DocumentInMemory", loadDocument, false},
                                           Sweep{"DocumentInMemoryObserved", loadDocument, true}),
                         [](const ::testing::TestParamInfo<Sweep>& sweep) {
                             return std::string(sweep.param.label);
                         });

} // namespace
