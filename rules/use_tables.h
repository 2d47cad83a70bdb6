// The permitted-use tables as the loader fills them.
#ifndef KOLTSETTINGS_RULES_USE_TABLES_H
#define KOLTSETTINGS_RULES_USE_TABLES_H

namespace kolt::detail {

// Fill _classUses and _interfaceUses as initPossibleClassUses(0) and
// initPossibleInterfaceUses(0) do, but memory running out throws std::bad_alloc (and
// leaves the table to be filled by a later call), so that the load fails.
void fillClassUses();
void fillInterfaceUses();

} // namespace kolt::detail

#endif
