# Settings shared by every target of ours: warnings as errors, Qt's strict
# string conversions, assertions kept in release builds, optional sanitizers.
add_library(rw_common INTERFACE)
target_compile_options(rw_common INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(rw_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_FORCE_ASSERTS
    RW_VERSION_TEXT="${PROJECT_VERSION}")

if(RW_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "RW_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
    endif()
    set(rw_fuzz_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(rw_common INTERFACE ${rw_fuzz_flags})
    target_link_options(rw_common INTERFACE -fsanitize=address,undefined)
endif()

if(RW_SANITIZE)
    set(rw_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(rw_common INTERFACE ${rw_sanitize_flags})
    target_link_options(rw_common INTERFACE ${rw_sanitize_flags})
endif()

# rw_add_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
# One Qt Test executable per test class, run headless by CTest. The test's own
# main (tests/common/test_main.h) gives each run a fresh HOME and XDG folders.
function(rw_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE rw_test_support ${ARG_LIBS} rw_common)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;RW_BUILD_DIR=${CMAKE_BINARY_DIR};RW_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
