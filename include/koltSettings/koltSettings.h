/// \file
/// The koltSettings library: loads a checker's XML settings file and answers, by name,
/// for the reports, run settings, string lists, call lists and entity-detection rules.
/// Includes every public header: the legacy API, the modern face (koltSettings/kolt.h)
/// and the version (koltSettings/version.h).
#ifndef KOLTSETTINGS_KOLTSETTINGS_H
#define KOLTSETTINGS_KOLTSETTINGS_H

#include <koltSettings/export.h>
#include <koltSettings/host/foundation.h>
#include <koltSettings/host/streams.h>
#include <koltSettings/host/xml.h>
#include <koltSettings/kolt.h>
#include <koltSettings/optionlists/records.h>
#include <koltSettings/rules/detections.h>
#include <koltSettings/rules/typedlists.h>
#include <koltSettings/settings/diagnostics.h>
#include <koltSettings/settings/dump.h>
#include <koltSettings/settings/manager.h>
#include <koltSettings/version.h>

#endif
