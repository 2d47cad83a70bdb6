# Debian packages, made by `cpack -G DEB` in a build folder configured with
# -DCMAKE_INSTALL_PREFIX=/usr (so that the library goes to the multiarch folder):
#   libkoltsettingsN    the shared library (N: its SOVERSION)
#   libkoltsettings-dev headers, link library, CMake package, koltSettings.pc
#   kolt-settings       the kolt-settings program, the DTD and the example settings file
# Dependencies on system libraries come from dpkg-shlibdeps; the development package
# depends on the library's at exactly the same version. The program carries the
# library's code (it reads internal tables), so kolt-settings needs no library package.
set(KOLT_PACKAGE_MAINTAINER "libkoltSettings developers <koltsettings@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME koltsettings)
set(CPACK_PACKAGE_VENDOR "libkoltSettings developers")
set(CPACK_PACKAGE_CONTACT "${KOLT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Built with -O2 -g (RelWithDebInfo), shipped stripped, as Debian does.
set(CPACK_STRIP_FILES ON)
# Each package gets its own synopsis, the first line of its description below.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/KoltCPackOptions.cmake)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(_kolt_about "libkoltSettings loads the XML settings file of a C++ source checker,
checks every element, attribute and value against a closed vocabulary,
reports each problem on standard error with the path of the element
concerned, and answers the checker's queries by name: reports, run
settings, lists of strings, lists of call records and entity-detection
rules.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkoltsettings${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "loader of a source checker's XML settings files
${_kolt_about}

This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkoltsettings-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "loader of a source checker's XML settings files - development files
${_kolt_about}

This package holds the headers, the link library, the CMake package
(find_package(koltSettings)) and the pkg-config file koltSettings.pc.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME kolt-settings)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "tool for a source checker's XML settings files
${_kolt_about}

This package holds the kolt-settings program, the DTD of the settings file and
an example settings file.")

if(KOLT_STATIC_LIBRARY)
    set(CPACK_COMPONENTS_ALL development tools)
    # The archive leaves pugixml to the consumer's link.
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS libpugixml-dev)
else()
    set(CPACK_COMPONENTS_ALL runtime development tools)
    # The library's shlibs file lets other packages depend on it through dpkg-shlibdeps.
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
    set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
endif()

include(CPack)
