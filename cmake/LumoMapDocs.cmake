# The HTML reference of the public headers, made by Doxygen (cmake/Doxyfile.in):
# `cmake --build BUILD --target docs` writes it to BUILD/docs/html. Every public class, function and
# data member must carry a doc comment: any Doxygen warning fails the target. With
# LUMOMAP_INSTALL_DOCS the reference is built with the libraries and installed with the Development
# component.
find_package(Doxygen 1.9 COMPONENTS doxygen)
if(NOT DOXYGEN_FOUND)
    if(LUMOMAP_INSTALL_DOCS)
        message(FATAL_ERROR "LUMOMAP_INSTALL_DOCS needs Doxygen (Debian package doxygen)")
    endif()
    message(STATUS "Doxygen not found: no docs target")
    return()
endif()


set(LUMOMAP_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
set(LUMOMAP_DOCS_HEADERS ${LUMOMAP_PUBLIC_HEADERS} ${LUMOMAP_RENDER_PUBLIC_HEADERS}
    ${LUMOMAP_OUTPUT_PUBLIC_HEADERS})
list(TRANSFORM LUMOMAP_DOCS_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/ REGEX "^include/")
set(LUMOMAP_DOCS_SOURCES ${LUMOMAP_DOCS_HEADERS} ${PROJECT_SOURCE_DIR}/docs/reference.md)
list(JOIN LUMOMAP_DOCS_SOURCES " " LUMOMAP_DOCS_INPUT)
configure_file(cmake/Doxyfile.in ${LUMOMAP_DOCS_DIR}/Doxyfile @ONLY)

if(LUMOMAP_INSTALL_DOCS)
    set(LUMOMAP_DOCS_ALL ALL)
endif()
# Doxygen leaves the pages of classes that are gone, so each run starts from an empty folder.
add_custom_command(OUTPUT ${LUMOMAP_DOCS_DIR}/html/index.html
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${LUMOMAP_DOCS_DIR}/html
    COMMAND Doxygen::doxygen ${LUMOMAP_DOCS_DIR}/Doxyfile
    DEPENDS ${LUMOMAP_DOCS_SOURCES} ${LUMOMAP_DOCS_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Writing the HTML reference to ${LUMOMAP_DOCS_DIR}/html"
    VERBATIM)
add_custom_target(docs ${LUMOMAP_DOCS_ALL} DEPENDS ${LUMOMAP_DOCS_DIR}/html/index.html)

if(LUMOMAP_INSTALL_DOCS)
    install(DIRECTORY ${LUMOMAP_DOCS_DIR}/html/
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liblumomap-dev/html COMPONENT Development)
endif()
