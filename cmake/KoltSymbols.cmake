# Link options that keep the shared library's dynamic symbol table to its public API.
# The headers decide what is exported (KOLT_API, hidden by default); the version script
# drops the standard-template instantiations the compiler cannot hide. The exported set
# is checked against tests/abi/exported-symbols.txt.
get_target_property(_kolt_type koltSettings TYPE)
if(_kolt_type STREQUAL "SHARED_LIBRARY" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE AND NOT WIN32)
    set(_kolt_version_script ${CMAKE_CURRENT_LIST_DIR}/koltSettings.ver)
    target_link_options(koltSettings PRIVATE
        "LINKER:--version-script=${_kolt_version_script}"
        # Should pugixml::pugixml name a static archive, its symbols stay inside too.
        "LINKER:--exclude-libs,ALL")
    # Unresolved symbols fail the link, not the consumer's. Sanitizer runtimes are left
    # undefined in shared objects by some compilers, so not with KOLT_SANITIZE.
    if(NOT KOLT_SANITIZE)
        target_link_options(koltSettings PRIVATE "LINKER:--no-undefined")
    endif()
    set_property(TARGET koltSettings APPEND PROPERTY LINK_DEPENDS ${_kolt_version_script})
endif()
unset(_kolt_type)
