// Loads a settings file and prints what the checker would see.
#include <koltSettings/koltSettings.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kolt-print-settings SETTINGS.xml\n";
        return 2;
    }
    koltSettingManager manager;
    const int result = manager.loadFromXmlFile(argv[1]);
    koltDumpText(manager, std::cout);
    return result;
}
