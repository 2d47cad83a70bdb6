/// \file
/// Listing everything a loaded manager holds, as the checker would see it.
#ifndef KOLTSETTINGS_SETTINGS_DUMP_H
#define KOLTSETTINGS_SETTINGS_DUMP_H

#include <koltSettings/export.h>

#include <iosfwd>

class koltSettingManager;

/// Writes, for people, the run settings, the active reports and every registered list
/// by registry and name, in registration order, with every string, record field and
/// rule. Texts are quoted, with `\\` `\"` `\t` `\n` `\r` and other control bytes escaped. Reads the
/// manager without changing it; the format may change between versions. Never throws:
/// when memory runs out or `out` fails, the listing stops and `out` is bad.
KOLT_API void koltDumpText(const koltSettingManager& manager, std::ostream& out) noexcept;

#endif
