// Entity-detection rules and their process-wide tables of permitted uses.
#include <koltSettings/host/streams.h>
#include <koltSettings/rules/detections.h>

#include "../host/text.h"
#include "use_tables.h"

#include <mutex>

namespace {

// Serialises the filling of the permitted-use tables; the done flags are read with
// acquire and written with release so that a thread seeing a flag set sees the table.
std::mutex& useTablesMutex() {
    static std::mutex mutex;
    return mutex;
}

int loadFlag(const int& flag) noexcept {
    return __atomic_load_n(&flag, __ATOMIC_ACQUIRE);
}

// True when `table` holds exactly `names`, in order.
template <std::size_t N>
bool holdsExactly(const TAIndex& table, const char* const (&names)[N]) noexcept {
    int pos = 0;
    for (const char* name : names) {
        if (name && !kolt::detail::sameText(table.GetName(pos++), name)) {
            return false;
        }
    }
    return table.Size() == pos;
}

// Empties `table`, appends `names` and sets `done`: on the first call whatever `force`,
// afterwards only when `force` is exactly 1. When memory runs out, the table is left
// empty and not done, and std::bad_alloc goes on.
template <std::size_t N>
void fillUseTable(TAIndex& table, int& done, int force, const char* const (&names)[N]) {
    if (loadFlag(done) != 0 && force != 1) {
        return;
    }
    std::lock_guard<std::mutex> lock(useTablesMutex());
    if (__atomic_load_n(&done, __ATOMIC_RELAXED) != 0 && force != 1) {
        return; // filled by another thread meanwhile
    }
    // A refill that would give the same table leaves it untouched, so that forcing it
    // while other threads read it (loading) is no data race.
    if (!holdsExactly(table, names)) {
        table.Reset();
        try {
            for (const char* name : names) {
                if (name) {
                    table.Append(name, nullptr);
                }
            }
        } catch (const std::bad_alloc&) {
            table.Reset();
            __atomic_store_n(&done, 0, __ATOMIC_RELEASE);
            throw;
        }
    }
    __atomic_store_n(&done, 1, __ATOMIC_RELEASE);
}

// The kinds of rule that permit uses, as the Permitted column of uses.def names them.
enum : unsigned { Class = 1, Interface = 2 };

// The permitted-use tables in the order of the rows; a use of the other kind only is a
// null entry, which filling skips.
constexpr const char* kClassUses[] = {
#define KOLT_USE(Id, Name, Permitted, About) ((Permitted)&Class) != 0 ? Name : nullptr,
#include "uses.def"
};
constexpr const char* kInterfaceUses[] = {
#define KOLT_USE(Id, Name, Permitted, About) ((Permitted)&Interface) != 0 ? Name : nullptr,
#include "uses.def"
};
constexpr const char* kNoUses[] = {nullptr}; // words permit no use

#define KOLT_RULE_VALUE(Id, Name, About) constexpr char k##Id[] = Name;
#include "uses.def"

int isKey(const TAIndex& table, const char* use) noexcept {
    return table.IsIn(use) >= 0 ? 1 : 0;
}

// The public initialisers never throw: a table that memory did not suffice for is filled
// by a later call, and until then permits nothing.
template <class Fill>
void withoutThrowing(Fill fill) noexcept {
    try {
        fill();
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

void kolt::detail::fillClassUses() {
    fillUseTable(koltClassDetection::_classUses, koltClassDetection::_isClassUsesInitDone, 0, kClassUses);
}

void kolt::detail::fillInterfaceUses() {
    fillUseTable(koltInterfaceDetection::_interfaceUses, koltInterfaceDetection::_isInterfaceUsesInitDone, 0,
                 kInterfaceUses);
}

// ---------------------------------------------------------------------------------------

koltEntityDetection::koltEntityDetection(const char* name, const char* replacement)
    : _replacementName(kolt::detail::copyText(replacement)), _name(nullptr) {
    try {
        _name = kolt::detail::copyText(name);
    } catch (...) {
        kolt::detail::freeText(_replacementName);
        throw;
    }
}

koltEntityDetection::~koltEntityDetection() {
    kolt::detail::freeText(_name);
    kolt::detail::freeText(_replacementName);
    // Values stored by addUse are null; nothing else is owned through the index.
}

int koltEntityDetection::addUse(const char* use) noexcept {
    if (kolt::detail::isEmpty(use) || !isAUse(use)) {
        return -1;
    }
    if (_usesToDetect.IsIn(use) >= 0) {
        return 1;
    }
    try {
        _usesToDetect.Append(use, nullptr);
    } catch (const std::bad_alloc&) {
        return -1; // not added
    }
    return 0;
}

[[gnu::flatten]] int koltEntityDetection::isUseToDetect(const char* use) const noexcept {
    if (kolt::detail::isEmpty(use)) {
        return -1;
    }
    return _usesToDetect.IsIn(use) >= 0 ? 1 : 0;
}

void koltEntityDetection::display() const {
    rzStdout << "------ Affichage d'entityDetection ------" << endl;
    rzStdout << "\t\tNom : " << getName() << endl;
    if (_replacementName) {
        rzStdout << "\t\tA remplacer par : " << getReplacementName() << endl;
    }
    rzStdout << "\t\tUtilisations prohibees : ";
    displayUsesToDetect();
    rzStdout << endl;
    rzStdout << "-----------------------------------------" << endl;
}

void koltEntityDetection::displayUsesToDetect() const {
    for (int i = 0; i < _usesToDetect.Size(); ++i) {
        rzStdout << _usesToDetect.GetName(i) << " - ";
    }
}

// ---------------------------------------------------------------------------------------

TAIndex koltClassDetection::_classUses;
int koltClassDetection::_isClassUsesInitDone = 0;

koltClassDetection::~koltClassDetection() = default;

const char* koltClassDetection::getDetectionType() const {
    return "ClassDetection";
}

int koltClassDetection::isAUse(const char* use) const {
    return isKey(_classUses, use);
}

void koltClassDetection::initPossibleClassUses(int force) noexcept {
    withoutThrowing([force] { fillUseTable(_classUses, _isClassUsesInitDone, force, kClassUses); });
}

TAIndex koltInterfaceDetection::_interfaceUses;
int koltInterfaceDetection::_isInterfaceUsesInitDone = 0;

koltInterfaceDetection::~koltInterfaceDetection() = default;

const char* koltInterfaceDetection::getDetectionType() const {
    return "InterfaceDetection";
}

int koltInterfaceDetection::isAUse(const char* use) const {
    return isKey(_interfaceUses, use);
}

void koltInterfaceDetection::initPossibleInterfaceUses(int force) noexcept {
    withoutThrowing(
        [force] { fillUseTable(_interfaceUses, _isInterfaceUsesInitDone, force, kInterfaceUses); });
}

TAIndex koltWordDetection::_wordUses;
int koltWordDetection::_isWordUsesInitDone = 0;

koltWordDetection::~koltWordDetection() = default;

const char* koltWordDetection::getDetectionType() const {
    return "koltWordDetection";
}

int koltWordDetection::isAUse(const char* use) const {
    return isKey(_wordUses, use);
}

void koltWordDetection::initPossibleClassUses(int force) noexcept {
    withoutThrowing([force] { fillUseTable(_wordUses, _isWordUsesInitDone, force, kNoUses); });
}

// ---------------------------------------------------------------------------------------

TAIndex koltMethodDetection::_methodUses;

koltMethodDetection::koltMethodDetection(const char* name, const char* className, int argCount,
                                         const char* replacement)
    : koltEntityDetection(name, replacement), _className(nullptr), _argCount(argCount),
      _isAllClassMethodDetection(0) {
    if (kolt::detail::sameText(className, kRootClass)) {
        _isAllClassMethodDetection = 1;
    } else if (!kolt::detail::isEmpty(className)) {
        _className = kolt::detail::copyText(className);
    }
}

koltMethodDetection::~koltMethodDetection() {
    kolt::detail::freeText(_className);
}

const char* koltMethodDetection::getDetectionType() const {
    return "MethodDetection";
}

int koltMethodDetection::isAUse(const char* use) const {
    return isKey(_methodUses, use);
}
