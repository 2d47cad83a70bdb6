/// \file
/// Entity-detection rules: a named class, interface, method or word whose listed uses
/// the checker must report, with an optional replacement name.
///
/// Rules the manager builds belong to it: never delete them. A rule built by other code
/// belongs to that code. Queries on a rule change nothing and may run in several threads
/// at once; addUse() must not run while another thread uses the same rule.
#ifndef KOLTSETTINGS_RULES_DETECTIONS_H
#define KOLTSETTINGS_RULES_DETECTIONS_H

#include <koltSettings/export.h>
#include <koltSettings/host/foundation.h>

namespace kolt::detail {
struct RuleStorage; // builds the manager's rules in its own storage
}

/// Base of the four detection kinds. Holds copies of the entity's name and of the
/// replacement name, and the prohibited uses, which only the kind's permitted uses enter.
class KOLT_API koltEntityDetection {
public:
    /// Copies both texts; a null text leaves its field null.
    koltEntityDetection(const char* name, const char* replacement);
    /// \name No copies
    //@{
    /// A rule is referred to by address from the lists that hold it.
    koltEntityDetection(const koltEntityDetection&) = delete;
    koltEntityDetection& operator=(const koltEntityDetection&) = delete;
    //@}
    /// Releases the texts and the prohibited uses.
    virtual ~koltEntityDetection();

    /// The kind's fixed name ("ClassDetection", "InterfaceDetection", "MethodDetection",
    /// "koltWordDetection"); static storage, never null.
    virtual const char* getDetectionType() const = 0;
    /// 1 when `use` is one of the use names the kind permits, else 0 (also for null).
    [[nodiscard]] virtual int isAUse(const char* use) const = 0;
    /// Prints the rule on rzStdout.
    virtual void display() const;
    /// Prints each prohibited use followed by " - " on rzStdout, without a line end.
    virtual void displayUsesToDetect() const;

    /// Adds a prohibited use: -1 when null, empty or not permitted for the kind (or when
    /// memory ran out: nothing is added), 1 when already there, 0 when added.
    [[nodiscard]] int addUse(const char* use) noexcept;
    /// -1 for a null or empty use, 1 when the use is prohibited, else 0.
    [[nodiscard]] int isUseToDetect(const char* use) const noexcept;

    /// The entity's name, owned by the rule; null when it was built with none (the
    /// manager never builds such a rule).
    const char* getName() const noexcept { return _name; }
    /// The replacement name, owned by the rule; null when the rule has none.
    const char* getReplacementName() const noexcept { return _replacementName; }
    /// The prohibited uses in insertion order (values are null).
    const TAIndex& usesToDetect() const noexcept { return _usesToDetect; }

protected:
    /// The prohibited uses, by name, in insertion order; values are null.
    TAIndex _usesToDetect;
    /// Copy of the replacement name, or null; released by the rule.
    char* _replacementName;
    /// Copy of the entity's name, or null; released by the rule.
    char* _name;

private:
    friend struct kolt::detail::RuleStorage;
};

/// A class whose listed uses are prohibited.
class KOLT_API koltClassDetection : public koltEntityDetection {
public:
    /// A rule on the class `name`, with an optional replacement (null: none).
    koltClassDetection(const char* name, const char* replacement) : koltEntityDetection(name, replacement) {}
    /// Releases the rule's texts.
    ~koltClassDetection() override;
    /// "ClassDetection".
    const char* getDetectionType() const override;
    /// 1 for a use name in _classUses, else 0 (also for null). The table is empty until
    /// initPossibleClassUses() or a load fills it.
    [[nodiscard]] int isAUse(const char* use) const override;

    /// Fills _classUses on the first call, whatever `force`; later calls refill it only
    /// when `force` is exactly 1. Safe to call from several threads at once. When memory
    /// runs out, the table is left empty (permitting nothing) for a later call to fill.
    static void initPossibleClassUses(int force) noexcept;

    /// The use names classes permit, filled by initPossibleClassUses(). Change it only
    /// while no thread loads.
    static TAIndex _classUses;
    /// 1 once _classUses was filled, else 0.
    static int _isClassUsesInitDone;
};

/// An interface whose listed uses are prohibited.
class KOLT_API koltInterfaceDetection : public koltEntityDetection {
public:
    /// A rule on the interface `name`, with an optional replacement (null: none).
    koltInterfaceDetection(const char* name, const char* replacement)
        : koltEntityDetection(name, replacement) {}
    /// Releases the rule's texts.
    ~koltInterfaceDetection() override;
    /// "InterfaceDetection".
    const char* getDetectionType() const override;
    /// 1 for a use name in _interfaceUses, else 0 (also for null). The table is empty
    /// until initPossibleInterfaceUses() or a load fills it.
    [[nodiscard]] int isAUse(const char* use) const override;

    /// As koltClassDetection::initPossibleClassUses, for _interfaceUses.
    static void initPossibleInterfaceUses(int force) noexcept;

    /// The use names interfaces permit, filled by initPossibleInterfaceUses(). Change it
    /// only while no thread loads.
    static TAIndex _interfaceUses;
    /// 1 once _interfaceUses was filled, else 0.
    static int _isInterfaceUsesInitDone;
};

/// A word (an identifier) whose listed uses are prohibited. No use is permitted for
/// words, so a word rule never holds a prohibited use.
class KOLT_API koltWordDetection : public koltEntityDetection {
public:
    /// A rule on the word `name`, with an optional replacement (null: none).
    koltWordDetection(const char* name, const char* replacement) : koltEntityDetection(name, replacement) {}
    /// Releases the rule's texts.
    ~koltWordDetection() override;
    /// "koltWordDetection".
    const char* getDetectionType() const override;
    /// Always 0: words permit no use.
    [[nodiscard]] int isAUse(const char* use) const override;

    /// Empties _wordUses (nothing is permitted for words) and sets the done flag, under
    /// the same `force` rule as the other kinds.
    static void initPossibleClassUses(int force) noexcept;

    /// Always empty: words permit no use.
    static TAIndex _wordUses;
    /// 1 once _wordUses was initialised, else 0.
    static int _isWordUsesInitDone;
};

/// A method of one class, a method of that name in every class ("RootClass"), or a free
/// function (no class name), optionally with an argument count (-1: none given).
class KOLT_API koltMethodDetection : public koltEntityDetection {
public:
    /// The rule keeps its own copy of `className`; "RootClass" selects every class, and a
    /// null or empty class name a free function.
    koltMethodDetection(const char* name, const char* className, int argCount, const char* replacement);
    /// Releases the rule's texts.
    ~koltMethodDetection() override;
    /// "MethodDetection".
    const char* getDetectionType() const override;
    /// Always 0: methods permit no use.
    [[nodiscard]] int isAUse(const char* use) const override;

    /// The class, owned by the rule; null for a free function and for a rule on every class.
    const char* getClassName() const noexcept { return _className; }
    /// The argument count given, or -1 when none was.
    int getArgCount() const noexcept { return _argCount; }
    /// 1 for a rule on a method of that name in every class ("RootClass"), else 0.
    int isAAllClassMethodDetection() const noexcept { return _isAllClassMethodDetection; }
    /// 1 for a rule on a free function (no class name), else 0.
    int isAFunction() const noexcept { return _className == nullptr && _isAllClassMethodDetection == 0; }

    /// Always empty: no use is permitted for methods.
    static TAIndex _methodUses;

private:
    char* _className;
    int _argCount;
    int _isAllClassMethodDetection;
};

#endif
