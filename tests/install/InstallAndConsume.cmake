# Script mode: install BUILD_DIR into WORK_DIR/prefix, then configure, build and run the consumer.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run_step description)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${description} failed (${result}):\n${output}")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

run_step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(header LumoMapModel.h LumoMapParser.h lumomap_export.h)
    if(NOT EXISTS ${prefix}/include/lumomap/${header})
        message(FATAL_ERROR "installed headers lack include/lumomap/${header}")
    endif()
endforeach()

run_step("configure consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix} -DQT_MAJOR=${QT_MAJOR})
run_step("build consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run_step("run consumer" ${WORK_DIR}/consumer/consumer)
if(NOT step_output MATCHES "consumer: ok")
    message(FATAL_ERROR "consumer printed:\n${step_output}")
endif()

# pkg-config: the .pc file must give the flags that compile and link the same host code.
find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "${pc_dirs}")
run_step("pkg-config" ${PKG_CONFIG} --cflags --libs lumomap)
separate_arguments(pc_flags UNIX_COMMAND "${step_output}")
file(GLOB libdirs ${prefix}/lib*/libLumoMap.so ${prefix}/lib/*/libLumoMap.so)
list(GET libdirs 0 library)
get_filename_component(libdir ${library} DIRECTORY)
run_step("compile with pkg-config flags" ${CXX_COMPILER} -std=c++17 -fPIC ${CONSUMER_DIR}/main.cpp
    -o ${WORK_DIR}/consumer-pc ${pc_flags} -Wl,-rpath,${libdir})
run_step("run pkg-config consumer" ${WORK_DIR}/consumer-pc)
if(NOT step_output MATCHES "consumer: ok")
    message(FATAL_ERROR "pkg-config consumer printed:\n${step_output}")
endif()
