// A shared library of the embedding project with the static koltSettings linked in: it
// links only if the archive is position-independent code.
#include <koltSettings/koltSettings.h>

int embeddedReportIsOn(const char* settingsPath, const char* report) {
    koltSettingManager settings;
    return settings.loadFromXmlFile(settingsPath) == 0 && settings.report(report) == 1;
}
