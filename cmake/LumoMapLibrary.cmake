# The LumoMap shared library: records and document (model/), map file writer and reader (persistence/),
# and what host programs need beyond load and save (analysis/): the wiring, the checks, the JSON form,
# the diff, the patch list and the summary.
add_library(LumoMap SHARED)
add_library(LumoMap::LumoMap ALIAS LumoMap)

set(LUMOMAP_PUBLIC_HEADERS
    include/LumoRegion.h
    include/LumoFixtureTemplate.h
    include/LumoFixture.h
    include/LumoInterfaceTemplate.h
    include/LumoInterface.h
    include/LumoMapModel.h
    include/LumoMapParser.h
    include/LumoWiring.h
    include/LumoMapCheck.h
    include/LumoMapJson.h
    include/LumoMapDiff.h
    include/LumoMapFile.h
    include/LumoPatchList.h
    include/LumoMapSummary.h
    include/LumoMapDiffReport.h
)

target_sources(LumoMap PRIVATE
    ${LUMOMAP_PUBLIC_HEADERS}
    model/LumoRegion.cpp
    model/LumoFixtureTemplate.cpp
    model/LumoFixture.cpp
    model/LumoInterfaceTemplate.cpp
    model/LumoInterface.cpp
    model/LumoMapModel.cpp
    model/LumoMapModel_p.h
    model/LumoMapModelRecords.cpp
    model/FixtureGeometry.cpp
    model/lumomap_autotest_export.h
    model/PostLoadCalculation.h
    model/PostLoadCalculation.cpp
    model/RecordKeys.h
    persistence/MapElementNames.h
    persistence/RecordFields.h
    persistence/RecordLoadDefaults.h
    persistence/MapValueFormat.cpp
    persistence/RecordDomSave.cpp
    persistence/MapDomWriter.cpp
    persistence/MapTextWriter.cpp
    persistence/LumoMapModelSave.cpp
    persistence/ParserStateTable.cpp
    persistence/ElementTextConversion.cpp
    persistence/RecordFiling.cpp
    persistence/LumoMapParser_p.h
    persistence/LumoMapParser.cpp
    persistence/ParserTextFields.cpp
    persistence/LegacyMapImport.h
    persistence/LegacyMapImport.cpp
    persistence/MapByteSource.cpp
    persistence/MapSubsetScanner.cpp
    persistence/SubsetMapReader.cpp
    persistence/MapFileLoad.h
    persistence/MapFileCarriage.h
    persistence/MapFileCarriage.cpp
    persistence/MapLoader.cpp
    analysis/LumoWiringOptions.cpp
    analysis/LumoWiring.cpp
    analysis/LumoMapCheckOptions.cpp
    analysis/LumoMapCheck.cpp
    analysis/UniverseSharing.h
    analysis/UniverseSharing.cpp
    analysis/JsonTextWriter.h
    analysis/MapJsonForm.h
    analysis/MapJsonForm.cpp
    analysis/LumoMapJson_p.h
    analysis/MapJsonWriter.cpp
    analysis/MapFormReader.h
    analysis/MapFormReader.cpp
    analysis/MapJsonStreamRoute.cpp
    analysis/MapJsonQtRoute.cpp
    analysis/LumoMapJson.cpp
    analysis/LumoMapDiffOptions.cpp
    analysis/LumoMapDiff.cpp
    analysis/LumoMapFile.cpp
    analysis/LumoPatchList.cpp
    analysis/LumoMapSummary.cpp
    analysis/LumoMapDiffReport.cpp
)

generate_export_header(LumoMap
    BASE_NAME LUMOMAP
    EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/include/lumomap_export.h)

target_include_directories(LumoMap
    PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/lumomap>
    PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/model
        ${CMAKE_CURRENT_SOURCE_DIR}/persistence
        ${CMAKE_CURRENT_SOURCE_DIR}/analysis)
# The JSON form is read with RapidJSON's SAX reader (Debian's rapidjson-dev, header only, not needed by
# the library's users).
find_path(LUMOMAP_RAPIDJSON_INCLUDE_DIR rapidjson/reader.h)
if(NOT LUMOMAP_RAPIDJSON_INCLUDE_DIR)
    message(FATAL_ERROR "RapidJSON not found: install rapidjson-dev (scripts/install-deps.sh)")
endif()
target_include_directories(LumoMap SYSTEM PRIVATE ${LUMOMAP_RAPIDJSON_INCLUDE_DIR})

target_link_libraries(LumoMap PUBLIC ${LUMOMAP_QT_LIBS} PRIVATE lumomap_build_flags)
# The library spells every string conversion out, so no text is ever decoded with a guessed codec.
target_compile_definitions(LumoMap PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)
# Calls inside the library go to the library's own functions: no host replaces them by a symbol of its
# own, so the compiler may inline and call them directly instead of through the symbol table (the
# members of the exported classes are called for every element of a map being read).
target_compile_options(LumoMap PRIVATE -fno-semantic-interposition)

set_target_properties(LumoMap PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    EXPORT_NAME LumoMap)

# The library exports its public API alone. The internals that the test suites and the fuzz targets call
# (LUMOMAP_AUTOTEST_EXPORT, model/lumomap_autotest_export.h) are exported only in builds that have them.
if(LUMOMAP_BUILD_TESTS OR LUMOMAP_BUILD_FUZZ)
    target_compile_definitions(LumoMap PRIVATE LUMOMAP_AUTOTEST_BUILD)
endif()
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE AND NOT WIN32)
    set(LUMOMAP_VERSION_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/cmake/LumoMap.map)
    target_link_options(LumoMap PRIVATE "LINKER:--version-script=${LUMOMAP_VERSION_SCRIPT}")
    set_property(TARGET LumoMap APPEND PROPERTY LINK_DEPENDS ${LUMOMAP_VERSION_SCRIPT})
endif()
