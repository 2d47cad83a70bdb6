// Call records: the plain structures held by the lists of calls.
#ifndef KOLTSETTINGS_OPTIONLISTS_RECORDS_H
#define KOLTSETTINGS_OPTIONLISTS_RECORDS_H

#include <cstdint>

// A method or function, an optional class, and the position of one of its arguments.
// Texts are heap copies owned by the setting manager; className may be null.
struct CallWithSpecificArg {
    char* className;
    char* methodOrFunctionSign;
    std::int32_t specificArg; // never negative
};

// A method or function and an optional class (className may be null).
struct Call {
    char* className;
    char* methodOrFunctionSign;
};

// A method or function, an optional class (may be null) and its framework.
struct CallDeclaration {
    char* frameworkName;
    char* className;
    char* methodOrFunctionSign;
};

#endif
