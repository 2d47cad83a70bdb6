// Managers loading in several threads at once: the same results as alone, diagnostics
// that stay whole, and permitted-use tables filled once whoever comes first. Built with
// ThreadSanitizer in CI; here each thread owns its manager, as the checker's would.
#include "support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
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

// Keeps each write it receives as one chunk, whatever thread it comes from.
class ChunkRecorder : public std::streambuf {
public:
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(_mutex);
        return std::move(_chunks);
    }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard<std::mutex> lock(_mutex);
        _chunks.emplace_back(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            std::lock_guard<std::mutex> lock(_mutex);
            _chunks.emplace_back(1, traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }

private:
    std::mutex _mutex;
    std::vector<std::string> _chunks;
};

struct Recorder : koltDiagnosticObserver {
    std::string seen;
    void onDiagnostic(const koltDiagnostic& d) override {
        seen += std::string(d.codeName) + ' ' + d.elementPath + '\n';
    }
};

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
    Recorder recorder;
    m.setDiagnosticObserver(&recorder);
    Outcome o;
    o.results.push_back(m.loadFromXmlFile(kExample.c_str()));
    o.results.push_back(m.loadFromXmlMemory(kRules.data(), kRules.size(), "rules.xml"));
    std::ostringstream state;
    koltDumpText(m, state);
    o.state = state.str();
    o.observed = recorder.seen;
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

void expectEveryOutcomeIs(const std::vector<std::vector<Outcome>>& outcomes, const Outcome& alone) {
    for (const auto& perThread : outcomes) {
        for (const Outcome& o : perThread) {
            EXPECT_TRUE(o == alone) << o.state << o.observed;
        }
    }
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// First in this binary on purpose: the threads race to fill the permitted-use tables.
TEST(Concurrency, ManagersLoadingAtOnceGetWhatTheyGetAlone) {
    const bool firstFill = koltClassDetection::_isClassUsesInitDone == 0;
    ChunkRecorder chunks;
    std::ostream sink(&chunks);
    std::vector<std::vector<Outcome>> outcomes(kThreads);
    {
        // Redirection is not synchronised: it is set before the threads start.
        rzStreamRedirect err(rzStderr, sink);
        inThreads(kThreads, [&](int t) {
            for (int round = 0; round < kRounds; ++round) {
                outcomes[t].push_back(loadBoth());
            }
        });
    }
    const std::vector<std::string> concurrent = chunks.take();

    Outcome alone;
    std::vector<std::string> aloneChunks;
    {
        rzStreamRedirect err(rzStderr, sink);
        alone = loadBoth();
        aloneChunks = chunks.take();
    }
    EXPECT_EQ(alone.results, (std::vector<int>{0, 1}));
    EXPECT_NE(alone.state.find("uses New\n"), std::string::npos) << "the class table was filled";
    EXPECT_NE(alone.state.find("uses TIE\n"), std::string::npos) << "the interface table was filled";
    expectEveryOutcomeIs(outcomes, alone);
    // Every record arrives in one write: the writes seen are those of a load alone,
    // kThreads * kRounds times each.
    std::vector<std::string> expected;
    for (int i = 0; i < kThreads * kRounds; ++i) {
        expected.insert(expected.end(), aloneChunks.begin(), aloneChunks.end());
    }
    EXPECT_EQ(sorted(concurrent), sorted(expected));
    EXPECT_EQ(koltClassDetection::_classUses.Size(), 7);
    EXPECT_EQ(koltInterfaceDetection::_interfaceUses.Size(), 7);
    if (!firstFill) {
        std::printf("the use tables were filled before the threads started\n");
    }
}

// Refilling the tables (force 1) leaves them as they are when they already hold the
// permitted uses, so it may run while other threads load.
TEST(Concurrency, InitialisersMayRunWhileManagersLoad) {
    const Outcome alone = [] {
        ChunkRecorder chunks;
        std::ostream sink(&chunks);
        rzStreamRedirect err(rzStderr, sink);
        return loadBoth();
    }();
    ChunkRecorder chunks;
    std::ostream sink(&chunks);
    std::vector<std::vector<Outcome>> outcomes(kThreads);
    {
        rzStreamRedirect err(rzStderr, sink);
        inThreads(kThreads, [&](int t) {
            for (int round = 0; round < kRounds; ++round) {
                if (t == 0) {
                    for (int force : {1, 0, 2, -1}) {
                        koltClassDetection::initPossibleClassUses(force);
                        koltInterfaceDetection::initPossibleInterfaceUses(force);
                        koltWordDetection::initPossibleClassUses(force);
                    }
                } else {
                    outcomes[t].push_back(loadBoth());
                }
            }
        });
    }
    expectEveryOutcomeIs(outcomes, alone);
}

// With rzStderr on the process's standard error (the default), records of concurrent
// loads do not interleave: each is one write of the C library's locked stream.
TEST(Concurrency, StandardErrorGetsWholeRecords) {
    std::vector<std::string> records;
    {
        ChunkRecorder chunks;
        std::ostream sink(&chunks);
        rzStreamRedirect err(rzStderr, sink);
        loadBoth();
        records = chunks.take();
    }
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

    // Cut the output back into records, each of which must be one of a load alone.
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
