/// \file
/// The modern face of the library, namespace kolt: loads whose result cannot be mistaken
/// for success, lookups by std::string_view, and read-only views of the manager's lists
/// for range-for and the standard algorithms.
///
/// Everything here is inline over the legacy API and copies nothing: a view reads the
/// manager's own storage and stays valid while the manager lives (later loads only add
/// lists and never change one already registered). Views follow the manager's thread rule:
/// one manager, one thread at a time.
#ifndef KOLTSETTINGS_KOLT_H
#define KOLTSETTINGS_KOLT_H

#include <koltSettings/settings/manager.h>

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

/// The modern C++ face of libkoltSettings.
namespace kolt {

namespace detail {

// Calls `f` with a NUL-terminated copy of `text`, the legacy lookups' argument: on the
// stack for the short names settings use, on the heap beyond. A text holding a NUL byte
// names nothing a settings file can register: `none` then.
template <class R, class F>
R withCString(std::string_view text, R none, F&& f) {
    if (text.find('\0') != std::string_view::npos) {
        return none;
    }
    constexpr std::size_t kStackSize = 128;
    if (text.size() < kStackSize) {
        char buffer[kStackSize];
        buffer[text.copy(buffer, text.size())] = '\0';
        return f(static_cast<const char*>(buffer));
    }
    const std::string copy(text);
    return f(copy.c_str());
}

// What a list view yields, per kind of legacy list; positions are the lists' own (from 1).
struct StringAccess {
    using List = GAXListValGAXString;
    using value_type = std::string_view;
    using reference = std::string_view;
    static reference at(const List& list, int pos) noexcept { return list[pos].str(); }
};

template <class T, class L>
struct RecordAccess {
    using List = L;
    using value_type = T;
    using reference = const T&;
    // The manager appends only complete records and rules: never a null element.
    static reference at(const List& list, int pos) noexcept { return *list[pos]; }
};

// operator-> of an iterator whose elements are values made on the fly.
template <class T>
struct ArrowProxy {
    T value;
    const T* operator->() const noexcept { return &value; }
};

} // namespace detail

/// A read-only view of one of the manager's lists: a range of std::string_view for string
/// lists, of const records for call lists, of const rules for detection lists. Positions
/// run from 0 to size() - 1. The view and its iterators copy nothing and stay valid while
/// the manager that owns the list lives. A default-constructed view, like the view of an
/// unknown name, is empty.
template <class Access>
class ListView {
public:
    /// The legacy list viewed.
    using legacy_type = typename Access::List;
    /// std::string_view, or the record or rule type.
    using value_type = typename Access::value_type;
    /// std::string_view (a value), or a const reference to the record or rule.
    using reference = typename Access::reference;
    /// Same as reference: the view is read-only.
    using const_reference = reference;
    /// The type of size() and positions.
    using size_type = std::size_t;
    /// The type of iterator distances.
    using difference_type = std::ptrdiff_t;

    /// A random-access iterator over the list. For records and rules it meets the
    /// requirements of a random-access iterator. For strings, whose elements are
    /// std::string_view values made on the fly, it offers the same operations but is
    /// categorised as an input iterator, the category the C++17 standard gives iterators
    /// that yield values (C++20 code sees a random-access iterator).
    class iterator {
    public:
        /// \name Iterator types
        //@{
        /// As std::iterator_traits reads them.
        using iterator_category =
            std::conditional_t<std::is_reference_v<typename Access::reference>,
                               std::random_access_iterator_tag, std::input_iterator_tag>;
#if __cplusplus >= 202002L
        using iterator_concept = std::random_access_iterator_tag;
#endif
        using value_type = typename Access::value_type;
        using difference_type = std::ptrdiff_t;
        using reference = typename Access::reference;
        using pointer = std::conditional_t<std::is_reference_v<reference>, const value_type*,
                                           detail::ArrowProxy<value_type>>;
        //@}

        /// A singular iterator; value-initialised iterators compare equal.
        iterator() noexcept = default;

