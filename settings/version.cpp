// The library's own version, for programs that may run with a later library than the one
// they were built against.
#include <koltSettings/version.h>

const char* koltVersion() noexcept {
    return KOLT_VERSION_STRING;
}
