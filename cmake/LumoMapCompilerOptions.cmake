# Compiler flags shared by every target of the project, through the interface target lumomap_build_flags.
add_library(lumomap_build_flags INTERFACE)

target_compile_options(lumomap_build_flags INTERFACE -Wall -Wextra -Wpedantic)
# Debug information names source files relative to the source folder, as Debian's builds do, so that
# two checkouts build the same debug information and the same ABI descriptions (abi/, which libabigail
# reads from it). A debugger started in the source folder finds the files; elsewhere, gdb's
# `directory SOURCE_FOLDER` points it there.
target_compile_options(lumomap_build_flags INTERFACE -fdebug-prefix-map=${PROJECT_SOURCE_DIR}/=)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Qt 6's QTEST_*_MAIN macros pass an empty variadic argument, which clang's -Wpedantic reports.
    target_compile_options(lumomap_build_flags INTERFACE -Wno-gnu-zero-variadic-macro-arguments)
endif()
if(LUMOMAP_WARNINGS_AS_ERRORS)
    target_compile_options(lumomap_build_flags INTERFACE -Werror)
endif()

# Qt 5.15 marks the SAX reader classes deprecated; they are the reader this library is built on.
if(LUMOMAP_QT_MAJOR STREQUAL "5")
    target_compile_definitions(lumomap_build_flags INTERFACE QT_NO_DEPRECATED_WARNINGS)
endif()

if(LUMOMAP_SANITIZE AND LUMOMAP_SANITIZE_THREAD)
    message(FATAL_ERROR "LUMOMAP_SANITIZE and LUMOMAP_SANITIZE_THREAD cannot be combined")
endif()
if(LUMOMAP_SANITIZE)
    set(LUMOMAP_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                -fno-omit-frame-pointer)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        # The vptr check needs RTTI of Qt's own classes, which the distribution builds lack.
        list(APPEND LUMOMAP_SANITIZER_FLAGS -fno-sanitize=vptr)
    endif()
endif()
if(LUMOMAP_SANITIZE_THREAD)
    set(LUMOMAP_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(LUMOMAP_SANITIZER_FLAGS)
    target_compile_options(lumomap_build_flags INTERFACE ${LUMOMAP_SANITIZER_FLAGS})
    target_link_options(lumomap_build_flags INTERFACE ${LUMOMAP_SANITIZER_FLAGS})
endif()
