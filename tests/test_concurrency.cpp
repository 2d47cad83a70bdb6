// Managers loading in several threads at once: the same results as alone, diagnostics
// that stay whole on the process's standard error, and permitted-use tables filled once
// whoever comes first. Built with ThreadSanitizer in CI; here each thread owns its
// manager, as the checker's would.
#include "support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <thread>

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 8;

// Class, interface, method and word rules (the first two fill the use tables), and
// diagnostics of several shapes.
const std::string kRules = kolt::test::settings(
    "<ReportSet><Report MessageName=\"R\" Activate=\"maybe\"/></ReportSet>"
    "<OptionLists><EntityDetection_OptionLists>"
    "<EntityDetection_Classes><ClassDetection><ClassName>C</ClassName><ClassUseSet>"
    "<ClassUse use=\"New\" prohibited=\"true\"/><ClassUse use=\"TIE\" prohibited=\"true\"/></ClassUseSet>"
    "</ClassDetection><ClassDetection><ClassName>D</ClassName></ClassDetection></EntityDetection_Classes>"
    "<EntityDetection_Interfaces><InterfaceDetection><ClassName>I</ClassName><InterfaceUseSet>"
    "<InterfaceUse use=\"TIE\" prohibited=\"true\"/></InterfaceUseSet></InterfaceDetection>"
    "</EntityDetection_Interfaces>"
    "<EntityDetection_Methods><MethodDetection><MethodOrFunctionSign>m(a,b)</MethodOrFunctionSign>"
    "<MethodUseSet><MethodUse use=\"Call\" prohibited=\"true\"/></MethodUseSet></MethodDetection>"
    "</EntityDetection_Methods>"
    "<EntityDetection_Words><WordDetection><WordName>w</WordName><WordUseSet>"
    "<WordUse use=\"Any\" prohibited=\"true\"/></WordUseSet></WordDetection></EntityDetection_Words>"
    "</EntityDetection_OptionLists></OptionLists><Stray/>");

const std::string kExample = std::string(KOLT_EXAMPLES_DIR) + "/settings.xml";

// What one manager gives after loading the example file and the rules document.
struct Outcome {
    std::vector<int> results;
    std::string observed;
    std::string state;
    friend bool operator==(const Outcome& a, const Outcome& b) {
        return a.results == b.results && a.observed == b.observed && a.state == b.state;
    }
};

Outcome loadBoth() {
    koltSettingManager m;
    kolt::test::Recorder recorder;
    m.setDiagnosticObserver(&recorder);
    Outcome o;
    o.results.push_back(m.loadFromXmlFile(kExample.c_str()));
    o.results.push_back(m.loadFromXmlMemory(kRules.data(), kRules.size(), "rules.xml"));
    std::ostringstream state;
    koltDumpText(m, state);
    o.state = state.str();
    for (const kolt::test::Seen& d : recorder.seen) {
        o.observed += d.codeName + ' ' + d.path + '\n';
    }
    return o;
}

// Runs `body(thread)` in kThreads threads released at once.
template <class Body>
void inThreads(int count, Body body) {
    std::atomic<int> waiting{count};
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) {
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting.load() > 0) {
                std::this_thread::yield();
            }
            body(t);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

// The records of a load written alone, each ending with its path line.
std::vector<std::string> recordsAlone(Outcome& alone) {
    const std::string err = kolt::test::capture([&] { alone = loadBoth(); }).err;
    std::vector<std::string> records;
    std::istringstream lines(err);
    std::string record;
    for (std::string line; std::getline(lines, line);) {
        record += line + '\n';
        if (line.rfind(" / ", 0) == 0) {
            records.push_back(std::move(record));
            record.clear();
        }
    }
    return records;
}

// Takes what the threads write and keeps nothing, so they share no state through it.
class Discard : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

// First in this binary on purpose: the threads race to fill the permitted-use tables.
// One thread also refills them between loads: force 1 leaves tables that already hold
// the permitted uses as they are, so it may run while others load.
TEST(Concurrency, ManagersLoadingAtOnceGetWhatTheyGetAlone) {
    Discard discard;
    std::ostream sink(&discard);
    std::vector<Outcome> outcomes[kThreads];
    {
        // Redirection is not synchronised: it is set before the threads start.
        rzStreamRedirect err(rzStderr, sink);
        inThreads(kThreads, [&](int t) {
            for (int round = 0; round < kRounds; ++round) {
                outcomes[t].push_back(loadBoth());
                for (int force : t == 0 ? std::vector<int>{1, 0, 2, -1} : std::vector<int>{}) {
                    koltClassDetection::initPossibleClassUses(force);
                    koltInterfaceDetection::initPossibleInterfaceUses(force);
                    koltWordDetection::initPossibleClassUses(force);
                }
            }
        });
    }
    Outcome alone;
    kolt::test::capture([&] { alone = loadBoth(); });
    EXPECT_EQ(alone.results, (std::vector<int>{0, 1}));
    EXPECT_NE(alone.state.find("uses New\n"), std::string::npos) << "the class table was filled";
    EXPECT_NE(alone.state.find("uses TIE\n"), std::string::npos) << "the interface table was filled";
    EXPECT_EQ(koltClassDetection::_classUses.Size(), 7);
    for (const auto& perThread : outcomes) {
        for (const Outcome& o : perThread) {
            EXPECT_TRUE(o == alone) << o.state << o.observed;
        }
    }
}

// With rzStderr on the process's standard error (the default), records of concurrent
// loads do not interleave: each is one write of the C library's locked stream. (A
// sanitizer's report during this test goes to the file too, hence a test of its own.)
TEST(Concurrency, StandardErrorGetsWholeRecords) {
    Outcome alone;
    const std::vector<std::string> records = recordsAlone(alone);
    ASSERT_FALSE(records.empty());
    kolt::test::TempDir dir;
    const std::string path = dir.path() + "/stderr.txt";
    std::fflush(stderr);
    std::cerr.flush();
    const int saved = ::dup(2);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(saved, 0);
    ASSERT_GE(file, 0);
    ::dup2(file, 2);
    inThreads(kThreads, [&](int) {
        for (int round = 0; round < kRounds; ++round) {
            loadBoth();
        }
    });
    std::cerr.flush();
    ::dup2(saved, 2);
    ::close(saved);
    ::close(file);

    // The output cuts back into records of a load alone.
    const std::string written = kolt::test::readFile(path);
    std::size_t at = 0;
    std::size_t count = 0;
    while (at < written.size()) {
        const auto whole = std::find_if(records.begin(), records.end(), [&](const std::string& r) {
            return written.compare(at, r.size(), r) == 0;
        });
        ASSERT_NE(whole, records.end()) << "interleaved output at byte " << at << ":\n"
                                        << written.substr(at, 400);
        at += whole->size();
        ++count;
    }
    EXPECT_EQ(count, records.size() * kThreads * kRounds);
}

} // namespace
