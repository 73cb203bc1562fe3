# Installation: headers under include/lumomap/, the library, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS LumoMap EXPORT LumoMapTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap)
install(FILES ${LUMOMAP_PUBLIC_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/include/lumomap_export.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap)

set(LUMOMAP_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/LumoMap)
install(EXPORT LumoMapTargets NAMESPACE LumoMap:: DESTINATION ${LUMOMAP_CMAKE_DIR})
configure_package_config_file(cmake/LumoMapConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfig.cmake
    INSTALL_DESTINATION ${LUMOMAP_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfigVersion.cmake
    DESTINATION ${LUMOMAP_CMAKE_DIR})

if(LUMOMAP_QT_MAJOR STREQUAL "6")
    set(LUMOMAP_PC_REQUIRES "Qt6Core Qt6Gui Qt6Xml Qt6Core5Compat")
else()
    set(LUMOMAP_PC_REQUIRES "Qt5Core Qt5Gui Qt5Xml")
endif()
# The .pc file finds its prefix relative to its own folder, so an installed tree can be moved.
file(RELATIVE_PATH LUMOMAP_PC_PREFIX_FROM_PCDIR
     /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/lumomap.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumomap.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumomap.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
