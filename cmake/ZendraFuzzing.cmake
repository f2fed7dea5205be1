# Fuzz harnesses for the readers of outside data.
#
# zendra_add_fuzzer(<name> SOURCES ... [LIBS ...] [INCLUDE_DIRS ...] [DEPENDS ...] CORPUS <dir>)
#   A harness defining LLVMFuzzerTestOneInput, with its committed seed corpus; DEPENDS names
#   targets it needs built first (modules it loads at run time).
#   -DZENDRA_FUZZ=ON (clang): a libFuzzer binary, built with every library under
#     -fsanitize=fuzzer-no-link,address,undefined; tools/fuzz.sh runs them from the list
#     <build>/fuzzers.txt ("name binary corpus" a line).
#   Otherwise, in a build with tests: the harness linked to a replay driver, and a CTest
#     test "<name>_corpus" feeding it every corpus file.
option(ZENDRA_FUZZ "Build the libFuzzer harnesses (clang only)" OFF)

set(ZENDRA_FUZZ_LIST ${CMAKE_BINARY_DIR}/fuzzers.txt)
file(WRITE ${ZENDRA_FUZZ_LIST} "")
if(ZENDRA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ZENDRA_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

function(zendra_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS;INCLUDE_DIRS;DEPENDS" ${ARGN})
    if(NOT ARG_CORPUS)
        message(FATAL_ERROR "zendra_add_fuzzer(${name}): CORPUS is required")
    endif()
    get_filename_component(corpus ${ARG_CORPUS} ABSOLUTE)
    if(ZENDRA_FUZZ)
        add_executable(${name} ${ARG_SOURCES})
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        file(APPEND ${ZENDRA_FUZZ_LIST} "${name} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name} ${corpus}\n")
    elseif(ZENDRA_TESTS)
        add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tools/fuzz/replay_main.cpp)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
        add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
        set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    else()
        return()
    endif()
    if(ARG_INCLUDE_DIRS)
        target_include_directories(${name} PRIVATE ${ARG_INCLUDE_DIRS})
    endif()
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
endfunction()
