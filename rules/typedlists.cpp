// Typed pointer lists. Out-of-line destructors anchor each list's vtable in the library.
#include <koltSettings/rules/typedlists.h>

GAXListPtrkoltEntityDetection::~GAXListPtrkoltEntityDetection() = default;
GAXListPtrkoltClassDetection::~GAXListPtrkoltClassDetection() = default;
GAXListPtrkoltInterfaceDetection::~GAXListPtrkoltInterfaceDetection() = default;
GAXListPtrkoltMethodDetection::~GAXListPtrkoltMethodDetection() = default;
GAXListPtrkoltWordDetection::~GAXListPtrkoltWordDetection() = default;
GAXListPtrCallWithSpecificArg::~GAXListPtrCallWithSpecificArg() = default;
GAXListPtrCall::~GAXListPtrCall() = default;
GAXListPtrCallDeclaration::~GAXListPtrCallDeclaration() = default;