        /// \name Element access and iterator arithmetic
        //@{
        /// As for a pointer into an array of the list's elements. Dereferencing is valid
        /// for positions 0 to size() - 1 of the list.
        reference operator*() const noexcept {
            return Access::at(*_list, static_cast<int>(_pos) + 1);
        }
        pointer operator->() const noexcept {
            if constexpr (std::is_reference_v<reference>) {
                return &**this;
            } else {
                return pointer{**this};
            }
        }
        reference operator[](difference_type n) const noexcept {
            return *(*this + n);
        }
        iterator& operator++() noexcept {
            ++_pos;
            return *this;
        }
        iterator operator++(int) noexcept {
            iterator old = *this;
            ++_pos;
            return old;
        }
        iterator& operator--() noexcept {
            --_pos;
            return *this;
        }
        iterator operator--(int) noexcept {
            iterator old = *this;
            --_pos;
            return old;
        }
        iterator& operator+=(difference_type n) noexcept {
            _pos += n;
            return *this;
        }
        iterator& operator-=(difference_type n) noexcept {
            _pos -= n;
            return *this;
        }
        friend iterator operator+(iterator it, difference_type n) noexcept {
            return it += n;
        }
        friend iterator operator+(difference_type n, iterator it) noexcept {
            return it += n;
        }
        friend iterator operator-(iterator it, difference_type n) noexcept {
            return it -= n;
        }
        friend difference_type operator-(const iterator& a, const iterator& b) noexcept {
            return a._pos - b._pos;
        }
        friend bool operator==(const iterator& a, const iterator& b) noexcept {
            return a._pos == b._pos;
        }
        friend bool operator!=(const iterator& a, const iterator& b) noexcept {
            return a._pos != b._pos;
        }
        friend bool operator<(const iterator& a, const iterator& b) noexcept {
            return a._pos < b._pos;
        }
        friend bool operator>(const iterator& a, const iterator& b) noexcept {
            return a._pos > b._pos;
        }
        friend bool operator<=(const iterator& a, const iterator& b) noexcept {
            return a._pos <= b._pos;
        }
        friend bool operator>=(const iterator& a, const iterator& b) noexcept {
            return a._pos >= b._pos;
        }
        //@}

    private:
        friend class ListView;
        iterator(const legacy_type* list, difference_type pos) noexcept : _list(list), _pos(pos) {}

        const legacy_type* _list = nullptr;
        difference_type _pos = 0; // from 0; the legacy list's position is one more
    };
    /// Same as iterator: the view is read-only.
    using const_iterator = iterator;

    /// An empty view.
    ListView() noexcept = default;
    /// A view of `list`, which may be null (an empty view). The list must outlive the view.
    explicit ListView(const legacy_type* list) noexcept : _list(list) {}

    /// The first element.
    iterator begin() const noexcept {
        return iterator(_list, 0);
    }
    /// Past the last element.
    iterator end() const noexcept {
        return iterator(_list, static_cast<difference_type>(size()));
    }
    /// The number of elements; 0 for an empty view.
    size_type size() const noexcept {
        return _list ? static_cast<size_type>(_list->Size()) : 0;
    }
    /// True when there is no element.
    [[nodiscard]] bool empty() const noexcept {
        return size() == 0;
    }
    /// The element at position `pos`, which must be below size().
    reference operator[](size_type pos) const noexcept {
        return begin()[static_cast<difference_type>(pos)];
    }
    /// The first element; the view must not be empty.
    reference front() const noexcept {
        return *begin();
    }
    /// The last element; the view must not be empty.
    reference back() const noexcept {
        return *(end() - 1);
    }
    /// The legacy list viewed, owned by the manager; null for an empty view made without
    /// one (an unknown name). Tells a registered empty list from no list at all.
    const legacy_type* legacy() const noexcept {
        return _list;
    }

private:
    const legacy_type* _list = nullptr;
};

/// A string list: a range of std::string_view over the manager's strings (entities
/// decoded, NUL bytes impossible).
using StringList = ListView<detail::StringAccess>;
/// A list of CallWithSpecificArg records: a range of const CallWithSpecificArg&.
using CallWithSpecificArgList =
    ListView<detail::RecordAccess<CallWithSpecificArg, GAXListPtrCallWithSpecificArg>>;
/// A list of Call records: a range of const Call&.
using CallList = ListView<detail::RecordAccess<Call, GAXListPtrCall>>;
/// A list of CallDeclaration records: a range of const CallDeclaration&.
using CallDeclarationList = ListView<detail::RecordAccess<CallDeclaration, GAXListPtrCallDeclaration>>;
/// A detection list of any kind: a range of const koltEntityDetection&
/// (dynamic_cast to koltMethodDetection for a method's class and argument count).
using DetectionList = ListView<detail::RecordAccess<koltEntityDetection, GAXListPtrkoltEntityDetection>>;

/// `s` as a std::string_view; an empty view for null (a record without a class name).
[[nodiscard]] constexpr std::string_view text(const char* s) noexcept {
    return s ? std::string_view(s) : std::string_view();
}

/// The result of a load, a copy of what the load found: independent of the manager and of
/// later loads. `[[nodiscard]]`: ignoring it is a warning, because a file that is missing
/// or not XML at all does not fail the legacy load (it loads as an empty document).
class [[nodiscard]] LoadResult {
public:
    /// How a load ended (koltLoadReport::Outcome).
    using Outcome = koltLoadReport::Outcome;

