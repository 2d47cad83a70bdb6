# The API reference: `cmake --build build --target docs` writes HTML to build/docs/html/.
# Every public declaration must be documented: an undocumented one, or any other Doxygen
# warning, fails the target (docs/Doxyfile.in); scripts/check-doc-coverage.py then checks
# what Doxygen does not warn about (enum values).
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
    message(STATUS "Doxygen not found: no docs target")
    return()
endif()
find_package(Python3 COMPONENTS Interpreter QUIET)

set(KOLT_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${KOLT_DOCS_DIR}/Doxyfile @ONLY)
file(GLOB_RECURSE _kolt_docs_inputs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/koltSettings/*.h)
set(_kolt_docs_check)
if(Python3_Interpreter_FOUND)
    set(_kolt_docs_check COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check-doc-coverage.py
                                 ${KOLT_DOCS_DIR}/xml)
endif()
# The stamp is written last: after a failure the target runs again.
add_custom_command(OUTPUT ${KOLT_DOCS_DIR}/docs.stamp
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${KOLT_DOCS_DIR}/html
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${KOLT_DOCS_DIR}/xml
    COMMAND Doxygen::doxygen ${KOLT_DOCS_DIR}/Doxyfile
    ${_kolt_docs_check}
    COMMAND ${CMAKE_COMMAND} -E touch ${KOLT_DOCS_DIR}/docs.stamp
    DEPENDS ${KOLT_DOCS_DIR}/Doxyfile ${_kolt_docs_inputs} ${PROJECT_BINARY_DIR}/include/koltSettings/version.h
            ${PROJECT_SOURCE_DIR}/docs/reference.md ${PROJECT_SOURCE_DIR}/scripts/check-doc-coverage.py
    WORKING_DIRECTORY ${KOLT_DOCS_DIR}
    COMMENT "Writing the API reference to ${KOLT_DOCS_DIR}/html"
    VERBATIM)
add_custom_target(docs DEPENDS ${KOLT_DOCS_DIR}/docs.stamp)
unset(_kolt_docs_inputs)
unset(_kolt_docs_check)
