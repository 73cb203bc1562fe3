# Debian packages, made by CPack from the install components (scripts/package.sh builds and packs them):
#   liblumomapN           Runtime            LumoMap and LumoMapRender with their SONAME links
#   liblumomap-dev        Development        their headers, CMake package, pkg-config files, linker
#                                            names, HTML reference
#   liblumomapoutputN     OutputRuntime      LumoMapOutput with its SONAME link
#   liblumomapoutput-dev  OutputDevelopment  its headers, its CMake export file, pkg-config file and
#                                            linker name
#   lumomap               Tool               the lumomap tool and its man page
# N is the libraries' SOVERSION, the project's major version: a new major version is a new runtime
# package, which installs beside the old one. LumoMapOutput, which brings in Qt Network, has packages
# of its own, so hosts that only read and draw maps do without it.
set(LUMOMAP_RUNTIME_PACKAGE liblumomap${PROJECT_VERSION_MAJOR})
set(LUMOMAP_OUTPUT_RUNTIME_PACKAGE liblumomapoutput${PROJECT_VERSION_MAJOR})
set(LUMOMAP_PACKAGE_MAINTAINER "LumoMap developers <lumomap@example.org>" CACHE STRING
    "Maintainer field of the Debian packages")
set(LUMOMAP_PACKAGE_REVISION 1 CACHE STRING "Debian revision of the packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumomap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${LUMOMAP_PACKAGE_MAINTAINER})
# Each package's synopsis is the first line of its component's description below.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Tool)
if(TARGET LumoMapOutput)
    list(APPEND CPACK_COMPONENTS_ALL OutputRuntime OutputDevelopment)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LUMOMAP_PACKAGE_REVISION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on shared libraries come from dpkg-shlibdeps; the runtime package gets a shlibs file,
# so packages built against it depend on it by the same means.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The tool's own libraries are in another package of this build: dpkg-shlibdeps finds them in the build
# tree, and the tool's dependency on them is the component dependency below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/render
    ${PROJECT_BINARY_DIR}/output)
# The development packages and the tool need the runtime packages of exactly their version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)
set(CPACK_COMPONENT_TOOL_DEPENDS Runtime)
if(TARGET LumoMapOutput)
    set(CPACK_COMPONENT_OUTPUTRUNTIME_DEPENDS Runtime)
    set(CPACK_COMPONENT_OUTPUTDEVELOPMENT_DEPENDS OutputRuntime Development)
    list(APPEND CPACK_COMPONENT_TOOL_DEPENDS OutputRuntime)
endif()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${LUMOMAP_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "fixture maps of lighting installations - shared libraries
LumoMap holds the fixture map of a lighting installation in memory, saves
it as an XML map file, loads it back and imports the older legacy map; it
computes the wiring order of a map, checks it, converts it to and from JSON
and compares two maps. LumoMapRender draws a map or its wiring with Qt.
.
This package contains the shared libraries.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liblumomap-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The public headers include Qt's Core, Gui and Xml headers (and Core5Compat's with Qt 6).
if(LUMOMAP_QT_MAJOR STREQUAL "6")
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "qt6-base-dev, qt6-5compat-dev")
else()
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "qtbase5-dev")
endif()
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "fixture maps of lighting installations - development files
LumoMap holds the fixture map of a lighting installation in memory, saves
it as an XML map file, loads it back and imports the older legacy map.
LumoMapRender draws a map or its wiring with Qt.
.
This package contains the headers, the CMake package (with its Render
component), the pkg-config files lumomap and lumomap-render and the HTML
reference of the API.")

set(CPACK_DEBIAN_OUTPUTRUNTIME_PACKAGE_NAME ${LUMOMAP_OUTPUT_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_OUTPUTRUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_OUTPUTRUNTIME_DESCRIPTION "fixture maps of lighting installations - output library
LumoMapOutput lays out the channel data of a LumoMap fixture map's nodes in
frames, as the map's wiring gives their universes and channels, and sends
them to the controllers as sACN (E1.31) or Art-Net; it records the packets
as pcap files and makes the test patterns that check a map's wiring.
.
This package contains the shared library.")
set(CPACK_DEBIAN_OUTPUTRUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/triggers)

set(CPACK_DEBIAN_OUTPUTDEVELOPMENT_PACKAGE_NAME liblumomapoutput-dev)
set(CPACK_DEBIAN_OUTPUTDEVELOPMENT_PACKAGE_SECTION libdevel)
# The public headers include Qt Network's (QHostAddress); liblumomap-dev brings in the rest of Qt's.
if(LUMOMAP_QT_MAJOR STREQUAL "6")
    set(CPACK_DEBIAN_OUTPUTDEVELOPMENT_PACKAGE_DEPENDS "qt6-base-dev")
else()
    set(CPACK_DEBIAN_OUTPUTDEVELOPMENT_PACKAGE_DEPENDS "qtbase5-dev")
endif()
set(CPACK_COMPONENT_OUTPUTDEVELOPMENT_DESCRIPTION "fixture maps of lighting installations - output development files
LumoMapOutput lays out the channel data of a LumoMap fixture map's nodes in
frames and sends them to the controllers as sACN (E1.31) or Art-Net.
.
This package contains the headers, the Output component of the CMake
package and the pkg-config file lumomap-output.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME lumomap)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "inspect, check, convert and draw fixture maps of lighting installations
The lumomap tool works on the fixture map files of lighting installations,
the older legacy maps and their JSON form: it shows a map's records and
wiring, checks it, converts it, draws it as PNG, SVG or PDF wiring sheets,
writes its patch list, compares two maps and lights its nodes in test
patterns over sACN or Art-Net to check the wiring.")

# What each package carries in /usr/share/doc/<package>/, and the tool's man page, compressed as
# Debian wants them. Installed only for the packages (LUMOMAP_INSTALL_DOCS, set by scripts/package.sh).
if(LUMOMAP_INSTALL_DOCS)
    set(LUMOMAP_DEBIAN_DIR ${CMAKE_CURRENT_BINARY_DIR}/debian)
    string(TIMESTAMP LUMOMAP_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
    configure_file(cmake/debian/changelog.in ${LUMOMAP_DEBIAN_DIR}/changelog.Debian @ONLY)
    configure_file(docs/lumomap.1 ${LUMOMAP_DEBIAN_DIR}/lumomap.1 COPYONLY)
    foreach(file changelog.Debian lumomap.1)
        execute_process(COMMAND gzip -9 -n -f ${LUMOMAP_DEBIAN_DIR}/${file} RESULT_VARIABLE gzip_result)
        if(NOT gzip_result EQUAL 0)
            message(FATAL_ERROR "gzip ${LUMOMAP_DEBIAN_DIR}/${file} failed")
        endif()
    endforeach()
    foreach(component ${CPACK_COMPONENTS_ALL})
        string(TOUPPER ${component} upper)
        install(FILES cmake/debian/copyright ${LUMOMAP_DEBIAN_DIR}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
            COMPONENT ${component})
    endforeach()
    install(FILES ${LUMOMAP_DEBIAN_DIR}/lumomap.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tool)
endif()

include(CPack)
