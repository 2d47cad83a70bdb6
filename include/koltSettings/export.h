/// \file
/// Symbol export control for the koltSettings library.
#ifndef KOLTSETTINGS_EXPORT_H
#define KOLTSETTINGS_EXPORT_H

// KOLT_STATIC is defined (by the build system and the installed package) when the
// library is built or consumed as a static archive.
#if defined(KOLT_STATIC)
#define KOLT_API
#elif defined(_WIN32)
#if defined(KOLT_BUILDING_LIBRARY)
#define KOLT_API __declspec(dllexport)
#else
#define KOLT_API __declspec(dllimport)
#endif
#else
/// Marks a declaration of the library's interface: exported from the shared library,
/// imported by its users; nothing for a static library (KOLT_STATIC defined).
#define KOLT_API __attribute__((visibility("default")))
#endif

// KOLT_LOCAL keeps a private member of an exported class out of the library's
// interface: only the library calls it, so it needs no dynamic symbol.
#if defined(_WIN32)
#define KOLT_LOCAL
#else
/// Keeps a private member of an exported class out of the library's interface: only the
/// library calls it, so it needs no dynamic symbol.
#define KOLT_LOCAL __attribute__((visibility("hidden")))
#endif

#endif
