/// \file
/// Call records: the plain structures held by the lists of calls.
///
/// The manager builds every record, owns it and its texts, and keeps them unchanged until
/// it dies: read them, never free or change them. The library creates records and hands
/// them out; fields added later come at the end (docs/abi.md).
#ifndef KOLTSETTINGS_OPTIONLISTS_RECORDS_H
#define KOLTSETTINGS_OPTIONLISTS_RECORDS_H

#include <cstdint>

/// A method or function, an optional class, and the position of one of its arguments.
/// Texts are heap copies owned by the setting manager; className may be null.
struct CallWithSpecificArg {
    /// The class, entities decoded; null when none was given.
    char* className;
    /// The method or function signature, entities decoded; never null.
    char* methodOrFunctionSign;
    /// The position of the argument, as written in SpecificArg.
    std::int32_t specificArg; // never negative
};

/// A method or function and an optional class (className may be null).
struct Call {
    /// The class, entities decoded; null when none was given.
    char* className;
    /// The method or function signature, entities decoded; never null.
    char* methodOrFunctionSign;
};

/// A method or function, an optional class (may be null) and its framework.
struct CallDeclaration {
    /// The framework, entities decoded; never null.
    char* frameworkName;
    /// The class, entities decoded; null when none was given.
    char* className;
    /// The method or function signature, entities decoded; never null.
    char* methodOrFunctionSign;
};

#endif
