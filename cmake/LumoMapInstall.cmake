# Installation: headers under include/lumomap/, the libraries, a CMake package with Render and Output
# components and pkg-config files. Every rule names its component, which the Debian packages follow:
#   Runtime            the shared libraries LumoMap and LumoMapRender
#   Development        their headers, the CMake package, pkg-config files, the linker names
#   OutputRuntime      the shared library LumoMapOutput
#   OutputDevelopment  its headers, its part of the CMake package (LumoMapOutputTargets.cmake), its
#                      pkg-config file and linker name
#   Tool               the lumomap tool (tools/lumomap/CMakeLists.txt)
# LumoMapOutput has an export set of its own, so the CMake package works with or without it installed.
include(CMakePackageConfigHelpers)

set(LUMOMAP_INSTALLED_TARGETS LumoMap)
if(TARGET LumoMapRender)
    list(APPEND LUMOMAP_INSTALLED_TARGETS LumoMapRender)
endif()
install(TARGETS ${LUMOMAP_INSTALLED_TARGETS} EXPORT LumoMapTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap)
install(FILES ${LUMOMAP_PUBLIC_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/include/lumomap_export.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap COMPONENT Development)
if(TARGET LumoMapRender)
    install(FILES ${LUMOMAP_RENDER_PUBLIC_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/include/lumomaprender_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap COMPONENT Development)
endif()
if(TARGET LumoMapOutput)
    install(TARGETS LumoMapOutput EXPORT LumoMapOutputTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            COMPONENT OutputRuntime NAMELINK_COMPONENT OutputDevelopment
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT OutputDevelopment
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT OutputRuntime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap)
    install(FILES ${LUMOMAP_OUTPUT_PUBLIC_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/include/lumomapoutput_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumomap COMPONENT OutputDevelopment)
endif()

set(LUMOMAP_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/LumoMap)
install(EXPORT LumoMapTargets NAMESPACE LumoMap:: DESTINATION ${LUMOMAP_CMAKE_DIR} COMPONENT Development)
if(TARGET LumoMapOutput)
    install(EXPORT LumoMapOutputTargets NAMESPACE LumoMap:: DESTINATION ${LUMOMAP_CMAKE_DIR}
        COMPONENT OutputDevelopment)
endif()
configure_package_config_file(cmake/LumoMapConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfig.cmake
    INSTALL_DESTINATION ${LUMOMAP_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/LumoMapConfigVersion.cmake
    DESTINATION ${LUMOMAP_CMAKE_DIR} COMPONENT Development)

# pkg-config: lumomap for the core library, lumomap-render for LumoMapRender, lumomap-output for
# LumoMapOutput. Each file finds its prefix relative to its own folder, so an installed tree can be moved.
if(LUMOMAP_QT_MAJOR STREQUAL "6")
    set(LUMOMAP_PC_REQUIRES "Qt6Core Qt6Gui Qt6Xml Qt6Core5Compat")
else()
    set(LUMOMAP_PC_REQUIRES "Qt5Core Qt5Gui Qt5Xml")
endif()
file(RELATIVE_PATH LUMOMAP_PC_PREFIX_FROM_PCDIR
     /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/lumomap.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumomap.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumomap.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT Development)
if(TARGET LumoMapRender)
    configure_file(cmake/lumomap-render.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumomap-render.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumomap-render.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT Development)
endif()
if(TARGET LumoMapOutput)
    configure_file(cmake/lumomap-output.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumomap-output.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumomap-output.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT OutputDevelopment)
endif()
