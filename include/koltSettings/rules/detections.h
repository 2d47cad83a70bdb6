// Entity-detection rules: a named class, interface, method or word whose listed uses
// the checker must report, with an optional replacement name.
#ifndef KOLTSETTINGS_RULES_DETECTIONS_H
#define KOLTSETTINGS_RULES_DETECTIONS_H

#include <koltSettings/export.h>
#include <koltSettings/host/foundation.h>

namespace kolt::detail {
struct RuleStorage; // builds the manager's rules in its own storage
}

// Base of the four detection kinds. Holds copies of the entity's name and of the
// replacement name, and the prohibited uses, which only the kind's permitted uses enter.
class KOLT_API koltEntityDetection {
public:
    // Copies both texts; a null text leaves its field null.
    koltEntityDetection(const char* name, const char* replacement);
    koltEntityDetection(const koltEntityDetection&) = delete;
    koltEntityDetection& operator=(const koltEntityDetection&) = delete;
    virtual ~koltEntityDetection();

    // The kind's fixed name ("ClassDetection", "InterfaceDetection", "MethodDetection",
    // "koltWordDetection").
    virtual const char* getDetectionType() const = 0;
    // 1 when `use` is one of the use names the kind permits, else 0.
    [[nodiscard]] virtual int isAUse(const char* use) const = 0;
    // Prints the rule on rzStdout.
    virtual void display() const;
    // Prints each prohibited use followed by " - " on rzStdout, without a line end.
    virtual void displayUsesToDetect() const;

    // Adds a prohibited use: -1 when null, empty or not permitted for the kind (or when
    // memory ran out: nothing is added), 1 when already there, 0 when added.
    [[nodiscard]] int addUse(const char* use) noexcept;
    // -1 for a null or empty use, 1 when the use is prohibited, else 0.
    [[nodiscard]] int isUseToDetect(const char* use) const noexcept;

    const char* getName() const noexcept { return _name; }
    // Null when the rule has no replacement.
    const char* getReplacementName() const noexcept { return _replacementName; }
    // The prohibited uses in insertion order (values are null).
    const TAIndex& usesToDetect() const noexcept { return _usesToDetect; }

protected:
    TAIndex _usesToDetect;
    char* _replacementName;
    char* _name;

private:
    friend struct kolt::detail::RuleStorage;
};

// A class whose listed uses are prohibited.
class KOLT_API koltClassDetection : public koltEntityDetection {
public:
    koltClassDetection(const char* name, const char* replacement) : koltEntityDetection(name, replacement) {}
    ~koltClassDetection() override;
    const char* getDetectionType() const override;
    [[nodiscard]] int isAUse(const char* use) const override;

    // Fills _classUses on the first call, whatever `force`; later calls refill it only
    // when `force` is exactly 1. Safe to call from several threads at once.
    static void initPossibleClassUses(int force) noexcept;

    static TAIndex _classUses;
    static int _isClassUsesInitDone;
};

// An interface whose listed uses are prohibited.
class KOLT_API koltInterfaceDetection : public koltEntityDetection {
public:
    koltInterfaceDetection(const char* name, const char* replacement)
        : koltEntityDetection(name, replacement) {}
    ~koltInterfaceDetection() override;
    const char* getDetectionType() const override;
    [[nodiscard]] int isAUse(const char* use) const override;

    // As koltClassDetection::initPossibleClassUses, for _interfaceUses.
    static void initPossibleInterfaceUses(int force) noexcept;

    static TAIndex _interfaceUses;
    static int _isInterfaceUsesInitDone;
};

// A word (an identifier) whose listed uses are prohibited. No use is permitted for
// words, so a word rule never holds a prohibited use.
class KOLT_API koltWordDetection : public koltEntityDetection {
public:
    koltWordDetection(const char* name, const char* replacement) : koltEntityDetection(name, replacement) {}
    ~koltWordDetection() override;
    const char* getDetectionType() const override;
    [[nodiscard]] int isAUse(const char* use) const override;

    // Empties _wordUses (nothing is permitted for words) and sets the done flag, under
    // the same `force` rule as the other kinds.
    static void initPossibleClassUses(int force) noexcept;

    static TAIndex _wordUses;
    static int _isWordUsesInitDone;
};

// A method of one class, a method of that name in every class ("RootClass"), or a free
// function (no class name), optionally with an argument count (-1: none given).
class KOLT_API koltMethodDetection : public koltEntityDetection {
public:
    // The rule keeps its own copy of `className`; "RootClass" selects every class, and a
    // null or empty class name a free function.
    koltMethodDetection(const char* name, const char* className, int argCount, const char* replacement);
    ~koltMethodDetection() override;
    const char* getDetectionType() const override;
    [[nodiscard]] int isAUse(const char* use) const override;

    // Null for a free function and for a rule on every class.
    const char* getClassName() const noexcept { return _className; }
    int getArgCount() const noexcept { return _argCount; }
    int isAAllClassMethodDetection() const noexcept { return _isAllClassMethodDetection; }
    int isAFunction() const noexcept { return _className == nullptr && _isAllClassMethodDetection == 0; }

    // Always empty: no use is permitted for methods.
    static TAIndex _methodUses;

private:
    char* _className;
    int _argCount;
    int _isAllClassMethodDetection;
};

#endif
