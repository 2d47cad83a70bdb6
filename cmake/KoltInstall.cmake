# Install rules: the library, its public headers, the kolt-settings program, the DTD and
# the example settings file, a CMake package and a pkg-config file. Components, one
# Debian package each (KoltPackaging.cmake): runtime (the shared library), development
# (headers, link library, package files), tools (the program and the data files).
include(CMakePackageConfigHelpers)

set(KOLT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/koltSettings
    CACHE STRING "Folder of koltSettingsConfig.cmake, relative to the prefix")
set(KOLT_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/koltSettings)
mark_as_advanced(KOLT_INSTALL_CMAKEDIR)

get_target_property(_kolt_type koltSettings TYPE)
if(_kolt_type STREQUAL "STATIC_LIBRARY")
    set(KOLT_STATIC_LIBRARY ON)
else()
    set(KOLT_STATIC_LIBRARY OFF)
endif()

install(TARGETS koltSettings EXPORT koltSettingsTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# Everything under include/koltSettings/ is public, and so is the generated version.h;
# internal headers live beside the sources.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/koltSettings
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
    FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/koltSettings/version.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/koltSettings COMPONENT development)

# find_package(koltSettings CONFIG) gives koltSettings::koltSettings.
install(EXPORT koltSettingsTargets
    NAMESPACE koltSettings::
    DESTINATION ${KOLT_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/koltSettingsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/koltSettingsConfig.cmake
    INSTALL_DESTINATION ${KOLT_INSTALL_CMAKEDIR})
# Same major version, same interface: 1.x consumers accept any 1.y >= x.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/koltSettingsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/koltSettingsConfig.cmake ${PROJECT_BINARY_DIR}/koltSettingsConfigVersion.cmake
    DESTINATION ${KOLT_INSTALL_CMAKEDIR} COMPONENT development)

# pkg-config: paths are relative to the .pc file, so the tree works wherever it is
# installed (cmake --install --prefix, DESTDIR, the Debian package).
set(KOLT_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(KOLT_PC_FULL_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig)
function(kolt_pc_path out dir)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
    endif()
endfunction()
file(RELATIVE_PATH _kolt_pc_up "${KOLT_PC_FULL_DIR}" "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" _kolt_pc_up "${_kolt_pc_up}")
set(KOLT_PC_PREFIX "\${pcfiledir}/${_kolt_pc_up}")
kolt_pc_path(KOLT_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
kolt_pc_path(KOLT_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
if(KOLT_STATIC_LIBRARY)
    # A static archive leaves pugixml, and the matching KOLT_API, to the consumer.
    set(KOLT_PC_REQUIRES_PRIVATE "Requires.private: pugixml\n")
    set(KOLT_PC_CFLAGS " -DKOLT_STATIC")
else()
    set(KOLT_PC_REQUIRES_PRIVATE "")
    set(KOLT_PC_CFLAGS "")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/koltSettings.pc.in ${PROJECT_BINARY_DIR}/koltSettings.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/koltSettings.pc DESTINATION ${KOLT_PC_DIR} COMPONENT development)

if(TARGET kolt-settings)
    # The program carries the library's objects (it reads internal tables): it needs no
    # run path to find libkoltSettings.
    install(TARGETS kolt-settings RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    # The guide its SARIF rules link to when no KOLT_DOCS_URL was given (tools/CMakeLists.txt).
    install(FILES ${PROJECT_SOURCE_DIR}/docs/settings-guide.md DESTINATION ${KOLT_INSTALL_DATADIR}/docs COMPONENT tools)
endif()
# The example's DOCTYPE names ../schema/koltSettings.dtd, and kolt-settings looks for the
# example in ../share/koltSettings/examples/: keep this layout.
install(FILES ${PROJECT_SOURCE_DIR}/schema/koltSettings.dtd DESTINATION ${KOLT_INSTALL_DATADIR}/schema COMPONENT tools)
# The catalog's paths are relative to it: it stays one folder above the DTD.
install(FILES ${PROJECT_SOURCE_DIR}/schema/catalog.xml DESTINATION ${KOLT_INSTALL_DATADIR} COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/examples/settings.xml DESTINATION ${KOLT_INSTALL_DATADIR}/examples COMPONENT tools)

if(KOLT_TOP_LEVEL)
    include(KoltPackaging)
endif()