    /// A result carrying `report`.
    explicit LoadResult(koltLoadReport report) noexcept : _report(std::move(report)) {}

    /// True when the document was read to its end (outcome Loaded), diagnostics or not;
    /// false for a path that is no file, an unreadable or malformed document, an unknown
    /// top-level element and memory exhaustion.
    [[nodiscard]] bool ok() const noexcept { return _report.outcome == koltLoadReport::Loaded; }
    /// Same as ok().
    explicit operator bool() const noexcept { return ok(); }
    /// True when ok() and no diagnostic was written.
    [[nodiscard]] bool clean() const noexcept { return ok() && _report.total == 0; }
    /// How the load ended.
    [[nodiscard]] Outcome outcome() const noexcept { return _report.outcome; }
    /// The number of diagnostics written on rzStderr.
    [[nodiscard]] int diagnostics() const noexcept { return _report.total; }
    /// The number of diagnostics of one code; 0 for a code the library does not count.
    [[nodiscard]] int count(koltDiagnosticCode code) const noexcept { return _report.counts[code]; }
    /// The parser's description of the failure when the outcome is Malformed, else empty.
    [[nodiscard]] std::string_view parseError() const noexcept { return _report.parseError; }
    /// 1-based line where parsing failed when the outcome is Malformed, else 0.
    [[nodiscard]] int parseErrorLine() const noexcept { return _report.parseErrorLine; }
    /// 1-based byte column where parsing failed when the outcome is Malformed, else 0.
    [[nodiscard]] int parseErrorColumn() const noexcept { return _report.parseErrorColumn; }
    /// The whole report.
    [[nodiscard]] const koltLoadReport& report() const noexcept { return _report; }

private:
    koltLoadReport _report;
};

/// Loads the settings file at `path` into `manager` (koltSettingManager::loadFromXmlFile:
/// diagnostics go to rzStderr and the observer, and what is read adds to what the manager
/// holds). A path holding a NUL byte names no file: NotAFile, and the manager is left alone.
[[nodiscard]] inline LoadResult load(koltSettingManager& manager, std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        koltLoadReport report;
        report.outcome = koltLoadReport::NotAFile;
        return LoadResult(std::move(report));
    }
    manager.loadFromXmlFile(std::string(path).c_str());
    return LoadResult(manager.lastLoadReport());
}

/// Loads a settings document held in memory into `manager`
/// (koltSettingManager::loadFromXmlMemory; `data` is copied). `documentName` stands for
/// the path in diagnostics, up to its first NUL byte if it holds one.
[[nodiscard]] inline LoadResult loadMemory(koltSettingManager& manager, std::string_view data,
                                           std::string_view documentName) {
    manager.loadFromXmlMemory(data.data(), data.size(), std::string(documentName).c_str());
    return LoadResult(manager.lastLoadReport());
}

/// A read-only view of a manager: its lists by name as ListView ranges, its reports and
/// run settings as bool. Copying a view is cheap; it stays valid while the manager lives.
/// An unknown, empty or NUL-holding name gives an empty list and an inactive report;
/// names of 128 bytes or more cost one heap copy per lookup, shorter ones none.
class SettingsView {
public:
    /// A view of nothing: every list is empty, every report inactive.
    SettingsView() noexcept = default;
    /// A view of `manager`, which must outlive the view and its lists.
    explicit SettingsView(const koltSettingManager& manager) noexcept : _manager(&manager) {}

