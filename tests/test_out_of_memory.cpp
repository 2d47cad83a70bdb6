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
#include "fuzz/properties.h"
#include "support.h"

#include <koltSettings/koltSettings.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <streambuf>

namespace {

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

// A stream buffer that never allocates: what is written, up to its size.
class FixedSink : public std::streambuf {
public:
    FixedSink() { clear(); }
    std::string text() const { return {pbase(), static_cast<std::size_t>(pptr() - pbase())}; }
    void clear() { setp(_bytes.data(), _bytes.data() + _bytes.size()); }

private:
    std::array<char, 1 << 16> _bytes{};
};

// Writes what it is handed, position included, without allocating.
struct Recorder : koltDiagnosticObserver {
    FixedSink sink;
    void onDiagnostic(const koltDiagnostic& d) override {
        for (const char* text : {d.codeName, d.message, d.elementPath, d.printedPath, d.file}) {
            sink.sputn(text, static_cast<std::streamsize>(std::strlen(text)));
            sink.sputc('\n');
        }
        char position[32];
        sink.sputn(position, std::snprintf(position, sizeof position, "%d:%d\n", d.line, d.column));
    }
};

using kolt::fuzz::Snapshot;

template <class T>
bool isPrefix(const std::vector<T>& part, const std::vector<T>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

std::string registryOf(const std::string& listKey) {
    return listKey.substr(0, listKey.find(' '));
}

// "" when `part` holds, in every registry, the first lists of `whole`, each with the
// first of its items, and the run settings untouched or as `whole` sets them.
std::string prefixOf(const Snapshot& part, const Snapshot& whole) {
    if ((part.typeOfRun != 3 && part.typeOfRun != whole.typeOfRun) ||
        (part.reportTestFw != 0 && part.reportTestFw != whole.reportTestFw)) {
        return "run settings";
    }
    std::size_t at = 0;
    for (const auto& [key, items] : part.lists) {
        // Lists of `whole` passed over must belong to registries `part` is done with.
        for (; at < whole.lists.size() && whole.lists[at].first != key; ++at) {
            if (registryOf(whole.lists[at].first) == registryOf(key)) {
                return key + " registered before " + whole.lists[at].first;
            }
        }
        if (at == whole.lists.size() || !isPrefix(items, whole.lists[at++].second)) {
            return key + " is not the start of a list of the whole load";
        }
    }
    return "";
}

// `first` then `second` loaded into one manager: `second`'s lists, each extended by
// what `first` put in it first.
Snapshot loadedInTurn(const Snapshot& first, const Snapshot& second) {
    Snapshot both = second;
    for (auto& [key, items] : both.lists) {
        for (const auto& [earlierKey, earlier] : first.lists) {
            if (earlierKey == key) {
                items.insert(items.begin(), earlier.begin(), earlier.end());
            }
        }
    }
    return both;
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
    std::string observed;
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
        Recorder observer;
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
        run.observed = observer.sink.text();
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
    const Snapshot full = kolt::fuzz::snapshot(reference);
    ASSERT_EQ(whole.result, 0);
    ASSERT_EQ(whole.outcome, koltLoadReport::Loaded);
    ASSERT_GT(allocations, 50u);
    std::printf("[ sweep    ] %zu allocations, each made to fail in turn\n", allocations);
    ASSERT_EQ(!whole.observed.empty(), GetParam().observed && !whole.err.empty());

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
            EXPECT_EQ(whole.observed.substr(0, failed.observed.size()), failed.observed);

            const Snapshot part = kolt::fuzz::snapshot(m);
            EXPECT_EQ(prefixOf(part, full), "");

            // The same manager loads the document whole, on top of what it kept.
            const LoadRun again = load(m, 0);
            EXPECT_EQ(again.result, 0);
            EXPECT_EQ(again.err, whole.err);
            EXPECT_EQ(again.observed, whole.observed);
            const Snapshot both = kolt::fuzz::snapshot(m);
            EXPECT_EQ(both.typeOfRun, full.typeOfRun);
            EXPECT_EQ(both.lists, loadedInTurn(part, full).lists);
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
