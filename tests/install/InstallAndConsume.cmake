# Script mode: builds and runs the consumer (consumer/) against an installed LumoMap of version VERSION,
# once through find_package(LumoMap COMPONENTS Render Output) and once through pkg-config (lumomap,
# lumomap-render and lumomap-output). With BUILD_DIR, installs that build into WORK_DIR/prefix first;
# without, uses the LumoMap installed in /usr, as the Debian packages install it (scripts/test.sh).
file(REMOVE_RECURSE ${WORK_DIR})

function(run_step description)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${description} failed (${result}):\n${output}")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

function(run_consumer description program)
    run_step("run ${description}" ${program})
    if(NOT step_output MATCHES "consumer: ok")
        message(FATAL_ERROR "${description} printed:\n${step_output}")
    endif()
endfunction()

if(BUILD_DIR)
    set(prefix ${WORK_DIR}/prefix)
    run_step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
    file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "${pc_dirs}")
else()
    set(prefix /usr)
endif()

foreach(header LumoMapModel.h LumoWiring.h LumoMapPainter.h LumoFrame.h
               lumomap_export.h lumomaprender_export.h lumomapoutput_export.h)
    if(NOT EXISTS ${prefix}/include/lumomap/${header})
        message(FATAL_ERROR "installed headers lack include/lumomap/${header}")
    endif()
endforeach()

run_step("configure consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix} -DLUMOMAP_VERSION=${VERSION})
run_step("build consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run_consumer("consumer" ${WORK_DIR}/consumer/consumer)

# pkg-config: the .pc files must name the installed version and give the flags that compile and link
# the same host code.
find_program(PKG_CONFIG pkg-config REQUIRED)
run_step("pkg-config" ${PKG_CONFIG} --modversion lumomap lumomap-render lumomap-output)
if(NOT step_output STREQUAL "${VERSION}\n${VERSION}\n${VERSION}\n")
    message(FATAL_ERROR "pkg-config gives versions\n${step_output}instead of ${VERSION}")
endif()
run_step("pkg-config" ${PKG_CONFIG} --cflags --libs lumomap lumomap-render lumomap-output)
separate_arguments(pc_flags UNIX_COMMAND "${step_output}")
if(BUILD_DIR)
    run_step("pkg-config" ${PKG_CONFIG} --variable=libdir lumomap)
    string(STRIP "${step_output}" libdir)
    set(pc_rpath -Wl,-rpath,${libdir})
endif()
run_step("compile with pkg-config flags" ${CXX_COMPILER} -std=c++17 -fPIC ${CONSUMER_DIR}/main.cpp
    -o ${WORK_DIR}/consumer-pc ${pc_flags} ${pc_rpath})
run_consumer("pkg-config consumer" ${WORK_DIR}/consumer-pc)
