// koltSettingManager: construction, destruction and the checker's queries.
#include "../host/text.h"
#include "load_state.h"
#include "rule_storage.h"

namespace {

template <class List>
List* lookUp(const TAIndex& registry, const char* name) noexcept {
    if (kolt::detail::isEmpty(name)) {
        return nullptr;
    }
    const int pos = registry.IsIn(name);
    return pos < 0 ? nullptr : static_cast<List*>(registry.GetValue(pos));
}

// Deletes the lists of a call-record registry. Their records and texts are in the
// manager's arena, released with it.
template <class List>
void releaseLists(const TAIndex& registry) {
    for (int i = 0; i < registry.Size(); ++i) {
        delete static_cast<List*>(registry.GetValue(i));
    }
}

} // namespace

koltSettingManager::koltSettingManager()
    : _typeOfRun(3), _reportTestFw(0), _state(std::make_unique<LoadState>()) {}

koltSettingManager::~koltSettingManager() {
    for (int i = 0; i < _stringLists.Size(); ++i) {
        delete static_cast<GAXListValGAXString*>(_stringLists.GetValue(i));
    }
    releaseLists<GAXListPtrCallWithSpecificArg>(_callWithSpecificArgLists);
    releaseLists<GAXListPtrCall>(_callLists);
    releaseLists<GAXListPtrCallDeclaration>(_callDeclarationLists);
    for (int i = 0; i < _entityDetectionLists.Size(); ++i) {
        auto* list = static_cast<GAXListPtrkoltEntityDetection*>(_entityDetectionLists.GetValue(i));
        if (!list) {
            continue;
        }
        for (int pos = 1; pos <= list->Size(); ++pos) {
            kolt::detail::RuleStorage::end((*list)[pos]); // the object is in the arena
        }
        delete list;
    }
}

// The queries are flattened: the whole lookup, TAIndex::IsIn included, runs in one
// function, with strlen as its only call. They are the checker's inner loop.
[[gnu::flatten]] GAXListValGAXString*
koltSettingManager::getGAXListOfGAXString(const char* name) const noexcept {
    return lookUp<GAXListValGAXString>(_stringLists, name);
}

[[gnu::flatten]] GAXListPtrCallWithSpecificArg*
koltSettingManager::getGAXListOfCallWithSpecificArg(const char* name) const noexcept {
    return lookUp<GAXListPtrCallWithSpecificArg>(_callWithSpecificArgLists, name);
}

[[gnu::flatten]] GAXListPtrCall* koltSettingManager::getGAXListOfCall(const char* name) const noexcept {
    return lookUp<GAXListPtrCall>(_callLists, name);
}

[[gnu::flatten]] GAXListPtrCallDeclaration*
koltSettingManager::getGAXListOfCallDeclaration(const char* name) const noexcept {
    return lookUp<GAXListPtrCallDeclaration>(_callDeclarationLists, name);
}

[[gnu::flatten]] GAXListPtrkoltEntityDetection*
koltSettingManager::getGAXListOfEntityDetection(const char* name) const noexcept {
    // Detection lists of every kind are registered as GAXListPtrkoltEntityDetection*.
    return lookUp<GAXListPtrkoltEntityDetection>(_entityDetectionLists, name);
}

char* koltSettingManager::substituteEntities(char* text) noexcept {
    return kolt::detail::decodeEntities(text);
}

[[gnu::flatten]] int koltSettingManager::report(const char* name) const noexcept {
    return !kolt::detail::isEmpty(name) && _activeReports.IsIn(name) >= 0 ? 1 : 0;
}

void koltSettingManager::setDiagnosticObserver(koltDiagnosticObserver* observer) noexcept {
    _state->observer = observer;
}

void koltSettingManager::setRegistrationObserver(koltRegistrationObserver* observer) noexcept {
    _state->registrations = observer;
}

const koltLoadReport& koltSettingManager::lastLoadReport() const noexcept {
    return _state->report;
}