    /// The string list registered under `name`, e.g. strings("Macro2Expand").
    [[nodiscard]] StringList strings(std::string_view name) const {
        return find<StringList>(name, &koltSettingManager::getGAXListOfGAXString);
    }
    /// The CallWithSpecificArg list registered under `name`.
    [[nodiscard]] CallWithSpecificArgList callsWithSpecificArg(std::string_view name) const {
        return find<CallWithSpecificArgList>(name, &koltSettingManager::getGAXListOfCallWithSpecificArg);
    }
    /// The Call list registered under `name`, e.g. calls("ProhibitedCalls").
    [[nodiscard]] CallList calls(std::string_view name) const {
        return find<CallList>(name, &koltSettingManager::getGAXListOfCall);
    }
    /// The CallDeclaration list registered under `name`.
    [[nodiscard]] CallDeclarationList callDeclarations(std::string_view name) const {
        return find<CallDeclarationList>(name, &koltSettingManager::getGAXListOfCallDeclaration);
    }
    /// The detection list registered under `name`, whatever its kind.
    [[nodiscard]] DetectionList detections(std::string_view name) const {
        return find<DetectionList>(name, &koltSettingManager::getGAXListOfEntityDetection);
    }
    /// True when a Report of this name was activated.
    [[nodiscard]] bool reportActive(std::string_view name) const {
        return _manager &&
               detail::withCString(name, false, [this](const char* n) { return _manager->report(n) == 1; });
    }
    /// True once a RunType element set TypeOfRun="Check".
    [[nodiscard]] bool checkRun() const noexcept { return _manager && _manager->_typeOfRun == 0; }
    /// True once a RunType element set ReportTestFw="true".
    [[nodiscard]] bool reportTestFramework() const noexcept {
        return _manager && _manager->_reportTestFw == 1;
    }

private:
    template <class View, class Query>
    View find(std::string_view name, Query query) const {
        if (!_manager) {
            return View();
        }
        using List = const typename View::legacy_type*;
        return View(detail::withCString(
            name, List(), [this, query](const char* n) -> List { return (_manager->*query)(n); }));
    }

    const koltSettingManager* _manager = nullptr;
};

/// Settings owning their manager: load with a result that must be checked, then read
/// through the SettingsView queries. Views and lists stay valid while the Settings lives
/// (and after a move, while the Settings moved to lives). Not copyable.
///
/// \code
/// kolt::Settings settings;
/// if (const kolt::LoadResult result = settings.load(path); !result) { ... }
/// for (std::string_view macro : settings.strings("Macro2Expand")) { ... }
/// for (const Call& call : settings.calls("ProhibitedCalls")) { ... }
/// \endcode
class Settings : public SettingsView {
public:
    /// Settings with an empty manager.
    Settings() : Settings(std::make_unique<koltSettingManager>()) {}
    /// Takes over the manager of `other`, which is left viewing nothing: only assigning
    /// to it or destroying it is then allowed.
    Settings(Settings&& other) noexcept : SettingsView(other), _manager(std::move(other._manager)) {
        static_cast<SettingsView&>(other) = SettingsView();
    }
    /// Releases this manager and takes over that of `other` (left as after a move).
    Settings& operator=(Settings&& other) noexcept {
        if (this != &other) {
            SettingsView::operator=(other);
            _manager = std::move(other._manager);
            static_cast<SettingsView&>(other) = SettingsView();
        }
        return *this;
    }
    /// \name No copies
    //@{
    /// A manager has one owner.
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    //@}
    /// Releases the manager and everything it built.
    ~Settings() = default;

    /// Loads the settings file at `path`, adding to what earlier loads read (kolt::load()).
    [[nodiscard]] LoadResult load(std::string_view path) { return kolt::load(*_manager, path); }
    /// Loads a settings document held in memory (kolt::loadMemory()).
    [[nodiscard]] LoadResult loadMemory(std::string_view data, std::string_view documentName) {
        return kolt::loadMemory(*_manager, data, documentName);
    }

    /// The manager, for the legacy API (an observer, the registries).
    koltSettingManager& manager() noexcept { return *_manager; }
    /// The manager, read-only.
    const koltSettingManager& manager() const noexcept { return *_manager; }

private:
    explicit Settings(std::unique_ptr<koltSettingManager> manager) noexcept
        : SettingsView(*manager), _manager(std::move(manager)) {}

    std::unique_ptr<koltSettingManager> _manager;
};

} // namespace kolt

#endif
