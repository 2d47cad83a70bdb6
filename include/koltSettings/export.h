// Symbol export control for the koltSettings library.
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
#define KOLT_API __attribute__((visibility("default")))
#endif

#endif
