/// \file
/// Typed pointer lists: typed faces over GAXRawCollPV that never own their elements.
///
/// The lists the manager hands out are its own, as are their elements: read them, never
/// delete them. kolt::CallList and its kin read them with range-for and positions from 0.
#ifndef KOLTSETTINGS_RULES_TYPEDLISTS_H
#define KOLTSETTINGS_RULES_TYPEDLISTS_H

#include <koltSettings/export.h>
#include <koltSettings/host/foundation.h>
#include <koltSettings/optionlists/records.h>
#include <koltSettings/rules/detections.h>

/// A list of T* stored as Stored* (a base of T), over the collection Base. Positions run
/// from 1 to Size(); copying shares the element pointers; destruction leaves them alone.
template <class T, class Stored = T, class Base = GAXRawCollPV>
class GAXListPtrOf : public Base {
public:
    /// An empty list; `reserve` is a capacity hint (0 or less: none).
    explicit GAXListPtrOf(int reserve = 0) : Base(reserve) {}

    /// Appends a pointer (null included); the list does not take ownership.
    void Append(T* element) { GAXRawCollPV::Append(static_cast<void*>(static_cast<Stored*>(element))); }
    /// The element at a 1-based position; outside 1..Size() (0 included) a null pointer.
    T* operator[](int pos) const noexcept {
        return static_cast<T*>(static_cast<Stored*>(GAXRawCollPV::operator[](pos)));
    }
};

/// Declares the exported list class `ListName`, a GAXListPtrOf<__VA_ARGS__>.
#define KOLT_DECLARE_PTR_LIST(ListName, ...)                                                                 \
    /** A list of pointers over GAXListPtrOf; copies share the elements. */                                  \
    class KOLT_API ListName : public GAXListPtrOf<__VA_ARGS__> {                                             \
    public:                                                                                                  \
        /** An empty list; `reserve` is a capacity hint (0 or less: none). */                                \
        explicit ListName(int reserve = 0) : GAXListPtrOf(reserve) {}                                        \
        /** Copies the pointers, not the elements. */                                                        \
        ListName(const ListName&) = default;                                                                 \
        /** Replaces the pointers by copies of those of the other list. */                                   \
        ListName& operator=(const ListName&) = default;                                                      \
        /** Releases the list, never its elements. */                                                        \
        ~ListName() override;                                                                                \
    }

// Every detection list is a list of koltEntityDetection*, so that the manager can hand
// any of them out as a GAXListPtrkoltEntityDetection.
KOLT_DECLARE_PTR_LIST(GAXListPtrkoltEntityDetection, koltEntityDetection);
KOLT_DECLARE_PTR_LIST(GAXListPtrkoltClassDetection, koltClassDetection, koltEntityDetection,
                      GAXListPtrkoltEntityDetection);
KOLT_DECLARE_PTR_LIST(GAXListPtrkoltInterfaceDetection, koltInterfaceDetection, koltEntityDetection,
                      GAXListPtrkoltEntityDetection);
KOLT_DECLARE_PTR_LIST(GAXListPtrkoltMethodDetection, koltMethodDetection, koltEntityDetection,
                      GAXListPtrkoltEntityDetection);
KOLT_DECLARE_PTR_LIST(GAXListPtrkoltWordDetection, koltWordDetection, koltEntityDetection,
                      GAXListPtrkoltEntityDetection);
KOLT_DECLARE_PTR_LIST(GAXListPtrCallWithSpecificArg, CallWithSpecificArg);
KOLT_DECLARE_PTR_LIST(GAXListPtrCall, Call);
KOLT_DECLARE_PTR_LIST(GAXListPtrCallDeclaration, CallDeclaration);

#undef KOLT_DECLARE_PTR_LIST

#endif
